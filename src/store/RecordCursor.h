#pragma once

#include "FieldInfo.h"
#include "ValueText.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::store {

class Topic;

using ByteBlock = std::vector<std::uint8_t>;

// A detached working copy of one record. It owns its image and any byte blocks loaded into
// it; saving or releasing it frees them.
class RecordCursor {
public:
    RecordCursor() = default;

    bool valid() const { return topic_ != nullptr; }
    Topic* topic() const { return topic_; }
    std::int32_t id() const { return id_; }
    void Release();

    const FieldInfo* field(int fieldId) const;
    const FieldInfo* fieldAt(int position) const;
    int fieldCount() const;

    std::int32_t getInt(int fieldId) const;
    void setInt(int fieldId, std::int32_t value);
    double getDouble(int fieldId) const;
    void setDouble(int fieldId, double value);
    DateTime getDate(int fieldId) const;
    void setDate(int fieldId, const DateTime& value);
    std::string getText(int fieldId) const;
    void setText(int fieldId, std::string_view value);

    // Byte blocks (type 6); an unloaded block reads as empty.
    const ByteBlock& block(int fieldId) const;
    void setBlock(int fieldId, ByteBlock value);
    void setBlock(int fieldId, std::string_view value);
    bool blockLoaded(int fieldId) const;

    std::string valueText(int fieldId) const;
    void setValueFromText(int fieldId, std::string_view text);

    // The image with every block slot cleared, as the topic keeps it.
    std::vector<std::uint8_t> storedImage() const;
    const std::vector<std::uint8_t>& image() const { return image_; }

private:
    friend class TopicStore;
    void bind(Topic* topic, const std::uint8_t* image);

    Topic* topic_ = nullptr;
    std::int32_t id_ = 0;
    std::vector<std::uint8_t> image_;
    std::vector<ByteBlock> blocks_; // a block slot holds index + 1, 0 for none
};

} // namespace vexana::store
