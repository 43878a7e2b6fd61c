#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexana::platform {

inline constexpr std::int32_t AutoColor = -1;

// Character attributes of a run of text. Sizes are in half-points, colours 0xRRGGBB.
struct CharFormat {
    std::string font;
    int size = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::int32_t color = AutoColor;
    std::int32_t background = AutoColor;

    bool operator==(const CharFormat&) const = default;
};

// Which attributes a format change touches.
namespace CharMask {
inline constexpr int Font = 1, Size = 2, Bold = 4, Italic = 8, Underline = 16, Color = 32,
                     Background = 64, All = 127;
}

enum class Align { Left, Center, Right, Justify };

// Paragraph attributes; indents and spacing in twips.
struct ParaFormat {
    Align align = Align::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    int lineSpacing = 0;

    bool operator==(const ParaFormat&) const = default;
};

// A formatted text, standing in for the rich edit control. Its plain form has exactly one
// carriage return per paragraph end, and every position in the program is a code-point
// offset into that plain form.
class RichText {
public:
    struct Run {
        std::int32_t start;
        int format; // index into formats()
    };

    RichText();

    // Line ends ("\r\n", "\n", "\r") become paragraph ends.
    static RichText fromPlain(std::string_view utf8, const CharFormat& format = {});
    // Any bytes: RTF when they start like RTF, otherwise plain text (UTF-8 or Windows-1252).
    static RichText fromRtf(std::string_view bytes);
    static bool looksLikeRtf(std::string_view bytes);

    // A complete RTF document of the whole text or of the range [a, b).
    std::string toRtf() const;
    std::string rangeToRtf(std::int32_t a, std::int32_t b) const;

    std::int32_t length() const { return static_cast<std::int32_t>(chars_.size()); }
    bool empty() const { return chars_.empty(); }
    const std::u32string& chars() const { return chars_; }
    // UTF-8, one "\r" per paragraph end.
    const std::string& plainText() const;
    std::string text(std::int32_t a, std::int32_t b) const;

    CharFormat charFormatAt(std::int32_t pos) const;
    void setCharFormat(std::int32_t a, std::int32_t b, const CharFormat& format,
                       int mask = CharMask::All);
    const std::vector<Run>& runs() const { return runs_; }
    const std::vector<CharFormat>& formats() const { return formats_; }

    // Paragraphs are the pieces between carriage returns, empty ones included.
    int paragraphCount() const;
    int paragraphOf(std::int32_t pos) const;
    // [start, end): end is the offset of the closing carriage return, or the text's end.
    std::pair<std::int32_t, std::int32_t> paragraphRange(int paragraph) const;
    const std::vector<std::int32_t>& paragraphEnds() const;
    const ParaFormat& paraFormat(int paragraph) const;
    void setParaFormat(std::int32_t a, std::int32_t b, const ParaFormat& format);

    // Replaces [a, b); plain text takes the format of the character before a.
    void replace(std::int32_t a, std::int32_t b, std::string_view plainUtf8);
    void replace(std::int32_t a, std::int32_t b, const RichText& rich);
    // The same as replace at the end, in time of the appended text alone.
    void append(const RichText& rich);
    RichText range(std::int32_t a, std::int32_t b) const;
    // Removes ranges (in any order, overlapping or not) in one pass. A paragraph that loses
    // its end joins the next one and keeps its own format.
    void removeRanges(const std::vector<std::pair<std::int32_t, std::int32_t>>& ranges);
    // Every occurrence of needle (case as in find), left to right, not overlapping.
    std::vector<std::int32_t> findAll(std::string_view needleUtf8, bool caseSensitive) const;

    // First occurrence of needle at or after from, or -1. Without case, letters compare by
    // Unicode simple case folding, which keeps every offset.
    std::int32_t find(std::string_view needleUtf8, std::int32_t from, bool caseSensitive) const;

    // Same characters, formats and paragraph formats.
    bool sameContent(const RichText& other) const;

    // Builders for readers: room for this many characters, and appending with a format.
    void reserve(std::size_t chars) { chars_.reserve(chars); }
    void appendChars(std::u32string_view chars, const CharFormat& format);
    void setParagraphFormatAt(int paragraph, const ParaFormat& format);

private:
    int formatIndex(const CharFormat& f);
    int paraFormatIndex(const ParaFormat& f);
    void clampRange(std::int32_t& a, std::int32_t& b) const;
    void splitRunAt(std::int32_t pos);
    void normalizeRuns();
    void touch();
    std::string writeRtf(std::int32_t a, std::int32_t b) const;

    std::u32string chars_;
    std::vector<Run> runs_;
    std::vector<CharFormat> formats_;
    std::vector<int> paraFmt_; // one per paragraph
    std::vector<ParaFormat> paraFormats_;
    mutable std::string plainCache_;
    mutable bool plainValid_ = false;
    mutable std::vector<std::int32_t> endsCache_;
    mutable bool endsValid_ = false;
    mutable std::u32string foldedCache_;
    mutable bool foldedValid_ = false;
};

using Ranges = std::vector<std::pair<std::int32_t, std::int32_t>>;
// Sorted, with overlapping and touching ranges joined and empty ones dropped.
Ranges mergeRanges(Ranges ranges);

// Offsets of every paragraph end (carriage return) in a stored body, read as rich text.
std::vector<std::int32_t> paragraphEndsOf(std::string_view body);

} // namespace vexana::platform
