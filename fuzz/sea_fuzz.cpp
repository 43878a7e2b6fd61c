#include "browser/TextSearch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// A .sea file may hold any bytes: the settings read from it keep their bounds, read back the
// same once written, and drive a search to its end.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vexana::browser::SearchSettings;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const SearchSettings s = vexana::browser::parseSeaBytes(bytes);
    if (s.withinParagraphs < 1 || s.withinParagraphs > SearchSettings::maxWithinParagraphs)
        std::abort();
    for (const std::string& str : s.strings)
        if (str.empty() || !SearchSettings::refusal(str).empty()) std::abort();
    if (!(SearchSettings::parse(s.optionString()) == s)) std::abort();

    // The file's own bytes, read as text, are what is searched.
    std::u32string text;
    for (unsigned char c : bytes.substr(0, 4096))
        text.push_back(c == '|' ? U'\r' : static_cast<char32_t>(c));
    const vexana::browser::SearchPattern pattern(s, vexana::browser::WordDelimiters());
    std::vector<vexana::browser::SearchHit> hits;
    pattern.searchObject(text, 1, 0, nullptr, hits);
    for (const auto& h : hits)
        if (h.start < 0 || h.end > static_cast<std::int32_t>(text.size()) || h.paragraph < 1)
            std::abort();
    return 0;
}
