// The RTF writer: ANSI RTF (Windows-1252) with \uN for every other character, so reading
// its output gives back the same characters, formats and paragraph formats.
#include "RichText.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <charconv>

namespace vexana::platform {

namespace {

void appendNumberWord(std::string& out, const char* word, long value) {
    out += '\\';
    out += word;
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    out.append(buf, end);
}

void appendChar(std::string& out, char32_t c) {
    if (c == U'\\' || c == U'{' || c == U'}') {
        out += '\\';
        out += static_cast<char>(c);
        return;
    }
    if (c == U'\t') {
        out += "\\tab ";
        return;
    }
    if (c >= 0x20 && c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    unsigned char b = 0;
    if (c >= 0x80 && unicodeToCp1252(c, b)) {
        static const char* hex = "0123456789abcdef";
        out += "\\'";
        out += hex[b >> 4];
        out += hex[b & 15];
        return;
    }
    auto unit = [&](unsigned v) {
        appendNumberWord(out, "u", v > 32767 ? static_cast<long>(v) - 65536 : static_cast<long>(v));
        out += '?';
    };
    if (c >= 0x10000) {
        const char32_t v = c - 0x10000;
        unit(0xD800 + (v >> 10));
        unit(0xDC00 + (v & 0x3FF));
    } else {
        unit(c);
    }
}

void appendName(std::string& out, const std::string& name) {
    for (std::size_t i = 0; i < name.size();) {
        const char32_t c = utf8Decode(name, i);
        if (c == U';') continue; // ends a name in the font table
        appendChar(out, c);
    }
}

int indexOf(std::vector<std::string>& list, const std::string& v) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == v) return static_cast<int>(i);
    list.push_back(v);
    return static_cast<int>(list.size() - 1);
}

int colorIndex(std::vector<std::int32_t>& list, std::int32_t c) {
    if (c == AutoColor) return 0;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == c) return static_cast<int>(i) + 1;
    list.push_back(c);
    return static_cast<int>(list.size());
}

} // namespace

std::string RichText::toRtf() const {
    return writeRtf(0, length());
}

std::string RichText::rangeToRtf(std::int32_t a, std::int32_t b) const {
    clampRange(a, b);
    return writeRtf(a, b);
}

std::string RichText::writeRtf(std::int32_t a, std::int32_t b) const {
    // The runs that touch [a, b): the one in force at a, and those starting inside.
    std::size_t firstRun = static_cast<std::size_t>(
        std::upper_bound(runs_.begin(), runs_.end(), a,
                         [](std::int32_t p, const Run& r) { return p < r.start; }) -
        runs_.begin());
    if (firstRun > 0) --firstRun;
    std::size_t endRun = firstRun + 1;
    while (endRun < runs_.size() && runs_[endRun].start < b)
        ++endRun;

    std::vector<std::string> fonts;
    std::vector<std::int32_t> colors;
    struct Written {
        int font, color, background;
    };
    std::vector<Written> written(formats_.size());
    for (std::size_t i = firstRun; i < endRun; ++i) {
        const Run& r = runs_[i];
        const CharFormat& f = formats_[static_cast<std::size_t>(r.format)];
        written[static_cast<std::size_t>(r.format)] = {
            indexOf(fonts, f.font), colorIndex(colors, f.color), colorIndex(colors, f.background)};
    }
    if (fonts.empty()) fonts.emplace_back();

    std::string out;
    out.reserve(static_cast<std::size_t>(b - a) + static_cast<std::size_t>(b - a) / 4 + 256);
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        out += '{';
        appendNumberWord(out, "f", static_cast<long>(i));
        out += "\\fnil\\fcharset0 ";
        appendName(out, fonts[i]);
        out += ";}";
    }
    out += "}{\\colortbl ;";
    for (std::int32_t c : colors) {
        appendNumberWord(out, "red", (c >> 16) & 0xFF);
        appendNumberWord(out, "green", (c >> 8) & 0xFF);
        appendNumberWord(out, "blue", c & 0xFF);
        out += ';';
    }
    out += "}\n";

    auto paragraphStart = [&](int p) {
        const ParaFormat& pf = paraFormat(p);
        out += "\\pard";
        if (pf.align == Align::Center)
            out += "\\qc";
        else if (pf.align == Align::Right)
            out += "\\qr";
        else if (pf.align == Align::Justify)
            out += "\\qj";
        if (pf.leftIndent) appendNumberWord(out, "li", pf.leftIndent);
        if (pf.rightIndent) appendNumberWord(out, "ri", pf.rightIndent);
        if (pf.firstIndent) appendNumberWord(out, "fi", pf.firstIndent);
        if (pf.spaceBefore) appendNumberWord(out, "sb", pf.spaceBefore);
        if (pf.spaceAfter) appendNumberWord(out, "sa", pf.spaceAfter);
        if (pf.lineSpacing) appendNumberWord(out, "sl", pf.lineSpacing);
        out += ' ';
    };
    auto formatStart = [&](int index) {
        const CharFormat& f = formats_[static_cast<std::size_t>(index)];
        const Written& w = written[static_cast<std::size_t>(index)];
        out += "\\plain";
        appendNumberWord(out, "f", w.font);
        appendNumberWord(out, "fs", f.size);
        if (f.bold) out += "\\b";
        if (f.italic) out += "\\i";
        if (f.underline) out += "\\ul";
        if (w.color) appendNumberWord(out, "cf", w.color);
        if (w.background) appendNumberWord(out, "highlight", w.background);
        out += ' ';
    };

    int paragraph = paragraphOf(a);
    paragraphStart(paragraph);
    std::size_t run = firstRun;
    formatStart(runs_[run].format);
    auto plainAscii = [](char32_t c) {
        return c >= 0x20 && c < 0x80 && c != U'\\' && c != U'{' && c != U'}';
    };
    const std::size_t end = static_cast<std::size_t>(b);
    for (std::size_t i = static_cast<std::size_t>(a); i < end;) {
        if (run + 1 < runs_.size() && runs_[run + 1].start == static_cast<std::int32_t>(i)) {
            ++run;
            formatStart(runs_[run].format);
        }
        // The common case, a stretch of characters that need no escaping, goes in at once.
        const std::size_t stop =
            run + 1 < runs_.size()
                ? std::min(end, static_cast<std::size_t>(std::max(runs_[run + 1].start, 0)))
                : end;
        std::size_t j = i;
        while (j < stop && plainAscii(chars_[j]))
            ++j;
        if (j > i) {
            const std::size_t at = out.size();
            out.resize(at + (j - i));
            std::transform(chars_.begin() + static_cast<std::ptrdiff_t>(i),
                           chars_.begin() + static_cast<std::ptrdiff_t>(j),
                           out.begin() + static_cast<std::ptrdiff_t>(at),
                           [](char32_t c) { return static_cast<char>(c); });
            i = j;
            continue;
        }
        const char32_t c = chars_[i++];
        if (c == U'\r') {
            out += "\\par\n";
            paragraphStart(++paragraph);
            continue;
        }
        appendChar(out, c);
    }
    out += "}";
    return out;
}

} // namespace vexana::platform
