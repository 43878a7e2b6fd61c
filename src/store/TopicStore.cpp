#include "TopicStore.h"

#include "Schema.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>

namespace vexana::store {

namespace {

constexpr std::size_t maxNameChars = 511;
// Reference chains deeper than this can only come from a cycle in a damaged file.
constexpr int maxDepth = 64;
constexpr int composeBudget = 20000; // tokens per composed name

// One change as a unit of its own, or as part of the larger unit that is running: a store
// call inside an import costs no unit of its own, and its failure fails the import.
class SingleChange {
public:
    explicit SingleChange(TopicStore& store) : handler_(store.batchHandler()) {
        if (handler_ && !handler_->inBatch()) own_.emplace(store);
    }
    void fail() {
        if (own_)
            own_->fail();
        else if (handler_)
            handler_->failBatch();
        failed_ = true;
    }
    bool finish() { return own_ ? own_->finish() : !failed_; }

private:
    BatchHandler* handler_;
    std::optional<StoreBatch> own_;
    bool failed_ = false;
};

std::int64_t refKey(int topic, std::int32_t id) {
    return (static_cast<std::int64_t>(topic) << 32) | static_cast<std::uint32_t>(id);
}

} // namespace

void ObjectList::add(int topic, std::int32_t id) {
    if (seen_.emplace(refKey(topic, id), true).second) items_.emplace_back(topic, id);
}

bool ObjectList::contains(int topic, std::int32_t id) const {
    return seen_.count(refKey(topic, id)) > 0;
}

void ObjectList::clear() {
    items_.clear();
    seen_.clear();
}

TopicStore::TopicStore() : topics_(17) {
    for (int id :
         {TopicId::TextGroups, TopicId::TextSets, TopicId::Texts, TopicId::TextLinks,
          TopicId::Codes, TopicId::Codings, TopicId::Memos, TopicId::Links, TopicId::SearchResults,
          TopicId::WordFrequencies, TopicId::DictCategories, TopicId::DictItems})
        CreateTopic(id);
}

Topic* TopicStore::CreateTopic(int topic) {
    auto& slotRef = topics_[topic];
    if (!slotRef) slotRef = std::make_unique<Topic>(this, topic);
    return slotRef.get();
}

Topic* TopicStore::GetTopic(int topic) {
    auto it = topics_.find(topic);
    return it == topics_.end() ? nullptr : it->second.get();
}

const Topic* TopicStore::GetTopic(int topic) const {
    auto it = topics_.find(topic);
    return it == topics_.end() ? nullptr : it->second.get();
}

int TopicStore::RecordCount(int topic) const {
    const Topic* t = GetTopic(topic);
    return t ? t->count() : 0;
}

bool TopicStore::NewRecord(int topic, RecordCursor& cursor) {
    Topic* t = GetTopic(topic);
    if (!t || !t->field(0)) return false;
    cursor.Release();
    cursor.topic_ = t;
    cursor.image_.assign(static_cast<std::size_t>(t->recordSize()), 0);
    cursor.id_ = t->nextId();
    slot::setInt(cursor.image_.data(), *t->field(0), cursor.id_);
    if (!t->append(cursor.image_.data())) {
        cursor.Release();
        return false;
    }
    if (ChangeObserver* o = observed(*t)) o->recordCreated(*t, cursor.id_);
    return true;
}

bool TopicStore::fill(Topic* t, const std::uint8_t* img, RecordCursor& cursor, bool withBlocks) {
    if (!img) return false;
    cursor.bind(t, img);
    // A cursor without its blocks must never be saved with blocks, or the text would be lost.
    if (withBlocks && t->listener() && !t->listener()->LoadBlocks(cursor)) {
        cursor.Release();
        return false;
    }
    return true;
}

bool TopicStore::GetRecord(int topic, std::int32_t id, RecordCursor& cursor, bool withBlocks) {
    Topic* t = GetTopic(topic);
    return t && fill(t, t->image(id), cursor, withBlocks);
}

bool TopicStore::GetRecordAt(int topic, int position, RecordCursor& cursor, bool withBlocks) {
    Topic* t = GetTopic(topic);
    return t && fill(t, t->imageAt(position), cursor, withBlocks);
}

bool TopicStore::DeleteInMemory(int topic, std::int32_t id) {
    Topic* t = GetTopic(topic);
    return t && t->contains(id) && t->erase(id);
}

bool TopicStore::DeleteRecordOnly(int topic, std::int32_t id) {
    Topic* t = GetTopic(topic);
    if (!t || !t->contains(id)) return false;
    SingleChange unit(*this);
    if (ChangeObserver* o = observed(*t)) o->recordDeleting(*t, id);
    if (t->listener() && !t->listener()->DeleteRecordRow(*t, id)) {
        unit.fail();
        return false;
    }
    t->erase(id);
    return unit.finish();
}

bool TopicStore::DeleteRecord(int topic, std::int32_t id, ObjectList* deleted,
                              ObjectList* changed) {
    Topic* t = GetTopic(topic);
    if (!t || !t->contains(id)) return false;
    StoreBatch batch(*this);
    if (!deleteCascade(*t, id, deleted, changed, 0)) {
        batch.fail();
        batch.finish();
        return false;
    }
    return batch.finish();
}

bool TopicStore::deleteCascade(Topic& t, std::int32_t id, ObjectList* deleted, ObjectList* changed,
                               int depth) {
    if (depth > maxDepth) return false;
    bookkeeping(t, id, changed);
    // Copy: deleting below may touch the list (a code refers to its own topic).
    const std::vector<int> referencing = t.referencingTopics();
    for (int r : referencing) {
        Topic* rt = GetTopic(r);
        if (!rt) continue;
        for (std::int32_t child : FindIds(r, t.id(), id)) {
            if (!rt->contains(child)) continue; // already gone with an earlier branch
            if (!deleteCascade(*rt, child, deleted, changed, depth + 1)) return false;
            if (deleted) deleted->add(r, child);
        }
    }
    if (ChangeObserver* o = observed(t)) o->recordDeleting(t, id);
    if (t.listener() && !t.listener()->DeleteRecordRow(t, id)) return false;
    t.erase(id);
    return true;
}

bool TopicStore::adjustCounter(int topic, std::int32_t id, int fieldId, int delta) {
    RecordCursor c;
    if (!GetRecord(topic, id, c)) return false;
    c.setInt(fieldId, c.getInt(fieldId) + delta);
    return Save(c);
}

void TopicStore::bookkeeping(Topic& t, std::int32_t id, ObjectList* changed) {
    ObjectList scratch;
    ObjectList& ch = changed ? *changed : scratch;
    const std::uint8_t* img = t.image(id);
    if (!img) return;
    if (t.id() == TopicId::Codings) {
        const FieldInfo* codeF = t.field(CodingField::Code);
        const FieldInfo* textF = t.field(CodingField::Text);
        const std::int32_t code = codeF ? slot::getInt(img, *codeF) : 0;
        const std::int32_t text = textF ? slot::getInt(img, *textF) : 0;
        RecordCursor c;
        if (code != 0 && GetRecord(TopicId::Codes, code, c)) {
            c.setInt(CodeField::Codes, c.getInt(CodeField::Codes) - 1);
            // Coding in an active text raised it. A count never raised (texts activated
            // while the counting was off) stays at zero.
            const int active = c.getInt(CodeField::ActiveCodes);
            if ((GetInt(TopicId::Texts, text, TextField::State) & StateActive) && active > 0)
                c.setInt(CodeField::ActiveCodes, active - 1);
            Save(c);
        }
        if (code != 0) ch.add(TopicId::Codes, code);
        if (text != 0) {
            adjustCounter(TopicId::Texts, text, TextField::Codes, -1);
            ch.add(TopicId::Texts, text);
            ch.add(TopicId::TextGroups, GetReference(TopicId::Texts, text, TopicId::TextGroups));
        }
        bool anyLink = false;
        for (std::int32_t link : FindIds(TopicId::TextLinks, TopicId::Texts, text)) {
            ch.add(TopicId::TextLinks, link);
            ch.add(TopicId::TextSets, GetReference(TopicId::TextLinks, link, TopicId::TextSets));
            anyLink = true;
        }
        ch.add(TopicId::GroupsRoot, 0);
        if (anyLink) ch.add(TopicId::SetsRoot, 0);
        ch.add(TopicId::CodesRoot, 0);
    } else if (t.id() == TopicId::Memos) {
        const FieldInfo* codeF = t.field(MemoField::Code);
        const std::int32_t code = codeF ? slot::getInt(img, *codeF) : 0;
        if (code != 0) {
            RecordCursor c;
            if (GetRecord(TopicId::Codes, code, c)) {
                c.setInt(CodeField::MemoID, 0);
                Save(c);
            }
            ch.add(TopicId::Codes, code);
        }
    } else if (t.id() == TopicId::TextLinks) {
        ch.add(TopicId::TextSets, GetReference(TopicId::TextLinks, id, TopicId::TextSets));
        ch.add(TopicId::SetsRoot, 0);
    }
}

bool TopicStore::CopyRecord(int topic, std::int32_t id, RecordCursor& cursor) {
    RecordCursor source;
    if (!GetRecord(topic, id, source, true)) return false;
    Topic* t = source.topic();
    if (!NewRecord(topic, cursor)) return false;
    const std::int32_t newId = cursor.id();
    cursor.image_ = source.image_;
    cursor.blocks_ = std::move(source.blocks_);
    slot::setInt(cursor.image_.data(), *t->field(0), newId);
    cursor.id_ = newId;
    return true;
}

std::vector<std::int32_t> TopicStore::ListIds(int topic) const {
    std::vector<std::int32_t> ids;
    if (const Topic* t = GetTopic(topic)) {
        ids.reserve(static_cast<std::size_t>(t->count()));
        t->forEach([&](std::int32_t rid, const std::uint8_t*) { ids.push_back(rid); });
    }
    return ids;
}

std::vector<std::int32_t> TopicStore::FindIds(int topic, int referencedTopic,
                                              std::int32_t referencedId) const {
    std::vector<std::int32_t> ids;
    const Topic* t = GetTopic(topic);
    if (!t) return ids;
    const int field = t->referenceField(referencedTopic);
    return field < 0 ? ids : t->idsReferring(field, referencedId);
}

std::vector<std::int32_t> TopicStore::FindIds(int topic, int topicA, std::int32_t idA, int topicB,
                                              std::int32_t idB) const {
    const Topic* t = GetTopic(topic);
    if (!t) return {};
    const int a = t->referenceField(topicA), b = t->referenceField(topicB);
    return a < 0 || b < 0 ? std::vector<std::int32_t>() : t->idsReferring(a, idA, b, idB);
}

std::int32_t TopicStore::GetReference(int topic, std::int32_t id, int referencedTopic) const {
    const Topic* t = GetTopic(topic);
    if (!t) return 0;
    const FieldInfo* f = t->field(t->referenceField(referencedTopic));
    const std::uint8_t* img = t->image(id);
    return f && img ? slot::getInt(img, *f) : 0;
}

std::vector<std::string> TopicStore::DistinctValues(int topic, int fieldId) const {
    std::vector<std::string> values;
    const Topic* t = GetTopic(topic);
    const FieldInfo* f = t ? t->field(fieldId) : nullptr;
    if (!f) return values;
    t->forEach([&](std::int32_t, const std::uint8_t* img) {
        std::string v = t->valueText(img, *f);
        if (!v.empty()) values.push_back(std::move(v));
    });
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

void TopicStore::compose(const Topic& t, const std::uint8_t* img, const CompiledFormat& format,
                         bool annotation, int depth, int& budget, std::string& out) const {
    if (depth > maxDepth) return;
    for (int token : format) {
        // A format that names its reference twice over a cycle would branch without end.
        if (--budget < 0 || out.size() > maxNameChars * 4) return;
        if (token >= 0) {
            const FieldInfo* f = t.field(token);
            if (!f) continue;
            if (f->parentTopic != 0) {
                const std::int32_t ref = slot::getInt(img, *f);
                const Topic* rt = GetTopic(f->parentTopic);
                const std::uint8_t* rimg = ref != 0 && rt ? rt->image(ref) : nullptr;
                if (!rimg) continue;
                if (annotation) {
                    std::string nested;
                    compose(*rt, rimg, rt->annotationFormat(), true, depth + 1, budget, nested);
                    if (!nested.empty() && nested.front() == '\\') nested.erase(0, 1);
                    out += nested;
                } else {
                    compose(*rt, rimg, rt->fullNameFormat(), false, depth + 1, budget, out);
                }
            } else {
                out += t.valueText(img, *f);
            }
        } else {
            const auto ch = static_cast<char32_t>(-token);
            if (!annotation && ch == U'\\' && out.empty()) continue;
            platform::utf8Append(out, ch);
        }
    }
}

std::string TopicStore::GetName(int topic, std::int32_t id, bool full) const {
    const Topic* t = GetTopic(topic);
    const std::uint8_t* img = t ? t->image(id) : nullptr;
    if (!img) return {};
    std::string out;
    int budget = composeBudget;
    compose(*t, img, full ? t->fullNameFormat() : t->nameFormat(), false, 0, budget, out);
    return cutText(out, maxNameChars);
}

std::string TopicStore::GetAnnotation(int topic, std::int32_t id) const {
    const Topic* t = GetTopic(topic);
    const std::uint8_t* img = t ? t->image(id) : nullptr;
    if (!img) return {};
    std::string out;
    int budget = composeBudget;
    compose(*t, img, t->annotationFormat(), true, 0, budget, out);
    if (!out.empty() && out.front() == '\\') out.erase(0, 1);
    return cutText(out, maxNameChars);
}

std::int32_t TopicStore::GetInt(int topic, std::int32_t id, int fieldId) const {
    const Topic* t = GetTopic(topic);
    const FieldInfo* f = t ? t->field(fieldId) : nullptr;
    const std::uint8_t* img = t ? t->image(id) : nullptr;
    return f && img && f->size == 4 && f->type != TypeBlock ? slot::getInt(img, *f) : 0;
}

std::string TopicStore::GetText(int topic, std::int32_t id, int fieldId) const {
    const Topic* t = GetTopic(topic);
    const FieldInfo* f = t ? t->field(fieldId) : nullptr;
    const std::uint8_t* img = t ? t->image(id) : nullptr;
    return f && img ? t->valueText(img, *f) : std::string();
}

const FieldInfo* TopicStore::GetField(int topic, int fieldId) const {
    const Topic* t = GetTopic(topic);
    return t ? t->field(fieldId) : nullptr;
}

int TopicStore::FieldCount(int topic) const {
    const Topic* t = GetTopic(topic);
    return t ? t->fieldCount() : 0;
}

const FieldInfo* TopicStore::FieldAt(int topic, int position) const {
    const Topic* t = GetTopic(topic);
    if (!t || position < 0 || position >= t->fieldCount()) return nullptr;
    return &t->fields()[static_cast<std::size_t>(position)];
}

std::vector<int> TopicStore::ListFields(int topic, bool withTypeField) const {
    std::vector<int> ids, typeFields;
    if (const Topic* t = GetTopic(topic)) {
        for (const auto& f : t->fields()) {
            if (f.has(FieldState::Hidden)) continue;
            if (f.has(FieldState::TypeField)) {
                if (withTypeField) typeFields.push_back(f.id);
                continue;
            }
            ids.push_back(f.id);
        }
    }
    typeFields.insert(typeFields.end(), ids.begin(), ids.end());
    return typeFields;
}

std::vector<int> TopicStore::ListVariables(int topic) const {
    std::vector<int> ids;
    if (const Topic* t = GetTopic(topic))
        for (const auto& f : t->fields())
            if (f.has(FieldState::Variable)) ids.push_back(f.id);
    return ids;
}

int TopicStore::CountVariables(int topic) const {
    return static_cast<int>(ListVariables(topic).size());
}

bool TopicStore::AttachField(int topic, FieldInfo field) {
    Topic* t = GetTopic(topic);
    if (!t) return false;
    const int parent = field.parentTopic;
    if (!t->appendField(std::move(field))) return false;
    if (parent != 0)
        if (Topic* pt = GetTopic(parent)) pt->addReferencingTopic(topic);
    return true;
}

int TopicStore::AddField(int topic, FieldInfo field) {
    Topic* t = GetTopic(topic);
    if (!t) return -1;
    int next = 0;
    for (const auto& f : t->fields())
        next = std::max(next, f.id + 1);
    field.id = next;
    if (field.source.empty()) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "F%09d", next);
        field.source = buf;
    }
    field.name = cutText(field.name, 63);
    return RestoreField(topic, field) ? next : -1;
}

