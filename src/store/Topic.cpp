#include "Topic.h"

#include "Schema.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

namespace vexana::store {

namespace slot {

void setInt(std::uint8_t* image, const FieldInfo& f, std::int32_t v) {
    std::memcpy(image + f.offset, &v, sizeof v);
}
void setDouble(std::uint8_t* image, const FieldInfo& f, double v) {
    std::memcpy(image + f.offset, &v, sizeof v);
}
void setDate(std::uint8_t* image, const FieldInfo& f, const DateTime& v) {
    std::memcpy(image + f.offset, &v.days, sizeof v.days);
    std::memcpy(image + f.offset + 8, &v.status, sizeof v.status);
}

} // namespace slot

void Topic::setNames(std::string name, std::string source, std::string sortField) {
    name_ = std::move(name);
    source_ = std::move(source);
    sortField_ = std::move(sortField);
}

void Topic::setFormats(std::string_view name, std::string_view fullName,
                       std::string_view annotation) {
    nameFormat_ = compileNameFormat(name);
    fullNameFormat_ = compileNameFormat(fullName);
    annotationFormat_ = compileNameFormat(annotation);
}

const FieldInfo* Topic::field(int fieldId) const {
    if (fieldId < 0 || fieldId >= static_cast<int>(fieldPos_.size())) return nullptr;
    const int pos = fieldPos_[static_cast<std::size_t>(fieldId)];
    return pos < 0 ? nullptr : &fields_[static_cast<std::size_t>(pos)];
}

bool Topic::appendField(FieldInfo f) {
    if (f.id < 0 || field(f.id)) return false;
    // Field ids index a table; a corrupt file must not make it huge.
    if (f.id > 100000) return false;
    ensureCompact();
    refIndexes_.clear();
    f.offset = recordSize_;
    f.size = slotSize(f.type);
    const int newSize = recordSize_ + f.size;
    if (f.size > 0 && live_ > 0) {
        std::vector<std::uint8_t> grown(static_cast<std::size_t>(live_) * newSize, 0);
        for (int i = 0; i < live_; ++i)
            std::memcpy(grown.data() + static_cast<std::size_t>(i) * newSize,
                        records_.data() + static_cast<std::size_t>(i) * recordSize_, recordSize_);
        records_.swap(grown);
    }
    recordSize_ = newSize;
    if (f.parentTopic != 0 && referenceField(f.parentTopic) < 0)
        referenceMap_.emplace_back(f.parentTopic, f.id);
    if (f.has(FieldState::ValueField)) ++valueFields_;
    if (static_cast<int>(fieldPos_.size()) <= f.id)
        fieldPos_.resize(static_cast<std::size_t>(f.id) + 1, -1);
    // Fields stand in id order, as loading gives them, wherever their slot is: a field that
    // undo brings back takes its old place among the others.
    const auto at = std::upper_bound(fields_.begin(), fields_.end(), f.id,
                                     [](std::int32_t id, const FieldInfo& x) { return id < x.id; });
    const auto from = static_cast<std::size_t>(at - fields_.begin());
    fields_.insert(at, std::move(f));
    for (std::size_t i = from; i < fields_.size(); ++i)
        fieldPos_[static_cast<std::size_t>(fields_[i].id)] = static_cast<int>(i);
    return true;
}

bool Topic::removeFieldSlot(int fieldId) {
    const FieldInfo* f = field(fieldId);
    if (!f || fieldId == 0) return false;
    ensureCompact();
    refIndexes_.clear();
    const FieldInfo removed = *f;
    const int newSize = recordSize_ - removed.size;
    if (removed.size > 0 && live_ > 0) {
        std::vector<std::uint8_t> shrunk(static_cast<std::size_t>(live_) * newSize);
        for (int i = 0; i < live_; ++i) {
            const std::uint8_t* src = records_.data() + static_cast<std::size_t>(i) * recordSize_;
            std::uint8_t* dst = shrunk.data() + static_cast<std::size_t>(i) * newSize;
            std::memcpy(dst, src, removed.offset);
            std::memcpy(dst + removed.offset, src + removed.offset + removed.size,
                        recordSize_ - removed.offset - removed.size);
        }
        records_.swap(shrunk);
    }
    recordSize_ = newSize;
    std::erase_if(fields_, [&](const FieldInfo& x) { return x.id == fieldId; });
    for (auto& x : fields_)
        if (x.offset > removed.offset) x.offset -= removed.size;
    std::fill(fieldPos_.begin(), fieldPos_.end(), -1);
    for (std::size_t i = 0; i < fields_.size(); ++i)
        fieldPos_[static_cast<std::size_t>(fields_[i].id)] = static_cast<int>(i);
    std::erase_if(referenceMap_, [&](const auto& p) { return p.second == fieldId; });
    if (removed.has(FieldState::ValueField)) --valueFields_;
    return true;
}

void Topic::renameFieldInMemory(int fieldId, std::string name) {
    if (fieldId >= 0 && fieldId < static_cast<int>(fieldPos_.size()) && fieldPos_[fieldId] >= 0)
        fields_[static_cast<std::size_t>(fieldPos_[fieldId])].name = cutText(name, 63);
}

int Topic::referenceField(int referencedTopic) const {
    for (const auto& [topic, fieldId] : referenceMap_)
        if (topic == referencedTopic) return fieldId;
    return -1;
}

void Topic::addReferencingTopic(int topicId) {
    if (std::find(referencingTopics_.begin(), referencingTopics_.end(), topicId) ==
        referencingTopics_.end())
        referencingTopics_.push_back(topicId);
}

int Topic::physicalPosition(std::int32_t id) const {
    // Ids are usually dense from 1, so the entry is most often where the id says.
    if (id > 0 && static_cast<std::size_t>(id) <= index_.size()) {
        const auto& [at, pos] = index_[static_cast<std::size_t>(id) - 1];
        if (at == id && pos >= 0) return pos;
    }
    auto it = std::lower_bound(index_.begin(), index_.end(), id,
                               [](const auto& p, std::int32_t v) { return p.first < v; });
    for (; it != index_.end() && it->first == id; ++it)
        if (it->second >= 0) return it->second;
    return -1;
}

const std::uint8_t* Topic::image(std::int32_t id) const {
    const int pos = physicalPosition(id);
    return pos < 0 ? nullptr : records_.data() + static_cast<std::size_t>(pos) * recordSize_;
}

std::uint8_t* Topic::mutableImage(std::int32_t id) {
    const int pos = physicalPosition(id);
    return pos < 0 ? nullptr : records_.data() + static_cast<std::size_t>(pos) * recordSize_;
}

const std::uint8_t* Topic::imageAt(int position) {
    ensureCompact();
    if (position < 0 || position >= live_) return nullptr;
    return records_.data() + static_cast<std::size_t>(position) * recordSize_;
}

std::int32_t Topic::idAt(int position) {
    const std::uint8_t* img = imageAt(position);
    return img ? slot::getInt(img, fields_.front()) : 0;
}

std::vector<std::uint8_t> Topic::zeroImage() const {
    return std::vector<std::uint8_t>(recordSize_, 0);
}

namespace {
std::int64_t pairKey(std::int32_t a, std::int32_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(static_cast<std::uint32_t>(a))
                                         << 32 |
                                     static_cast<std::uint32_t>(b));
}
} // namespace

