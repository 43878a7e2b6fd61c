#include "store/Schema.h"
#include "store/SchemaSetup.h"
#include "store/TopicStore.h"
#include "wordanalysis/Dictionary.h"
#include "wordanalysis/DictionaryCoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

using namespace vexana;
using namespace vexana::store;

namespace {

// Category and item rows as the file holds them, to compare two dictionaries.
std::vector<std::string> listing(const wordanalysis::Dictionary& d) {
    const TopicStore& st = d.store();
    std::vector<std::string> out;
    std::set<std::u32string> names;
    for (std::int32_t c : d.categories()) {
        const std::string name = st.GetText(TopicId::DictCategories, c, 2);
        if (name.empty() || name.find_first_of("\t\r\n") != std::string::npos ||
            !names.insert(wordanalysis::foldedName(name)).second)
            std::abort();
        out.push_back(name + "\t" + std::to_string(st.GetInt(TopicId::DictCategories, c, 1)));
        std::set<std::string> texts;
        for (std::int32_t i : d.items(c)) {
            const std::string text = st.GetText(TopicId::DictItems, i, 3);
            if (text.empty() || text.find_first_of("\t\r\n") != std::string::npos ||
                !texts.insert(text).second)
                std::abort();
            std::string row = "\t" + text;
            for (int f : {2, 4, 5, 6})
                row += "\t" + std::to_string(st.GetInt(TopicId::DictItems, i, f));
            out.push_back(row);
        }
    }
    return out;
}

} // namespace

// A .vxl file may hold any bytes: what is read keeps the dictionary's rules, writes back and
// reads again the same, and counts over a text to its end.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TopicStore store;
    setUpInMemoryTopics(store);
    wordanalysis::Dictionary dictionary(store);
    dictionary.addBytes(bytes);
    const std::vector<std::string> first = listing(dictionary);

    TopicStore again;
    setUpInMemoryTopics(again);
    wordanalysis::Dictionary copy(again);
    copy.addBytes(dictionary.bytes());
    if (listing(copy) != first) std::abort();

    std::u32string text;
    for (unsigned char c : bytes.substr(0, 2048))
        text.push_back(static_cast<char32_t>(c));
    const wordanalysis::DictionaryMatcher matcher(dictionary, browser::WordDelimiters());
    std::vector<std::int32_t> counts;
    std::vector<wordanalysis::CoderHit> hits;
    matcher.match(text, size % 2 == 0, counts, &hits);
    if (counts.size() != matcher.columns().size()) std::abort();
    for (const auto& h : hits)
        if (h.start < 0 || h.start >= h.end || h.end > static_cast<std::int32_t>(text.size()))
            std::abort();
    return 0;
}
