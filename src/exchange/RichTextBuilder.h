#pragma once

#include "platform/richtext/RichText.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexana::exchange {

// A zipped document's part larger than this is not prose anyone wrote; it is a ZIP bomb.
inline constexpr std::size_t maxDocumentPartBytes = 64u << 20;

// Bold, italic and underline as styles state them: unset where a style says nothing, so a
// style inherits the rest from the one under it.
struct FormatToggles {
    std::optional<bool> bold, italic, underline;
    // `over` wins where it says anything.
    FormatToggles under(const FormatToggles& over) const {
        return {over.bold ? over.bold : bold, over.italic ? over.italic : italic,
                over.underline ? over.underline : underline};
    }
    platform::CharFormat format() const {
        platform::CharFormat f;
        f.bold = bold.value_or(false);
        f.italic = italic.value_or(false);
        f.underline = underline.value_or(false);
        return f;
    }
};

// What every document reader writes into, so all of them lay text out as the RTF reader
// does: one carriage return per paragraph end (a line break is one too), a tab after each
// table cell and a paragraph end after each row. In a cell, the cell's last paragraph ends
// with its tab instead of a carriage return.
class RichTextBuilder {
public:
    // Text as it stands (Word runs, PDF text) or with white space collapsed the way HTML and
    // OpenDocument want it: runs of spaces, tabs and line ends count as one space, and none
    // at the start or end of a paragraph.
    void text(std::string_view utf8, const platform::CharFormat& format, bool collapse = false);
    void chars(std::u32string_view chars, const platform::CharFormat& format);
    // A tab or a space that is kept even when white space collapses.
    void tab(const platform::CharFormat& format) { chars(U"\t", format); }
    void hardSpace(const platform::CharFormat& format);

    // The paragraph format the next paragraph starts with.
    void paragraphFormat(const platform::ParaFormat& format) { para_ = format; }
    void paragraphEnd();
    // Ends a paragraph only when one has been started (block elements around text).
    void closeParagraph();
    void cellEnd();
    void rowEnd();

    std::size_t length() const { return chars_.size(); }
    platform::RichText finish();

private:
    void flush();
    void put(char32_t c, const platform::CharFormat& format);

    std::u32string chars_;
    std::vector<std::pair<std::size_t, platform::CharFormat>> runs_;
    std::vector<std::pair<int, platform::ParaFormat>> paraFormats_;
    platform::ParaFormat para_;
    int paragraphs_ = 0;     // carriage returns written
    int pendingEnds_ = 0;    // paragraph ends not yet written: a cell may take the last
    bool open_ = false;      // the current paragraph has text
    bool spaceOwed_ = false; // collapsed white space waiting for the next word
};

} // namespace vexana::exchange