std::int64_t Topic::RefIndex::keyOf(const std::uint8_t* img) const {
    std::int32_t a, b = 0;
    std::memcpy(&a, img + offsetA, sizeof a);
    if (fieldB >= 0) std::memcpy(&b, img + offsetB, sizeof b);
    return pairKey(a, b);
}

Topic::RefIndex* Topic::refIndex(int fieldA, int fieldB) const {
    for (auto& r : refIndexes_)
        if (r.fieldA == fieldA && r.fieldB == fieldB) return &r;
    return nullptr;
}

void Topic::indexInsert(const std::uint8_t* img) {
    if (refIndexes_.empty()) return;
    const std::int32_t rid = slot::getInt(img, fields_.front());
    const int pos = physicalPosition(rid);
    for (auto& r : refIndexes_) {
        auto& ids = r.buckets[r.keyOf(img)];
        // Buckets stay in record order: a new record goes last, a changed one to its place.
        if (ids.empty() || pos < 0 || physicalPosition(ids.back()) < pos) {
            ids.push_back(rid);
            continue;
        }
        const auto at = std::lower_bound(ids.begin(), ids.end(), pos, [&](std::int32_t id, int p) {
            return physicalPosition(id) < p;
        });
        ids.insert(at, rid);
    }
}

void Topic::indexErase(const std::uint8_t* img) {
    if (refIndexes_.empty()) return;
    const std::int32_t rid = slot::getInt(img, fields_.front());
    for (auto& r : refIndexes_) {
        auto it = r.buckets.find(r.keyOf(img));
        if (it == r.buckets.end()) continue;
        auto& ids = it->second;
        if (auto pos = std::find(ids.begin(), ids.end(), rid); pos != ids.end()) ids.erase(pos);
    }
}

