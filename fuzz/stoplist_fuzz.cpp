#include "browser/TextSearch.h"
#include "wordanalysis/StopList.h"
#include "wordanalysis/WordFrequencies.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// A stop-list file may hold any bytes: what is read is a list the program can hold (folded,
// sorted, distinct, every entry one it would accept), reads back the same once written, and
// drives a count to its end. The first line, when it starts with "#", is the cut-off set.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vexana::wordanalysis::StopList;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string own;
    if (bytes.starts_with("#")) {
        const std::size_t eol = std::min(bytes.find('\n'), bytes.size());
        own = vexana::wordanalysis::withoutBlanks(bytes.substr(1, eol - 1));
        bytes.remove_prefix(eol);
    }
    const vexana::browser::WordDelimiters delimiters(own);
    const StopList::Reading r = StopList::parse(bytes, delimiters);
    if (!r.error.empty()) return 0;
    if (!std::is_sorted(r.words.begin(), r.words.end()) ||
        std::adjacent_find(r.words.begin(), r.words.end()) != r.words.end())
        std::abort();
    for (const std::string& w : r.words)
        if (!StopList::refusal(w).empty()) std::abort();

    StopList list;
    list.assign(r.words);
    std::string utf8 = "\xEF\xBB\xBF";
    for (const std::string& w : list.words())
        utf8 += w + "\r\n";
    if (StopList::parse(utf8, delimiters).words != r.words) std::abort();
    for (const std::string& w : r.words)
        if (!list.contains(w)) std::abort();

    // The same bytes as a text: no stopped word is counted.
    std::u32string text;
    for (unsigned char c : bytes.substr(0, 4096))
        text.push_back(c);
    vexana::wordanalysis::WordCounter counter(delimiters, false, list.words(), false);
    counter.countText(text);
    std::int64_t sum = 0;
    for (const auto& [word, n] : counter.counts()) {
        if (list.contains(word) || n <= 0) std::abort();
        sum += n;
    }
    if (sum != counter.total()) std::abort();
    return 0;
}
