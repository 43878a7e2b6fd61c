#pragma once

#include "FieldInfo.h"
#include "NameFormat.h"
#include "ValueText.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vexana::store {

class TopicStore;
class TopicListener;

// Reading and writing the slots of a record image. A text slot holds its text inline when
// it fits; a longer one (possible with multi-byte characters) goes to the topic's text pool
// and the slot keeps a marker byte and the pool index.
// The readers are inline: loops over every record (activation by variables) call them per
// record and field.
namespace slot {
inline std::int32_t getInt(const std::uint8_t* image, const FieldInfo& f) {
    std::int32_t v;
    std::memcpy(&v, image + f.offset, sizeof v);
    return v;
}
void setInt(std::uint8_t* image, const FieldInfo& f, std::int32_t v);
inline double getDouble(const std::uint8_t* image, const FieldInfo& f) {
    double v;
    std::memcpy(&v, image + f.offset, sizeof v);
    return v;
}
void setDouble(std::uint8_t* image, const FieldInfo& f, double v);
inline DateTime getDate(const std::uint8_t* image, const FieldInfo& f) {
    DateTime d;
    std::memcpy(&d.days, image + f.offset, sizeof d.days);
    std::memcpy(&d.status, image + f.offset + 8, sizeof d.status);
    return d;
}
void setDate(std::uint8_t* image, const FieldInfo& f, const DateTime& v);
} // namespace slot

class Topic {
public:
    Topic(TopicStore* store, int id) : store_(store), id_(id) {}
    Topic(const Topic&) = delete;
    Topic& operator=(const Topic&) = delete;

    TopicStore* store() const { return store_; }
    int id() const { return id_; }
    const std::string& name() const { return name_; }
    const std::string& source() const { return source_; }
    const std::string& sortField() const { return sortField_; }
    void setNames(std::string name, std::string source, std::string sortField);
    void setFormats(std::string_view name, std::string_view fullName, std::string_view annotation);
    const CompiledFormat& nameFormat() const { return nameFormat_; }
    const CompiledFormat& fullNameFormat() const { return fullNameFormat_; }
    const CompiledFormat& annotationFormat() const { return annotationFormat_; }

    TopicListener* listener() const { return listener_; }
    void setListener(TopicListener* l) { listener_ = l; }

    // Fields.
    const std::vector<FieldInfo>& fields() const { return fields_; }
    const FieldInfo* field(int fieldId) const;
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    int recordSize() const { return recordSize_; }
    int valueFieldCount() const { return valueFields_; }
    // Appends the field's slot to every record; the field's offset and size are set here.
    bool appendField(FieldInfo f);
    bool removeFieldSlot(int fieldId);
    void renameFieldInMemory(int fieldId, std::string name);
    // The field that refers to the given topic, or -1.
    int referenceField(int referencedTopic) const;
    const std::vector<int>& referencingTopics() const { return referencingTopics_; }
    void addReferencingTopic(int topicId);

    // Records. Positions count live records in load order.
    int count() const { return live_; }
    const std::uint8_t* image(std::int32_t id) const;
    const std::uint8_t* imageAt(int position);
    std::int32_t idAt(int position);
    bool contains(std::int32_t id) const { return image(id) != nullptr; }
    std::vector<std::uint8_t> zeroImage() const;

    // Calls f(id, image) for every live record in record order.
    template <class F> void forEach(F&& f) const {
        if (recordSize_ == 0 || fields_.empty()) return; // a topic not loaded yet holds nothing
        for (std::size_t off = 0; off + recordSize_ <= records_.size(); off += recordSize_) {
            const std::uint8_t* img = records_.data() + off;
            const std::int32_t rid = slot::getInt(img, fields_.front());
            if (!isTombstone(off)) f(rid, img);
        }
    }

