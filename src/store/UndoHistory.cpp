#include "UndoHistory.h"

#include "Schema.h"
#include "Topic.h"
#include "TopicListener.h"
#include "TopicStore.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace vexana::store {

namespace {

std::int64_t keyOf(int topic, std::int32_t id) {
    return (static_cast<std::int64_t>(topic) << 32) | static_cast<std::uint32_t>(id);
}

constexpr std::size_t madeBit = std::size_t{1} << 62;

bool isText(int type) {
    return type == TypeString || type == TypeLongString;
}

} // namespace

UndoHistory::UndoHistory(TopicStore& store) : UndoHistory(store, Limits{}) {}

UndoHistory::UndoHistory(TopicStore& store, Limits limits) : store_(store), limits_(limits) {}

UndoHistory::~UndoHistory() = default;

void UndoHistory::beginUnit(std::string_view name) {
    current_ = std::make_unique<Unit>();
    current_->name = std::string(name);
}

void UndoHistory::nameUnit(std::string_view name) {
    if (current_ && current_->name.empty()) current_->name = std::string(name);
}

void UndoHistory::endUnit(bool committed) {
    std::unique_ptr<Unit> unit = std::move(current_);
    if (!committed) {
        // The store is loaded anew from the file: its layouts and unsaved records with it.
        layouts_.clear();
        fresh_.clear();
    }
    if (!unit || !committed) return;
    if (mode_ == Mode::Normal && command_) {
        merge(*command_, *unit);
        return;
    }
    finish(std::move(unit));
}

void UndoHistory::beginCommand(std::string_view name) {
    if (commandDepth_++ > 0 || mode_ != Mode::Normal) return;
    command_ = std::make_unique<Unit>();
    command_->name = std::string(name);
}

void UndoHistory::endCommand() {
    if (commandDepth_ == 0 || --commandDepth_ > 0) return;
    if (command_) finish(std::move(command_));
}

// A later unit of the same command adds the records it touched first; for the others the
// command already holds the state from before it began.
void UndoHistory::merge(Unit& into, Unit& unit) {
    if (into.name.empty()) into.name = unit.name;
    if (!into.notUndoable.empty()) return;
    if (!unit.notUndoable.empty()) {
        into.letGo(unit.notUndoable.c_str());
        into.notUndoable = unit.notUndoable;
        return;
    }
    for (auto& step : unit.fields)
        into.fields.push_back(std::move(step));
    for (auto& r : unit.records)
        if (into.index.try_emplace(keyOf(r.topic, r.id), into.records.size()).second)
            into.records.push_back(std::move(r));
    for (const auto& [topic, id] : unit.created)
        if (into.index.try_emplace(keyOf(topic, id), madeBit | into.created.size()).second)
            into.created.emplace_back(topic, id);
    into.bytes += unit.bytes;
    if (into.bytes > limits_.bytes) into.letGo("too large");
}

void UndoHistory::finish(std::unique_ptr<Unit> unit) {
    dropUnchanged(*unit);
    if (unit->empty() && unit->notUndoable.empty()) return;
    unit->index.clear();
    if (mode_ == Mode::Undoing) {
        push(redo_, std::move(unit));
        return;
    }
    // A new change makes what was undone unreachable; redoing keeps the rest of the redo list.
    if (mode_ == Mode::Normal) {
        for (const auto& u : redo_)
            bytes_ -= u->bytes;
        redo_.clear();
    }
    push(undo_, std::move(unit));
}