bool TopicStore::RestoreField(int topic, const FieldInfo& given) {
    Topic* t = GetTopic(topic);
    if (!t || given.id < 0 || t->field(given.id)) return false;
    FieldInfo field = given;
    field.offset = t->recordSize();
    field.size = slotSize(field.type);
    SingleChange unit(*this);
    if (t->listener() && !t->listener()->AddFieldColumn(*t, field)) {
        unit.fail();
        return false;
    }
    if (!AttachField(topic, field)) {
        unit.fail();
        return false;
    }
    if (ChangeObserver* o = observed(*t)) o->fieldAdded(*t, field);
    return unit.finish();
}

bool TopicStore::RenameField(int topic, int fieldId, const std::string& name) {
    Topic* t = GetTopic(topic);
    if (!t || !t->field(fieldId)) return false;
    SingleChange unit(*this);
    if (ChangeObserver* o = observed(*t)) o->fieldRenaming(*t, *t->field(fieldId));
    t->renameFieldInMemory(fieldId, name);
    if (t->listener() && !t->listener()->RenameFieldRow(topic, fieldId, cutText(name, 63)))
        unit.fail();
    return unit.finish();
}

bool TopicStore::RemoveField(int topic, int fieldId) {
    Topic* t = GetTopic(topic);
    const FieldInfo* f = t ? t->field(fieldId) : nullptr;
    if (!f || fieldId == 0) return false;
    SingleChange unit(*this);
    if (ChangeObserver* o = observed(*t)) o->fieldRemoving(*t, *f);
    if (t->listener() && !t->listener()->DeleteFieldRow(*t, *f)) {
        unit.fail();
        return false;
    }
    const bool removed = t->removeFieldSlot(fieldId);
    return unit.finish() && removed;
}

