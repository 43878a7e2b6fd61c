#pragma once

#include "Schema.h"
#include "TopicListener.h"
#include "UserInterface.h"
#include "platform/Sqlite.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vexana::store {

class Topic;

// The byte blocks of a topic's records read in id order, one after the other: for a caller
// that walks many records in that order (a merge), far cheaper than a lookup for each.
class BlockStream {
public:
    // Gives the cursor (a record of the topic, ids asked for in ascending order) its blocks.
    bool fill(RecordCursor& cursor);

private:
    friend class ProjectDatabase;
    platform::SqliteStatement statement_;
    std::vector<int> fields_;
    std::int32_t current_ = 0;
    bool atEnd_ = false;
    bool failed_ = false;
};

// One open project file on SQLite. It creates, opens (exclusively) and upgrades project
// files, reads and writes setup keys, loads topics and, as their listener, writes every
// change of the store through to the file at once.
class ProjectDatabase : public TopicListener {
public:
    explicit ProjectDatabase(std::string dataType = std::string(DataTypeMain),
                             UserInterface* ui = nullptr);
    ~ProjectDatabase() override;
    ProjectDatabase(const ProjectDatabase&) = delete;
    ProjectDatabase& operator=(const ProjectDatabase&) = delete;

    bool Open(const std::string& path);
    // Another project read as it stands (a merge source, an exchange file): a missing file is
    // refused rather than made, nothing is upgraded or written, and a file another program
    // holds is refused. Whatever files beside it the reading made go again on Close.
    bool OpenForReading(const std::string& path);
    void Close();
    bool IsOpen() const { return open_; }
    // A project without write access opens for reading; every change is then refused.
    bool isReadOnly() const { return readOnly_; }
    // Counts the writes that failed (or were refused) since the file was opened, so a caller
    // can tell a failed write from a refusal for another reason.
    int writeFailures() const { return writeFailures_; }
    // The cause of a failed write in the user's words ("the disk is full").
    static std::string describeFailure(int extendedCode, const std::string& engineText);
    // Removes the log, shared-memory and journal files beside path: they belong to whatever
    // file was there before, and would be replayed into a new file of that name.
    static void removeSideFiles(const std::string& path);
    bool LoadTopic(Topic& topic);
    // Valid for as long as the file stays open; null when the topic's blocks cannot be read.
    std::unique_ptr<BlockStream> StreamBlocks(Topic& topic);

    bool SaveRecord(RecordCursor& cursor, bool writeBlocks, bool full) override;
    bool SaveField(Topic& topic, std::int32_t recordId, const FieldInfo& field,
                   const std::uint8_t* image) override;
    bool DeleteRecordRow(Topic& topic, std::int32_t recordId) override;
    bool LoadBlocks(RecordCursor& cursor) override;
    bool AddFieldColumn(Topic& topic, const FieldInfo& field) override;
    bool RenameFieldRow(int topicId, int fieldId, const std::string& name) override;
    bool DeleteFieldRow(Topic& topic, const FieldInfo& field) override;

    std::string GetProjectName(bool withPath) const;
    bool GetSetup(const std::string& key, std::string& value);
    bool SetSetup(const std::string& key, const std::string& value);
    bool DeleteSetup(const std::string& key);
    // Writes a compacted copy of the open project to target; the project stays open.
    bool Compact(const std::string& target, std::string& errorText);

    const std::string& dataEngine() const { return dataEngine_; }
    const std::string& dataType() const { return dataType_; }
    const std::string& path() const { return path_; }
    const std::string& lastError() const { return lastError_; }

    // Nested all-or-nothing units: the outermost end commits, or rolls back when any
    // statement or any inner unit failed. endTransaction returns whether it was committed.
    // A bulk transaction that starts the outermost one goes through a rollback journal: the
    // write-ahead log would write its pages twice (log, then checkpoint), and new pages at
    // the end of the file need no journal at all. The log is back once it ends.
    bool beginTransaction(bool bulk = false);
    bool endTransaction(bool success);
    bool inTransaction() const { return depth_ > 0; }
    // The running unit will roll back when it ends.
    void failTransaction() {
        if (depth_ > 0) txFailed_ = true;
    }

    // Same file as the open project (by device and inode, so links and other spellings match).
    bool isSameFile(const std::string& path) const;

    platform::SqliteDatabase& connection() { return db_; }

private:
    bool openPath(const std::string& path, bool forReading);
    bool createFile(const std::string& path);
    bool upgradeFrom010406();
    bool upgradeFrom020524();
    bool fail(std::string_view what);
    bool failWrite(std::string_view what);
    bool refuseReadOnly();
    bool mayWrite();
    std::string checkStructure();
    bool hasColumn(const Topic& topic, const std::string& column) const;
    bool recordInFile(Topic& topic, std::int32_t id);
    bool bulkCommitted() const;
    bool openTransaction(bool bulk);
    void leaveBulk();
    void show(const std::string& text, MessageIcon icon);
    bool exec(std::string_view sql);
    platform::SqliteStatement* statement(const std::string& sql);
    bool upsertValue(int topicId, std::int32_t objectId, int fieldId, const std::string& value);
    bool saveValue(Topic& topic, std::int32_t objectId, const FieldInfo& f,
                   const std::uint8_t* image);
    bool bindField(platform::SqliteStatement& st, int index, Topic& topic, const FieldInfo& f,
                   const std::uint8_t* image, const RecordCursor* cursor);

    // How a record of one topic is saved with one pair of flags: prepared once per topic.
    struct SavePlan {
        std::vector<int> fields;
        platform::SqliteStatement* update = nullptr;
        platform::SqliteStatement* insert = nullptr;
        platform::SqliteStatement* exists = nullptr;
    };
    SavePlan* savePlan(Topic& topic, bool writeBlocks, bool full);
    bool writeRecord(Topic& topic, std::int32_t id, const std::uint8_t* image,
                     const RecordCursor* cursor, bool writeBlocks, bool full);
    bool flushPending();
    bool flushPending(int topicId, std::int32_t id);

    // Plain updates of stored rows made inside a unit of work, written when it ends: a record
    // saved many times over (a text's counter while hundreds of codings are added) is
    // written once.
    struct PendingSave {
        Topic* topic;
        std::vector<std::uint8_t> image;
        bool full;
    };
    std::map<std::pair<int, std::int32_t>, PendingSave> pending_;
    void forgetPlans(int topicId);

    platform::SqliteDatabase db_;
    std::unordered_map<int, SavePlan> plans_;
    // Per topic, an id at or above the highest row in the file: rows above it need no lookup.
    std::unordered_map<int, std::int32_t> highestInFile_;
    bool open_ = false;
    std::string dataEngine_;
    std::string path_;
    std::string dataType_;
    UserInterface* ui_;
    std::string lastError_;
    int depth_ = 0;
    bool txFailed_ = false;
    bool bulk_ = false;           // the running transaction goes through a rollback journal
    bool txOpen_ = false;         // the outermost unit has a transaction on the file
    bool reportedInUnit_ = false; // the unit's failure has been shown
    bool readOnly_ = false;
    bool forReading_ = false;
    // Side files that reading another project made, removed again when it is closed.
    bool madeWal_ = false, madeShm_ = false;
    bool walPending_ = false;    // a bulk unit's journal mode is still to be left
    bool bulkPending_ = false;   // a bulk unit that has not written yet
    std::uint32_t unitMark_ = 0; // the running bulk unit's mark in the file header
    int writeFailures_ = 0;
    // Per topic, the columns its table has (lower case): fields without one are skipped.
    std::unordered_map<int, std::unordered_set<std::string>> columns_;
};

} // namespace vexana::store