// Records written back as they were (a save that changed nothing) need no undo, and neither
// do the result codings of an analysis (no code): they are the retrieval's, not the user's
// work, and the retrieval replaces them on its own.
void UndoHistory::dropUnchanged(Unit& unit) {
    const Topic* codings = store_.GetTopic(TopicId::Codings);
    const FieldInfo* codeField = codings ? codings->field(CodingField::Code) : nullptr;
    const auto resultNow = [&](std::int32_t id) {
        const std::uint8_t* img = codings->image(id);
        return !img || slot::getInt(img, *codeField) == 0;
    };
    if (codeField)
        std::erase_if(unit.created, [&](const std::pair<int, std::int32_t>& c) {
            return c.first == TopicId::Codings && resultNow(c.second);
        });
    std::erase_if(unit.records, [&](const RecordState& r) {
        if (codeField && r.topic == TopicId::Codings && resultNow(r.id)) {
            const auto was =
                std::find_if(r.layout->begin(), r.layout->end(),
                             [](const FieldInfo& f) { return f.id == CodingField::Code; });
            if (was != r.layout->end() && slot::getInt(r.image.data(), *was) == 0) return true;
        }
        if (r.blocksKnown) return false;
        const Topic* t = store_.GetTopic(r.topic);
        const std::uint8_t* now = t ? t->image(r.id) : nullptr;
        if (!now || r.layout.get() != layoutOf(*t).get() ||
            std::memcmp(now, r.image.data(), r.image.size()) != 0)
            return false;
        for (const auto& [fieldId, text] : r.texts)
            if (t->getText(now, *t->field(fieldId)) != text) return false;
        unit.bytes -= std::min(unit.bytes, r.image.size() + sizeof(RecordState));
        return true;
    });
}

void UndoHistory::push(std::deque<std::unique_ptr<Unit>>& stack, std::unique_ptr<Unit> unit) {
    // Nothing before a unit that cannot be taken back can be reached any more.
    if (!unit->notUndoable.empty()) {
        for (const auto& u : stack)
            bytes_ -= u->bytes;
        stack.clear();
    }
    bytes_ += unit->bytes;
    stack.push_back(std::move(unit));
    trim();
}

void UndoHistory::trim() {
    // The oldest go first; the redo list is the younger past.
    while (!undo_.empty() &&
           (undo_.size() + redo_.size() > limits_.units || bytes_ > limits_.bytes)) {
        bytes_ -= undo_.front()->bytes;
        undo_.pop_front();
    }
    while (!redo_.empty() && (redo_.size() > limits_.units || bytes_ > limits_.bytes)) {
        bytes_ -= redo_.front()->bytes;
        redo_.pop_front();
    }
}

void UndoHistory::clear() {
    undo_.clear();
    redo_.clear();
    current_.reset();
    command_.reset();
    commandDepth_ = 0;
    layouts_.clear();
    fresh_.clear();
    bytes_ = 0;
    mode_ = Mode::Normal;
}

bool UndoHistory::canUndo() const {
    return !current_ && !command_ && !undo_.empty() && undo_.back()->notUndoable.empty();
}

bool UndoHistory::canRedo() const {
    return !current_ && !command_ && !redo_.empty() && redo_.back()->notUndoable.empty();
}

std::string UndoHistory::menuText(const char* verb,
                                  const std::deque<std::unique_ptr<Unit>>& stack) {
    if (stack.empty()) return verb;
    const Unit& u = *stack.back();
    std::string text = u.notUndoable.empty() ? verb : std::string("Can't ") + verb;
    if (!u.name.empty()) text += " " + u.name;
    if (!u.notUndoable.empty()) text += ": " + u.notUndoable;
    return text;
}

std::string UndoHistory::undoText() const {
    return menuText("Undo", undo_);
}

std::string UndoHistory::redoText() const {
    return menuText("Redo", redo_);
}

bool UndoHistory::undo() {
    return canUndo() && takeBack(undo_, Mode::Undoing);
}

bool UndoHistory::redo() {
    return canRedo() && takeBack(redo_, Mode::Redoing);
}

// The newest unit of a list is written back; it stays in the list when that fails.
bool UndoHistory::takeBack(std::deque<std::unique_ptr<Unit>>& stack, Mode mode) {
    std::unique_ptr<Unit> unit = std::move(stack.back());
    stack.pop_back();
    bytes_ -= unit->bytes;
    if (apply(*unit, mode)) return true;
    bytes_ += unit->bytes;
    stack.push_back(std::move(unit));
    return false;
}

