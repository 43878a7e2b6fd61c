#include "RecordCursor.h"

#include "Schema.h"
#include "Topic.h"

#include <cstring>

namespace vexana::store {

namespace {
const ByteBlock emptyBlock;
}

void RecordCursor::bind(Topic* topic, const std::uint8_t* img) {
    topic_ = topic;
    image_.assign(img, img + topic->recordSize());
    blocks_.clear();
    const FieldInfo* idField = topic->field(0);
    id_ = idField ? slot::getInt(image_.data(), *idField) : 0;
    for (const auto& f : topic->fields())
        if (f.type == TypeBlock) slot::setInt(image_.data(), f, 0);
}

void RecordCursor::Release() {
    topic_ = nullptr;
    id_ = 0;
    image_.clear();
    blocks_.clear();
}

const FieldInfo* RecordCursor::field(int fieldId) const {
    return topic_ ? topic_->field(fieldId) : nullptr;
}

const FieldInfo* RecordCursor::fieldAt(int position) const {
    if (!topic_ || position < 0 || position >= topic_->fieldCount()) return nullptr;
    return &topic_->fields()[static_cast<std::size_t>(position)];
}

int RecordCursor::fieldCount() const {
    return topic_ ? topic_->fieldCount() : 0;
}

std::int32_t RecordCursor::getInt(int fieldId) const {
    const FieldInfo* f = field(fieldId);
    return f && f->size == 4 && f->type != TypeBlock ? slot::getInt(image_.data(), *f) : 0;
}

void RecordCursor::setInt(int fieldId, std::int32_t value) {
    const FieldInfo* f = field(fieldId);
    if (!f || f->size != 4 || f->type == TypeBlock) return;
    slot::setInt(image_.data(), *f, value);
    if (fieldId == 0) id_ = value;
}

double RecordCursor::getDouble(int fieldId) const {
    const FieldInfo* f = field(fieldId);
    return f && f->type == TypeFloat ? slot::getDouble(image_.data(), *f) : 0.0;
}

void RecordCursor::setDouble(int fieldId, double value) {
    if (const FieldInfo* f = field(fieldId); f && f->type == TypeFloat)
        slot::setDouble(image_.data(), *f, value);
}

DateTime RecordCursor::getDate(int fieldId) const {
    const FieldInfo* f = field(fieldId);
    return f && f->type == TypeDateTime ? slot::getDate(image_.data(), *f) : DateTime{};
}

void RecordCursor::setDate(int fieldId, const DateTime& value) {
    if (const FieldInfo* f = field(fieldId); f && f->type == TypeDateTime)
        slot::setDate(image_.data(), *f, value);
}

std::string RecordCursor::getText(int fieldId) const {
    const FieldInfo* f = field(fieldId);
    if (!f || (f->type != TypeString && f->type != TypeLongString)) return {};
    return std::string(topic_->getText(image_.data(), *f));
}

void RecordCursor::setText(int fieldId, std::string_view value) {
    const FieldInfo* f = field(fieldId);
    if (f && (f->type == TypeString || f->type == TypeLongString))
        topic_->setText(image_.data(), *f, value);
}

const ByteBlock& RecordCursor::block(int fieldId) const {
    const FieldInfo* f = field(fieldId);
    if (!f || f->type != TypeBlock) return emptyBlock;
    const std::int32_t handle = slot::getInt(image_.data(), *f);
    if (handle <= 0 || static_cast<std::size_t>(handle) > blocks_.size()) return emptyBlock;
    return blocks_[static_cast<std::size_t>(handle - 1)];
}

bool RecordCursor::blockLoaded(int fieldId) const {
    const FieldInfo* f = field(fieldId);
    return f && f->type == TypeBlock && slot::getInt(image_.data(), *f) > 0;
}

void RecordCursor::setBlock(int fieldId, ByteBlock value) {
    const FieldInfo* f = field(fieldId);
    if (!f || f->type != TypeBlock) return;
    const std::int32_t handle = slot::getInt(image_.data(), *f);
    if (handle > 0 && static_cast<std::size_t>(handle) <= blocks_.size()) {
        blocks_[static_cast<std::size_t>(handle - 1)] = std::move(value);
        return;
    }
    blocks_.push_back(std::move(value));
    slot::setInt(image_.data(), *f, static_cast<std::int32_t>(blocks_.size()));
}

void RecordCursor::setBlock(int fieldId, std::string_view value) {
    setBlock(fieldId, ByteBlock(value.begin(), value.end()));
}

std::string RecordCursor::valueText(int fieldId) const {
    const FieldInfo* f = field(fieldId);
    return f ? topic_->valueText(image_.data(), *f) : std::string();
}

void RecordCursor::setValueFromText(int fieldId, std::string_view text) {
    const FieldInfo* f = field(fieldId);
    if (!f) return;
    topic_->setValueFromText(image_.data(), *f, text);
    if (fieldId == 0) id_ = getInt(0);
}

std::vector<std::uint8_t> RecordCursor::storedImage() const {
    std::vector<std::uint8_t> img = image_;
    if (topic_)
        for (const auto& f : topic_->fields())
            if (f.type == TypeBlock) slot::setInt(img.data(), f, 0);
    return img;
}

} // namespace vexana::store
