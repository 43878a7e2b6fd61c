#pragma once

#include <cstdint>
#include <string>

namespace vexana::store {

class Topic;
struct FieldInfo;

// Told by the store before each change reaches the file, while memory still holds the state
// before it: the undo history keeps what it needs to take the change back.
class ChangeObserver {
public:
    virtual ~ChangeObserver() = default;
    // A record that exists in memory only (NewRecord, CopyRecord): taking it back deletes it.
    virtual void recordCreated(Topic& topic, std::int32_t id) = 0;
    // A record is about to be written; withBlocks: its byte blocks too.
    virtual void recordChanging(Topic& topic, std::int32_t id, bool withBlocks) = 0;
    virtual void recordDeleting(Topic& topic, std::int32_t id) = 0;
    virtual void fieldAdded(Topic& topic, const FieldInfo& field) = 0;
    virtual void fieldRenaming(Topic& topic, const FieldInfo& field) = 0;
    virtual void fieldRemoving(Topic& topic, const FieldInfo& field) = 0;
};

} // namespace vexana::store