    // Overwrites a stored record (same id) and keeps the reference indexes right.
    bool writeImage(std::int32_t id, const std::uint8_t* image);
    // Ids of the records whose reference field holds value, in record order. Served from an
    // index built on first use and kept up to date with every change.
    std::vector<std::int32_t> idsReferring(int fieldId, std::int32_t value) const;
    // The same for two fields at once (a coding's text and code, say).
    std::vector<std::int32_t> idsReferring(int fieldA, std::int32_t a, int fieldB,
                                           std::int32_t b) const;

    std::int32_t nextId() const;
    void reserve(std::size_t records);
    // Appends an image (loading, new records); returns false when memory runs out.
    bool append(const std::uint8_t* image);
    // Marks a record deleted; storage is closed up before the next positional access.
    bool erase(std::int32_t id);
    void rebuildIndex();
    // Puts the records in the order loading gives them (the sort field, then the id): where
    // a record brought back by undo belongs.
    void sortAsLoaded();
    void clear();

    // Text slots.
    static constexpr std::uint8_t pooledMarker = 0xFF; // never the first byte of UTF-8 text
    std::string_view getText(const std::uint8_t* image, const FieldInfo& f) const {
        const auto* p = image + f.offset;
        if (f.size < 8) return {};
        if (p[0] == pooledMarker) {
            std::uint32_t idx;
            std::memcpy(&idx, p + 4, sizeof idx);
            return idx < pool_.size() ? std::string_view(pool_[idx]) : std::string_view();
        }
        const auto* c = reinterpret_cast<const char*>(p);
        return std::string_view(c, strnlen(c, static_cast<std::size_t>(f.size - 1)));
    }
    void setText(std::uint8_t* image, const FieldInfo& f, std::string_view text);
    // The value of a field as text, by the value text rules.
    std::string valueText(const std::uint8_t* image, const FieldInfo& f) const;
    void setValueFromText(std::uint8_t* image, const FieldInfo& f, std::string_view text);

    // Bytes held for records, index and overflow texts (for the memory budget).
    std::size_t memoryBytes() const;

private:
    // Records by the value of one field, or of a pair of fields.
    struct RefIndex {
        int fieldA, offsetA;
        int fieldB, offsetB; // -1 for a single field
        std::unordered_map<std::int64_t, std::vector<std::int32_t>> buckets;
        std::int64_t keyOf(const std::uint8_t* img) const;
    };
    RefIndex* refIndex(int fieldA, int fieldB) const;
    std::vector<std::int32_t> lookUp(int fieldA, std::int32_t a, int fieldB, std::int32_t b) const;
    std::uint8_t* mutableImage(std::int32_t id);
    void indexInsert(const std::uint8_t* image);
    void indexErase(const std::uint8_t* image);
    bool isTombstone(std::size_t offset) const {
        return tombstones_ > 0 && dead_[offset / static_cast<std::size_t>(recordSize_)];
    }
    void compact();
    void ensureCompact() {
        if (tombstones_ > 0) compact();
    }
    int physicalPosition(std::int32_t id) const;

    TopicStore* store_;
    int id_;
    std::string name_, source_, sortField_;
    std::vector<FieldInfo> fields_;
    std::vector<int> fieldPos_; // field id -> position in fields_, -1 for none
    // Sorted by id; position -1 marks a deleted record until the storage is closed up.
    std::vector<std::pair<std::int32_t, std::int32_t>> index_;
    std::vector<std::uint8_t> records_;
    std::vector<bool> dead_; // per physical record, only sized while tombstones exist
    int recordSize_ = 0;
    int live_ = 0;
    int tombstones_ = 0;
    TopicListener* listener_ = nullptr;
    CompiledFormat nameFormat_, fullNameFormat_, annotationFormat_;
    std::vector<std::pair<int, int>> referenceMap_; // referenced topic -> field id
    std::vector<int> referencingTopics_;
    int valueFields_ = 0;
    std::deque<std::string> pool_;
    mutable std::vector<RefIndex> refIndexes_;
};

} // namespace vexana::store
