// The dictionary coder on the standard project (2,000 texts of 20 KB) with 50 categories of 20
// items each, against one pass of a plain multi-string search: std::string::find of every
// item over the case-folded plain texts, already in memory.
#include "BenchSession.h"
#include "BenchSupport.h"
#include "analysis/DocumentSystem.h"
#include "browser/TextSearch.h"
#include "platform/Utf8.h"
#include "platform/richtext/RichText.h"
#include "store/Schema.h"
#include "wordanalysis/Dictionary.h"
#include "wordanalysis/DictionaryCoder.h"

#include <benchmark/benchmark.h>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

const char* const vocabulary[] = {"interview", "family",   "work",      "school",  "said",
                                  "that",      "was",      "difficult", "because", "the",
                                  "children",  "moved",    "later",     "really",  "and",
                                  "then",      "remember", "money",     "friends", "we"};

// Words of the texts, their beginnings, and words that never occur (some beginning with a
// rare letter, some with a common one), with every kind of match.
void fill(wordanalysis::Dictionary& d) {
    for (int cat = 0; cat < 50; ++cat) {
        const std::int32_t c = d.newCategory("Category " + std::to_string(cat), 0);
        for (int k = 0; k < 20; ++k) {
            const int n = cat * 20 + k;
            const std::string word = vocabulary[(n / 4 + cat) % std::size(vocabulary)];
            switch (n % 4) {
            case 0:
                d.newItem(c, word, 0, n % 8 == 0, n % 16 == 4);
                break;
            case 1:
                d.newItem(c, word.substr(0, 3 + n % 3), 0, false, false, true);
                break;
            case 2:
                d.newItem(c, "xq" + std::to_string(n));
                break;
            default:
                d.newItem(c, "th" + std::to_string(n), 0, false, true);
            }
        }
    }
}

std::string foldedPlain(const std::u32string& chars) {
    std::string out;
    for (char32_t c : chars)
        platform::utf8Append(out, browser::foldCase(c));
    return out;
}

} // namespace

void BM_CoderAgainstMultiStringFind(benchmark::State& state) {
    BenchSession session(standardProject());
    TopicStore& st = session.doc.store();
    wordanalysis::Dictionary dictionary(st);
    fill(dictionary);
    std::vector<std::string> needles;
    std::vector<std::u32string> loaded;
    for (std::int32_t c : dictionary.categories())
        for (std::int32_t i : dictionary.items(c))
            needles.push_back(foldedPlain([&] {
                std::u32string u;
                const std::string t = st.GetText(TopicId::DictItems, i, 3);
                for (std::size_t k = 0; k < t.size();)
                    u.push_back(platform::utf8Decode(t, k));
                return u;
            }()));
    std::vector<std::string> folded;
    for (std::int32_t t : st.ListIds(TopicId::Texts)) {
        RecordCursor c;
        st.GetRecord(TopicId::Texts, t, c, true);
        const ByteBlock& b = c.block(TextField::Body);
        loaded.push_back(platform::RichText::fromRtf(
                             std::string_view(reinterpret_cast<const char*>(b.data()), b.size()))
                             .chars());
        folded.push_back(foldedPlain(loaded.back()));
    }
    const std::vector<std::int32_t> texts =
        wordanalysis::DictionaryCoder::textsOf(st, analysis::ActivationScope::AllTexts, 0);
    std::size_t found = 0;
    int units = 0;
    for (auto _ : state) {
        const auto [baseline, subject] = compare(
            2,
            [&] {
                found = 0;
                for (const std::string& text : folded)
                    for (const std::string& n : needles)
                        for (std::size_t p = text.find(n); p != std::string::npos;
                             p = text.find(n, p + n.size()))
                            ++found;
            },
            [&] {
                wordanalysis::DictionaryCoder coder(*session.ws, dictionary);
                units = coder.run(texts, {}).units;
            });
        // The matching alone, over texts already in memory.
        const wordanalysis::DictionaryMatcher matcher(dictionary, browser::WordDelimiters());
        const double inMemory = bestOf(1, [&] {
            std::vector<std::int32_t> counts;
            for (const auto& plain : loaded)
                matcher.match(plain, false, counts, nullptr);
            benchmark::DoNotOptimize(counts);
        });
        report(state, baseline, subject);
        state.counters["match_in_memory_ms"] = inMemory * 1000.0;
        state.counters["ratio_match_in_memory"] = inMemory / baseline;
        state.counters["find_hits"] = static_cast<double>(found);
        state.counters["units"] = units;
    }
}
BENCHMARK(BM_CoderAgainstMultiStringFind)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