bool UndoHistory::apply(Unit& unit, Mode mode) {
    mode_ = mode;
    bool ok = true;
    std::set<int> reinserted;
    {
        StoreBatch batch(store_, unit.name, unit.bytes > (std::size_t{8} << 20));
        // Field definitions first, newest first: the records' states name fields by id.
        for (auto step = unit.fields.rbegin(); ok && step != unit.fields.rend(); ++step) {
            switch (step->kind) {
            case FieldStep::Kind::Added:
                ok = store_.RemoveField(step->topic, step->field.id);
                break;
            case FieldStep::Kind::Renamed:
                ok = store_.RenameField(step->topic, step->field.id, step->field.name);
                break;
            case FieldStep::Kind::Removed:
                ok = store_.RestoreField(step->topic, step->field);
                for (const auto& [id, value] : step->values) {
                    if (!ok) break;
                    RecordCursor c;
                    if (!store_.GetRecord(step->topic, id, c)) continue;
                    c.setValueFromText(step->field.id, value);
                    ok = store_.Save(c, false, true);
                }
                break;
            }
        }
        for (const auto& [topic, id] : unit.created) {
            if (!ok) break;
            const Topic* t = store_.GetTopic(topic);
            if (t && t->contains(id)) ok = store_.DeleteRecordOnly(topic, id);
        }
        for (const RecordState& r : unit.records) {
            if (!ok) break;
            Topic* t = store_.GetTopic(r.topic);
            if (!t) continue;
            // The state goes into the topic's present layout, field by field.
            std::vector<std::uint8_t> img = t->zeroImage();
            const std::uint8_t* present = t->image(r.id);
            for (const FieldInfo& now : t->fields()) {
                if (now.type == TypeBlock || now.size == 0) continue;
                const auto was = std::find_if(r.layout->begin(), r.layout->end(),
                                              [&](const FieldInfo& f) { return f.id == now.id; });
                if (was == r.layout->end() && present) {
                    // A field the state did not know: the field steps above have given it
                    // its values (a variable brought back by redo), which must stay.
                    if (isText(now.type))
                        t->setText(img.data(), now, std::string(t->getText(present, now)));
                    else
                        std::memcpy(img.data() + now.offset, present + now.offset,
                                    static_cast<std::size_t>(now.size));
                    continue;
                }
                if (was == r.layout->end() || was->type != now.type) continue;
                if (isText(now.type)) {
                    for (const auto& [fid, text] : r.texts)
                        if (fid == now.id) t->setText(img.data(), now, text);
                } else {
                    std::memcpy(img.data() + now.offset, r.image.data() + was->offset,
                                static_cast<std::size_t>(now.size));
                }
            }
            // Activation is the session's, not part of the step: it stays as it is now.
            const int stateField = r.topic == TopicId::Texts   ? TextField::State
                                   : r.topic == TopicId::Codes ? CodeField::State
                                                               : -1;
            if (const std::uint8_t* now = t->image(r.id); now && stateField >= 0) {
                const FieldInfo& f = *t->field(stateField);
                slot::setInt(img.data(), f,
                             (slot::getInt(img.data(), f) & ~StateActive) |
                                 (slot::getInt(now, f) & StateActive));
            }
            if (!t->contains(r.id)) reinserted.insert(r.topic);
            ok = store_.RestoreRecord(r.topic, std::move(img), r.blocks, r.blocksKnown);
        }
        if (!ok) batch.fail();
        ok = batch.finish();
    }
    mode_ = Mode::Normal;
    if (ok)
        for (int topic : reinserted)
            store_.SortAsLoaded(topic);
    if (!ok) layouts_.clear(); // the store has been reloaded from the file
    return ok;
}

UndoHistory::Layout UndoHistory::layoutOf(const Topic& topic) {
    Layout& l = layouts_[topic.id()];
    if (!l) l = std::make_shared<const std::vector<FieldInfo>>(topic.fields());
    return l;
}

