#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexana::store {

class Topic;
class RecordCursor;
struct FieldInfo;

// How a topic persists its changes. Every call reports whether the change reached the file;
// the store makes a change in memory only when it did.
class TopicListener {
public:
    virtual ~TopicListener() = default;
    virtual bool SaveRecord(RecordCursor& cursor, bool writeBlocks, bool full) = 0;
    virtual bool SaveField(Topic& topic, std::int32_t recordId, const FieldInfo& field,
                           const std::uint8_t* image) = 0;
    virtual bool DeleteRecordRow(Topic& topic, std::int32_t recordId) = 0;
    virtual bool LoadBlocks(RecordCursor& cursor) = 0;
    virtual bool AddFieldColumn(Topic& topic, const FieldInfo& field) = 0;
    virtual bool RenameFieldRow(int topicId, int fieldId, const std::string& name) = 0;
    virtual bool DeleteFieldRow(Topic& topic, const FieldInfo& field) = 0;
};

// Groups many listener calls into one all-or-nothing unit (a transaction on the file).
// end(false) undoes the unit; whoever implements it must bring memory back in line.
class BatchHandler {
public:
    virtual ~BatchHandler() = default;
    // A bulk batch writes many megabytes at once (imports). The name is what the user did
    // ("Delete Code"); the outermost unit's first name is the one the undo menu shows.
    virtual void beginBatch(bool bulk, std::string_view name) = 0;
    virtual bool endBatch(bool success) = 0;
    // Whether a batch is running, and marking the running one as failed.
    virtual bool inBatch() const = 0;
    virtual void failBatch() = 0;
};

} // namespace vexana::store
