#pragma once

#include <cstdint>

namespace vexana::store {

enum class ViewEvent {
    Inserted,
    Changed,
    Removed,
    RenameStarted,
    Select,
    SortChildren,
    SegmentsReplaced
};

// What the document tells its views. The desktop shell's windows implement it; tests
// record the calls.
class ViewListener {
public:
    virtual ~ViewListener() = default;
    virtual void onViewEvent(ViewEvent event, int topic, std::int32_t id) = 0;
    // A project was loaded: rebuild everything from the store (fonts follow the character set).
    virtual void onProjectLoaded(bool charSetChanged) { (void)charSetChanged; }
    // Records of the open project changed wholesale (undo, redo, a unit that was rolled back):
    // rebuild from the store; what the user has chosen in the session stays.
    virtual void onContentsReplaced() { onProjectLoaded(false); }
    // The store is about to be emptied.
    virtual void onProjectClosed() {}
    // Show this text in the Text Browser.
    virtual void onOpenText(std::int32_t textId) { (void)textId; }
};

} // namespace vexana::store
