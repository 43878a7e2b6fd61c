#pragma once

#include "ChangeObserver.h"
#include "RecordCursor.h"
#include "Topic.h"
#include "TopicListener.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vexana::store {

// A (topic id, record id) pair naming one object, as change and delete lists report them.
using ObjectRef = std::pair<int, std::int32_t>;

// Collects objects without repeats, in the order they were first added.
class ObjectList {
public:
    void add(int topic, std::int32_t id);
    bool contains(int topic, std::int32_t id) const;
    const std::vector<ObjectRef>& items() const { return items_; }
    bool empty() const { return items_.empty(); }
    void clear();

private:
    std::vector<ObjectRef> items_;
    std::unordered_map<std::int64_t, bool> seen_;
};

// The in-memory image of an open project: one Topic per table plus the in-memory topics.
class TopicStore {
public:
    TopicStore();
    TopicStore(const TopicStore&) = delete;
    TopicStore& operator=(const TopicStore&) = delete;

    Topic* GetTopic(int topic);
    const Topic* GetTopic(int topic) const;
    // Adds a topic that the store does not hold yet (the coder's work topic, tests).
    Topic* CreateTopic(int topic);
    int RecordCount(int topic) const;

    bool NewRecord(int topic, RecordCursor& cursor);
    bool GetRecord(int topic, std::int32_t id, RecordCursor& cursor, bool withBlocks = false);
    bool GetRecordAt(int topic, int position, RecordCursor& cursor, bool withBlocks = false);
    bool DeleteRecord(int topic, std::int32_t id, ObjectList* deleted = nullptr,
                      ObjectList* changed = nullptr);
    bool DeleteRecordOnly(int topic, std::int32_t id);
    bool CopyRecord(int topic, std::int32_t id, RecordCursor& cursor);
    std::vector<std::int32_t> ListIds(int topic) const;
    std::vector<std::int32_t> FindIds(int topic, int referencedTopic,
                                      std::int32_t referencedId) const;
    // Records that refer to both objects (the codings of one code in one text).
    std::vector<std::int32_t> FindIds(int topic, int topicA, std::int32_t idA, int topicB,
                                      std::int32_t idB) const;
    std::int32_t GetReference(int topic, std::int32_t id, int referencedTopic) const;
    std::vector<std::string> DistinctValues(int topic, int fieldId) const;
    std::string GetName(int topic, std::int32_t id, bool full) const;
    std::string GetAnnotation(int topic, std::int32_t id) const;
    // A typed read of one field of a stored record (0 / empty when missing).
    std::int32_t GetInt(int topic, std::int32_t id, int fieldId) const;
    std::string GetText(int topic, std::int32_t id, int fieldId) const;

    const FieldInfo* GetField(int topic, int fieldId) const;
    int FieldCount(int topic) const;
    const FieldInfo* FieldAt(int topic, int position) const;
    std::vector<int> ListFields(int topic, bool withTypeField) const;
    std::vector<int> ListVariables(int topic) const;
    int CountVariables(int topic) const;
    // Gives the field the next free id (and a column name when Source is empty) and adds it
    // once the listener has. Returns the new field id, or -1.
    int AddField(int topic, FieldInfo field);
    bool RenameField(int topic, int fieldId, const std::string& name);
    bool RemoveField(int topic, int fieldId);
    // Adds a field as it is (loading and the in-memory topics), keeping the reference bookkeeping.
    bool AttachField(int topic, FieldInfo field);

    // Every change below is a unit of its own when no larger unit is running.
    bool Save(RecordCursor& cursor, bool writeBlocks = false, bool full = false);
    // Writes a record as given (image in the topic's layout, blocks by field id), whether or
    // not memory holds it: how undo brings a record back.
    bool RestoreRecord(int topic, std::vector<std::uint8_t> image,
                       const std::vector<std::pair<int, ByteBlock>>& blocks, bool withBlocks);
    // Records back in load order after some were brought back (see Topic::sortAsLoaded).
    void SortAsLoaded(int topic) {
        if (Topic* t = GetTopic(topic)) t->sortAsLoaded();
    }
    // Adds a field back with its own id and column.
    bool RestoreField(int topic, const FieldInfo& field);
    bool UpdateInMemory(RecordCursor& cursor);
    // Removes a record from memory only (an analysis's result in a read-only project).
    bool DeleteInMemory(int topic, std::int32_t id);
    bool SetFieldText(RecordCursor& cursor, int fieldId, std::string_view text);

    // Empties every topic but keeps the topics.
    void Clear();
    std::size_t memoryBytes() const;

    void setBatchHandler(BatchHandler* handler) { batch_ = handler; }
    BatchHandler* batchHandler() const { return batch_; }
    void setChangeObserver(ChangeObserver* observer) { observer_ = observer; }

private:
    bool fill(Topic* t, const std::uint8_t* image, RecordCursor& cursor, bool withBlocks);
    bool deleteCascade(Topic& topic, std::int32_t id, ObjectList* deleted, ObjectList* changed,
                       int depth);
    void bookkeeping(Topic& topic, std::int32_t id, ObjectList* changed);
    bool adjustCounter(int topic, std::int32_t id, int fieldId, int delta);
    void compose(const Topic& topic, const std::uint8_t* image, const CompiledFormat& format,
                 bool annotation, int depth, int& budget, std::string& out) const;

    std::unordered_map<int, std::unique_ptr<Topic>> topics_;
    // Only changes that reach the file are observed.
    ChangeObserver* observed(const Topic& t) const { return t.listener() ? observer_ : nullptr; }

    BatchHandler* batch_ = nullptr;
    ChangeObserver* observer_ = nullptr;
};

// Runs a group of store changes as one unit when a batch handler is set.
class StoreBatch {
public:
    // bulk: for the imports, which write most of a project in one unit.
    explicit StoreBatch(TopicStore& store, bool bulk = false);
    // name: what the user did, for the undo menu.
    StoreBatch(TopicStore& store, std::string_view name, bool bulk = false);
    // Without it a literal name would be taken for the bulk flag.
    StoreBatch(TopicStore& store, const char* name, bool bulk = false)
        : StoreBatch(store, std::string_view(name), bulk) {}
    ~StoreBatch();
    StoreBatch(const StoreBatch&) = delete;
    StoreBatch& operator=(const StoreBatch&) = delete;
    void fail() { ok_ = false; }
    // Ends the unit now; false when it was undone.
    bool finish();

private:
    BatchHandler* handler_;
    bool ok_ = true;
    bool done_ = false;
};

} // namespace vexana::store
