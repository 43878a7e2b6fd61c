#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace vexana::platform {

class RichText;

// The numbered paragraphs of a text: (start, end) pairs over its plain form, where end is
// the offset of the closing carriage return (or the last offset for the last paragraph).
// Empty paragraphs get no number. Codings, the Text Browser and the search share it.
class ParagraphTable {
public:
    ParagraphTable() = default;
    explicit ParagraphTable(const std::u32string& plain);
    explicit ParagraphTable(const RichText& text);

    int count() const { return static_cast<int>(pairs_.size()); }
    // Paragraph n (1-based); {0, 0} outside.
    std::pair<std::int32_t, std::int32_t> paragraph(int n) const;
    // The number of the paragraph that holds offset p; 0 beyond the last paragraph.
    int numberOf(std::int32_t p) const;

private:
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs_;
};

} // namespace vexana::platform