UndoHistory::RecordState* UndoHistory::stateFor(Topic& topic, std::int32_t id, bool present) {
    if (!current_ || !current_->notUndoable.empty()) return nullptr;
    Unit& u = *current_;
    const auto [it, fresh] = u.index.try_emplace(keyOf(topic.id(), id), u.records.size());
    if (!fresh) return it->second & madeBit ? nullptr : &u.records[it->second];
    if (!present || !topic.contains(id) || fresh_.erase(it->first) > 0) {
        it->second = madeBit | u.created.size();
        u.created.emplace_back(topic.id(), id);
        u.bytes += sizeof(u.created.back()) + 16;
        return nullptr;
    }
    RecordState s;
    s.topic = topic.id();
    s.id = id;
    const std::uint8_t* img = topic.image(id);
    s.image.assign(img, img + topic.recordSize());
    s.layout = layoutOf(topic);
    std::size_t bytes = sizeof(RecordState) + 32 + s.image.size();
    for (const FieldInfo& f : topic.fields())
        if (isText(f.type)) {
            s.texts.emplace_back(f.id, std::string(topic.getText(img, f)));
            bytes += s.texts.back().second.size() + sizeof(s.texts.back());
        }
    u.records.push_back(std::move(s));
    u.bytes += bytes;
    return &u.records.back();
}

void UndoHistory::captureBlocks(Topic& topic, RecordState& s) {
    if (s.blocksKnown) return;
    s.blocksKnown = true;
    bool any = false;
    for (const FieldInfo& f : topic.fields())
        any = any || f.type == TypeBlock;
    if (!any || !topic.listener()) return;
    // The file still holds the blocks as they were before the unit: none was written yet.
    RecordCursor c;
    if (!store_.GetRecord(topic.id(), s.id, c, true)) {
        current_->notUndoable = "a text could not be read";
        return;
    }
    for (const FieldInfo& f : topic.fields())
        if (f.type == TypeBlock) {
            s.blocks.emplace_back(f.id, c.block(f.id));
            current_->bytes += s.blocks.back().second.size() + sizeof(s.blocks.back());
        }
}

void UndoHistory::recordCreated(Topic& topic, std::int32_t id) {
    if (current_)
        stateFor(topic, id, false);
    else
        fresh_.insert(keyOf(topic.id(), id));
}

void UndoHistory::recordChanging(Topic& topic, std::int32_t id, bool withBlocks) {
    RecordState* s = stateFor(topic, id, true);
    if (s && withBlocks) captureBlocks(topic, *s);
    // Kept whole it would push every other unit out; the records are let go at once.
    if (current_ && current_->bytes > limits_.bytes) current_->letGo("too large");
}

void UndoHistory::recordDeleting(Topic& topic, std::int32_t id) {
    recordChanging(topic, id, true);
}

void UndoHistory::fieldAdded(Topic& topic, const FieldInfo& field) {
    if (!current_ || !current_->notUndoable.empty()) return;
    layouts_.erase(topic.id());
    current_->fields.push_back({FieldStep::Kind::Added, topic.id(), field, {}});
    current_->bytes += sizeof(FieldStep);
}

void UndoHistory::fieldRenaming(Topic& topic, const FieldInfo& field) {
    if (!current_ || !current_->notUndoable.empty()) return;
    current_->fields.push_back({FieldStep::Kind::Renamed, topic.id(), field, {}});
    current_->bytes += sizeof(FieldStep);
}

void UndoHistory::fieldRemoving(Topic& topic, const FieldInfo& field) {
    if (!current_ || !current_->notUndoable.empty()) return;
    layouts_.erase(topic.id());
    FieldStep step{FieldStep::Kind::Removed, topic.id(), field, {}};
    topic.forEach([&](std::int32_t id, const std::uint8_t* img) {
        std::string v = topic.valueText(img, field);
        if (!v.empty()) {
            current_->bytes += v.size() + sizeof(step.values.front());
            step.values.emplace_back(id, std::move(v));
        }
    });
    current_->bytes += sizeof(FieldStep);
    current_->fields.push_back(std::move(step));
}

} // namespace vexana::store