bool TopicStore::Save(RecordCursor& cursor, bool writeBlocks, bool full) {
    Topic* t = cursor.topic();
    if (!t || t->recordSize() != static_cast<int>(cursor.image_.size())) return false;
    SingleChange unit(*this);
    if (ChangeObserver* o = observed(*t)) o->recordChanging(*t, cursor.id(), writeBlocks);
    if (t->listener() && !t->listener()->SaveRecord(cursor, writeBlocks, full)) {
        unit.fail();
        return false;
    }
    const bool stored = UpdateInMemory(cursor);
    return unit.finish() && stored;
}

bool TopicStore::RestoreRecord(int topic, std::vector<std::uint8_t> image,
                               const std::vector<std::pair<int, ByteBlock>>& blocks,
                               bool withBlocks) {
    Topic* t = GetTopic(topic);
    if (!t || !t->field(0) || static_cast<int>(image.size()) != t->recordSize()) return false;
    RecordCursor c;
    c.topic_ = t;
    c.id_ = slot::getInt(image.data(), *t->field(0));
    c.image_ = std::move(image);
    for (const auto& [fieldId, block] : blocks)
        if (const FieldInfo* f = t->field(fieldId); f && f->type == TypeBlock)
            c.setBlock(fieldId, block);
    return Save(c, withBlocks, true);
}