bool Topic::writeImage(std::int32_t id, const std::uint8_t* img) {
    std::uint8_t* target = mutableImage(id);
    if (!target) return false;
    if (target == img) return true;
    // Most saves change a counter, not a reference: their buckets stay as they are.
    const bool moves = std::any_of(refIndexes_.begin(), refIndexes_.end(), [&](const RefIndex& r) {
        return r.keyOf(target) != r.keyOf(img);
    });
    if (moves) indexErase(target);
    std::memcpy(target, img, static_cast<std::size_t>(recordSize_));
    if (moves) indexInsert(target);
    return true;
}

std::vector<std::int32_t> Topic::lookUp(int fieldA, std::int32_t a, int fieldB,
                                        std::int32_t b) const {
    const FieldInfo* fa = field(fieldA);
    const FieldInfo* fb = fieldB >= 0 ? field(fieldB) : nullptr;
    if (!fa || fa->size != 4 || (fieldB >= 0 && (!fb || fb->size != 4))) return {};
    RefIndex* r = refIndex(fieldA, fieldB);
    if (!r) {
        refIndexes_.push_back({fieldA, fa->offset, fieldB, fb ? fb->offset : 0, {}});
        r = &refIndexes_.back();
        forEach([&](std::int32_t rid, const std::uint8_t* img) {
            r->buckets[r->keyOf(img)].push_back(rid);
        });
    }
    auto it = r->buckets.find(pairKey(a, fieldB >= 0 ? b : 0));
    return it == r->buckets.end() ? std::vector<std::int32_t>() : it->second;
}

std::vector<std::int32_t> Topic::idsReferring(int fieldId, std::int32_t value) const {
    return lookUp(fieldId, value, -1, 0);
}

std::vector<std::int32_t> Topic::idsReferring(int fieldA, std::int32_t a, int fieldB,
                                              std::int32_t b) const {
    return lookUp(fieldA, a, fieldB, b);
}

std::int32_t Topic::nextId() const {
    for (auto it = index_.rbegin(); it != index_.rend(); ++it)
        if (it->second >= 0) return it->first + 1;
    return 1;
}

void Topic::reserve(std::size_t records) {
    try {
        records_.reserve(records * static_cast<std::size_t>(recordSize_));
        index_.reserve(records);
    } catch (const std::bad_alloc&) {
    }
}

bool Topic::append(const std::uint8_t* img) {
    if (fields_.empty()) return false;
    const std::size_t physical = records_.size() / recordSize_;
    try {
        records_.insert(records_.end(), img, img + recordSize_);
        if (tombstones_ > 0) dead_.push_back(false);
        const std::int32_t rid = slot::getInt(img, fields_.front());
        if (rid > 0) {
            auto it = std::upper_bound(index_.begin(), index_.end(), rid,
                                       [](std::int32_t v, const auto& p) { return v < p.first; });
            index_.insert(it, {rid, static_cast<std::int32_t>(physical)});
        }
        indexInsert(img);
    } catch (const std::bad_alloc&) {
        records_.resize(physical * recordSize_);
        if (tombstones_ > 0) dead_.resize(physical);
        return false;
    }
    ++live_;
    return true;
}

bool Topic::erase(std::int32_t id) {
    auto it = std::lower_bound(index_.begin(), index_.end(), id,
                               [](const auto& p, std::int32_t v) { return p.first < v; });
    for (; it != index_.end() && it->first == id; ++it) {
        if (it->second < 0) continue;
        if (tombstones_ == 0) dead_.assign(records_.size() / recordSize_, false);
        indexErase(records_.data() + static_cast<std::size_t>(it->second) * recordSize_);
        dead_[static_cast<std::size_t>(it->second)] = true;
        it->second = -1;
        ++tombstones_;
        --live_;
        return true;
    }
    return false;
}

void Topic::compact() {
    std::size_t out = 0;
    const std::size_t n = records_.size() / recordSize_;
    for (std::size_t i = 0; i < n; ++i) {
        if (dead_[i]) continue;
        if (out != i)
            std::memmove(records_.data() + out * recordSize_, records_.data() + i * recordSize_,
                         recordSize_);
        ++out;
    }
    records_.resize(out * recordSize_);
    dead_.clear();
    dead_.shrink_to_fit();
    tombstones_ = 0;
    rebuildIndex();
}

