#include "RichTextBuilder.h"

#include "platform/Utf8.h"

namespace vexana::exchange {

using platform::CharFormat;

namespace {

bool isSpace(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r' || c == U'\f';
}

} // namespace

void RichTextBuilder::flush() {
    for (; pendingEnds_ > 0; --pendingEnds_) {
        chars_.push_back(U'\r');
        ++paragraphs_;
    }
}

void RichTextBuilder::put(char32_t c, const CharFormat& format) {
    // Control characters other than the tab would end up in the stored RTF as they are.
    if (c < 0x20 && c != U'\t' && c != U'\r') return;
    if (c == 0xFFFE || c == 0xFFFF || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    if (c != U'\r') flush();
    if (!open_ && c != U'\r') {
        if (para_ != platform::ParaFormat{}) paraFormats_.emplace_back(paragraphs_, para_);
        open_ = true;
    }
    if (runs_.empty() || runs_.back().second != format) runs_.emplace_back(chars_.size(), format);
    chars_.push_back(c);
}

void RichTextBuilder::chars(std::u32string_view text, const CharFormat& format) {
    if (spaceOwed_ && open_ && !text.empty()) put(U' ', format);
    spaceOwed_ = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') continue; // one end
        if (c == U'\n' || c == U'\r')
            paragraphEnd();
        else
            put(c, format);
    }
}

void RichTextBuilder::hardSpace(const CharFormat& format) {
    if (spaceOwed_ && open_) put(U' ', format);
    spaceOwed_ = false;
    put(U' ', format);
}

void RichTextBuilder::text(std::string_view utf8, const CharFormat& format, bool collapse) {
    std::u32string decoded = platform::utf8ToChars(utf8);
    if (!collapse) {
        chars(decoded, format);
        return;
    }
    std::size_t i = 0;
    while (i < decoded.size()) {
        if (isSpace(decoded[i])) {
            while (i < decoded.size() && isSpace(decoded[i]))
                ++i;
            spaceOwed_ = true;
            continue;
        }
        std::size_t j = i;
        while (j < decoded.size() && !isSpace(decoded[j]))
            ++j;
        chars(std::u32string_view(decoded).substr(i, j - i), format);
        i = j;
    }
}

void RichTextBuilder::paragraphEnd() {
    ++pendingEnds_;
    open_ = false;
    spaceOwed_ = false;
    para_ = {};
}

void RichTextBuilder::closeParagraph() {
    if (open_) paragraphEnd();
    spaceOwed_ = false;
}

void RichTextBuilder::cellEnd() {
    if (pendingEnds_ > 0) --pendingEnds_;
    put(U'\t', runs_.empty() ? CharFormat{} : runs_.back().second);
    open_ = false; // the next cell's first paragraph continues the row
    spaceOwed_ = false;
}

void RichTextBuilder::rowEnd() {
    pendingEnds_ = 0;
    open_ = false;
    spaceOwed_ = false;
    chars_.push_back(U'\r');
    ++paragraphs_;
}

platform::RichText RichTextBuilder::finish() {
    flush();
    // Carriage returns written before any text (empty paragraphs at the start) need a run too.
    if (runs_.empty() || runs_.front().first > 0) runs_.insert(runs_.begin(), {0, CharFormat{}});
    platform::RichText out;
    out.reserve(chars_.size());
    for (std::size_t k = 0; k < runs_.size(); ++k) {
        const std::size_t end = k + 1 < runs_.size() ? runs_[k + 1].first : chars_.size();
        out.appendChars(std::u32string_view(chars_).substr(runs_[k].first, end - runs_[k].first),
                        runs_[k].second);
    }
    for (const auto& [paragraph, format] : paraFormats_)
        out.setParagraphFormatAt(paragraph, format);
    *this = RichTextBuilder();
    return out;
}

} // namespace vexana::exchange