bool TopicStore::UpdateInMemory(RecordCursor& cursor) {
    Topic* t = cursor.topic();
    if (!t || t->recordSize() != static_cast<int>(cursor.image_.size())) return false;
    // The topic's images never hold block handles; they belong to the cursor.
    for (const auto& f : t->fields())
        if (f.type == TypeBlock) slot::setInt(cursor.image_.data(), f, 0);
    if (t->contains(cursor.id())) {
        t->writeImage(cursor.id(), cursor.image_.data());
    } else if (!t->append(cursor.image_.data())) {
        return false;
    }
    cursor.Release();
    return true;
}

bool TopicStore::SetFieldText(RecordCursor& cursor, int fieldId, std::string_view text) {
    Topic* t = cursor.topic();
    const FieldInfo* f = cursor.field(fieldId);
    if (!t || !f) return false;
    const std::uint8_t* stored = t->image(cursor.id());
    if (!stored) return false;
    SingleChange unit(*this);
    if (ChangeObserver* o = observed(*t)) o->recordChanging(*t, cursor.id(), false);
    t->setValueFromText(cursor.image_.data(), *f, text);
    const std::vector<std::uint8_t> before(stored, stored + t->recordSize());
    const std::vector<std::uint8_t> img = cursor.storedImage();
    t->writeImage(cursor.id(), img.data());
    if (t->listener() && !t->listener()->SaveField(*t, cursor.id(), *f, t->image(cursor.id()))) {
        t->writeImage(cursor.id(), before.data());
        unit.fail();
        return false;
    }
    return unit.finish();
}

void TopicStore::Clear() {
    for (auto& [id, t] : topics_)
        t->clear();
}

std::size_t TopicStore::memoryBytes() const {
    std::size_t bytes = 0;
    for (const auto& [id, t] : topics_)
        bytes += t->memoryBytes();
    return bytes;
}

StoreBatch::StoreBatch(TopicStore& store, bool bulk)
    : StoreBatch(store, std::string_view(), bulk) {}

StoreBatch::StoreBatch(TopicStore& store, std::string_view name, bool bulk)
    : handler_(store.batchHandler()) {
    if (handler_) handler_->beginBatch(bulk, name);
}

StoreBatch::~StoreBatch() {
    finish();
}

bool StoreBatch::finish() {
    if (done_) return ok_;
    done_ = true;
    if (handler_) ok_ = handler_->endBatch(ok_) && ok_;
    return ok_;
}

} // namespace vexana::store