void Topic::sortAsLoaded() {
    if (recordSize_ == 0 || fields_.empty()) return;
    ensureCompact();
    const FieldInfo* key = nullptr;
    const auto same = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    if (!sortField_.empty() && !same(sortField_, "ID"))
        for (const FieldInfo& f : fields_)
            if (same(f.source, sortField_)) key = &f;
    const std::size_t n = records_.size() / recordSize_;
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = i;
    const auto at = [&](std::size_t i) { return records_.data() + i * recordSize_; };
    const FieldInfo& idField = fields_.front();
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (key) {
            switch (key->type) {
            case TypeString:
            case TypeLongString: {
                const std::string_view x = getText(at(a), *key), y = getText(at(b), *key);
                if (x != y) return x < y;
                break;
            }
            case TypeFloat:
                if (slot::getDouble(at(a), *key) != slot::getDouble(at(b), *key))
                    return slot::getDouble(at(a), *key) < slot::getDouble(at(b), *key);
                break;
            case TypeDateTime:
                if (slot::getDate(at(a), *key).days != slot::getDate(at(b), *key).days)
                    return slot::getDate(at(a), *key).days < slot::getDate(at(b), *key).days;
                break;
            case TypeInteger:
            case TypeBoolean:
                if (slot::getInt(at(a), *key) != slot::getInt(at(b), *key))
                    return slot::getInt(at(a), *key) < slot::getInt(at(b), *key);
                break;
            default:
                break;
            }
        }
        return slot::getInt(at(a), idField) < slot::getInt(at(b), idField);
    });
    std::vector<std::uint8_t> sorted(records_.size());
    for (std::size_t i = 0; i < n; ++i)
        std::memcpy(sorted.data() + i * recordSize_, at(order[i]), recordSize_);
    records_.swap(sorted);
    refIndexes_.clear();
    rebuildIndex();
}

void Topic::rebuildIndex() {
    index_.clear();
    if (fields_.empty()) return;
    const std::size_t n = records_.size() / recordSize_;
    index_.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (tombstones_ > 0 && dead_[i]) continue;
        const std::int32_t rid = slot::getInt(records_.data() + i * recordSize_, fields_.front());
        if (rid > 0) index_.emplace_back(rid, static_cast<std::int32_t>(i));
    }
    std::stable_sort(index_.begin(), index_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

void Topic::clear() {
    name_.clear();
    source_.clear();
    sortField_.clear();
    fields_.clear();
    fieldPos_.clear();
    index_.clear();
    index_.shrink_to_fit();
    records_.clear();
    records_.shrink_to_fit();
    dead_.clear();
    recordSize_ = 0;
    live_ = 0;
    tombstones_ = 0;
    listener_ = nullptr;
    nameFormat_.clear();
    fullNameFormat_.clear();
    annotationFormat_.clear();
    referenceMap_.clear();
    referencingTopics_.clear();
    valueFields_ = 0;
    pool_.clear();
    refIndexes_.clear();
}

void Topic::setText(std::uint8_t* img, const FieldInfo& f, std::string_view text) {
    const std::string cut = cutText(text, static_cast<std::size_t>(textCapacity(f.type)));
    // A zero byte would end the text early; the slot rules know texts without them only.
    const std::string clean(cut.c_str());
    std::uint8_t* p = img + f.offset;
    std::memset(p, 0, static_cast<std::size_t>(f.size));
    if (clean.size() < static_cast<std::size_t>(f.size)) {
        std::memcpy(p, clean.data(), clean.size());
        return;
    }
    const auto idx = static_cast<std::uint32_t>(pool_.size());
    pool_.push_back(clean);
    p[0] = Topic::pooledMarker;
    std::memcpy(p + 4, &idx, sizeof idx);
}

std::string Topic::valueText(const std::uint8_t* img, const FieldInfo& f) const {
    switch (f.type) {
    case TypeInteger:
        return intToText(slot::getInt(img, f));
    case TypeString:
    case TypeLongString:
        return std::string(getText(img, f));
    case TypeFloat:
        return floatToText(slot::getDouble(img, f));
    case TypeDateTime:
        return dateToText(slot::getDate(img, f));
    case TypeBoolean:
        return boolToText(slot::getInt(img, f));
    default:
        return {};
    }
}

void Topic::setValueFromText(std::uint8_t* img, const FieldInfo& f, std::string_view text) {
    switch (f.type) {
    case TypeInteger:
        slot::setInt(img, f, textToInt(text));
        break;
    case TypeString:
    case TypeLongString:
        setText(img, f, text);
        break;
    case TypeFloat:
        slot::setDouble(img, f, textToFloat(text));
        break;
    case TypeDateTime:
        slot::setDate(img, f, textToDate(text));
        break;
    case TypeBoolean:
        slot::setInt(img, f, textToBool(text));
        break;
    default:
        break;
    }
}

std::size_t Topic::memoryBytes() const {
    std::size_t bytes = records_.capacity() + index_.capacity() * sizeof(index_[0]);
    for (const auto& s : pool_)
        bytes += s.capacity() + sizeof s;
    return bytes;
}

} // namespace vexana::store
