#include "Utf8.h"

namespace vexana::platform {

namespace {

bool isCont(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of a well-formed sequence at s[i], 0 when it is not well-formed.
std::size_t validSequence(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    char32_t min = 0;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        min = 0x10000;
    } else
        return 0;
    if (i + n > s.size()) return 0;
    char32_t cp = c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if (!isCont(d)) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

} // namespace

std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
    const std::size_t n = validSequence(s, i);
    return n == 0 ? 1 : n;
}

std::size_t utf16Length(std::u32string_view s) {
    std::size_t n = s.size();
    for (const char32_t c : s)
        if (c > 0xFFFF) ++n; // a surrogate pair
    return n;
}

std::size_t utf8Length(std::string_view s) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); i += utf8SequenceLength(s, i))
        ++count;
    return count;
}

std::size_t utf8ByteOffset(std::string_view s, std::size_t chars) {
    std::size_t i = 0;
    while (chars > 0 && i < s.size()) {
        i += utf8SequenceLength(s, i);
        --chars;
    }
    return i;
}

std::string_view utf8Prefix(std::string_view s, std::size_t maxChars) {
    return s.substr(0, utf8ByteOffset(s, maxChars));
}

char32_t utf8Decode(std::string_view s, std::size_t& i) {
    const std::size_t n = validSequence(s, i);
    if (n == 0) {
        ++i;
        return 0xFFFD;
    }
    const auto c = static_cast<unsigned char>(s[i]);
    char32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    return cp;
}

std::u32string utf8ToChars(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
        out.push_back(utf8Decode(s, i));
    return out;
}

void utf8Append(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = validSequence(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

char32_t cp1252ToUnicode(unsigned char c) {
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (c >= 0x80 && c < 0xA0) return high[c - 0x80];
    return c;
}

std::string cp1252ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s)
        utf8Append(out, cp1252ToUnicode(c));
    return out;
}

bool unicodeToCp1252(char32_t cp, unsigned char& out) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        out = static_cast<unsigned char>(cp);
        return true;
    }
    // Outside these ranges no byte stands for the character; most text never gets to the loop.
    if ((cp > 0xFF && cp < 0x152) || (cp > 0x2DC && cp < 0x2013) || cp > 0x2122) return false;
    for (unsigned c = 0x80; c < 0xA0; ++c) {
        if (cp1252ToUnicode(static_cast<unsigned char>(c)) == cp) {
            out = static_cast<unsigned char>(c);
            return true;
        }
    }
    return false;
}

std::string encodeTextFile(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char b = 0;
        if (!unicodeToCp1252(utf8Decode(utf8, i), b)) return "\xEF\xBB\xBF" + std::string(utf8);
        out += static_cast<char>(b);
    }
    return out;
}

std::string decodeTextFile(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (isValidUtf8(bytes)) return std::string(bytes);
    return cp1252ToUtf8(bytes);
}

} // namespace vexana::platform
