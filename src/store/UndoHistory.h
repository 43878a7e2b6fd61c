#pragma once

#include "ChangeObserver.h"
#include "FieldInfo.h"
#include "RecordCursor.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vexana::store {

class TopicStore;

// The undo and redo history of the open project. It watches the store: for every unit of
// work it keeps, per record touched, the record as it was before the unit (nothing for a
// record the unit created), and the field definitions the unit changed. Undo writes those
// states back as a new unit through the store, so it is durable, all or nothing, and itself
// recorded: what it records is the redo. No operation writes undo code of its own.
class UndoHistory : public ChangeObserver {
public:
    struct Limits {
        std::size_t units = 100;
        std::size_t bytes = std::size_t{64} << 20;
    };

    explicit UndoHistory(TopicStore& store);
    UndoHistory(TopicStore& store, Limits limits);
    ~UndoHistory() override;
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // The outermost unit of work; the first name given to it (by it or a unit inside it) is
    // what the menu calls it.
    void beginUnit(std::string_view name);
    void nameUnit(std::string_view name);
    void endUnit(bool committed);
    bool inUnit() const { return current_ != nullptr; }
    // One user command: every unit it commits becomes one step of the history, under the
    // command's name, without holding a transaction open while the command waits for the
    // user. Commands nest; the outermost one counts.
    void beginCommand(std::string_view name);
    void endCommand();

    bool canUndo() const;
    bool canRedo() const;
    // The menu texts: "Undo Delete Code", "Can't Undo Import Text(s): too large", "Undo".
    std::string undoText() const;
    std::string redoText() const;
    // Takes the newest unit back (or brings the newest undone one back) as a new unit; false
    // when there is none or it could not be written (the history then stays as it was).
    bool undo();
    bool redo();
    void clear();

    std::size_t unitCount() const { return undo_.size() + redo_.size(); }
    std::size_t bytes() const { return bytes_; }

    // ChangeObserver.
    void recordCreated(Topic& topic, std::int32_t id) override;
    void recordChanging(Topic& topic, std::int32_t id, bool withBlocks) override;
    void recordDeleting(Topic& topic, std::int32_t id) override;
    void fieldAdded(Topic& topic, const FieldInfo& field) override;
    void fieldRenaming(Topic& topic, const FieldInfo& field) override;
    void fieldRemoving(Topic& topic, const FieldInfo& field) override;

private:
    using Layout = std::shared_ptr<const std::vector<FieldInfo>>;

    // A record as it was before the unit (records the unit made are kept apart, by id).
    struct RecordState {
        int topic = 0;
        std::int32_t id = 0;
        bool blocksKnown = false;
        std::vector<std::uint8_t> image;
        Layout layout;
        std::vector<std::pair<int, std::string>> texts; // text slots, by field id
        std::vector<std::pair<int, ByteBlock>> blocks;
    };
    struct FieldStep {
        enum class Kind { Added, Renamed, Removed } kind;
        int topic;
        FieldInfo field; // as it was before the step (as added, for Added)
        std::vector<std::pair<std::int32_t, std::string>> values; // Removed: per record
    };
    struct Unit {
        std::string name;
        std::string notUndoable; // why it cannot be taken back; empty when it can
        std::vector<FieldStep> fields;
        std::vector<RecordState> records;
        // Records the unit made: taking it back deletes them, so their ids are enough.
        std::vector<std::pair<int, std::int32_t>> created;
        // While the unit is open: a record's place in records, or in created with madeBit.
        std::unordered_map<std::int64_t, std::size_t> index;
        std::size_t bytes = 0;
        bool empty() const { return fields.empty() && records.empty() && created.empty(); }
        void letGo(const char* why) {
            notUndoable = why;
            records.clear();
            created.clear();
            fields.clear();
            index.clear();
            bytes = 0;
        }
    };
    enum class Mode { Normal, Undoing, Redoing };

    RecordState* stateFor(Topic& topic, std::int32_t id, bool present);
    void captureBlocks(Topic& topic, RecordState& state);
    Layout layoutOf(const Topic& topic);
    bool apply(Unit& unit, Mode mode);
    bool takeBack(std::deque<std::unique_ptr<Unit>>& stack, Mode mode);
    void dropUnchanged(Unit& unit);
    void merge(Unit& into, Unit& unit);
    void finish(std::unique_ptr<Unit> unit);
    void push(std::deque<std::unique_ptr<Unit>>& stack, std::unique_ptr<Unit> unit);
    void trim();
    static std::string menuText(const char* verb, const std::deque<std::unique_ptr<Unit>>& stack);

    TopicStore& store_;
    Limits limits_;
    std::deque<std::unique_ptr<Unit>> undo_, redo_; // newest at the back
    std::unique_ptr<Unit> current_;
    std::unique_ptr<Unit> command_; // the open command's merged units
    int commandDepth_ = 0;
    Mode mode_ = Mode::Normal;
    std::size_t bytes_ = 0;
    std::unordered_map<int, Layout> layouts_;
    // Records made in memory outside a unit and not saved yet: the unit that first saves one
    // has created it.
    std::unordered_set<std::int64_t> fresh_;
};

} // namespace vexana::store
