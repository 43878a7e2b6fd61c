// Text search on the standard project (2,000 texts of 20 KB) against a plain scan of the same
// texts with std::search over a case-folded copy, and coding its hits against AddCoding of
// the same ranges in one unit.
#include "BenchSession.h"
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "browser/TextSearch.h"
#include "platform/richtext/RichText.h"
#include "store/Schema.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <functional>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

const std::vector<std::string> strings = {"Difficult", "CHILDREN", "money"};

std::u32string decoded(const std::string& s) {
    std::u32string out;
    for (char c : s)
        out.push_back(browser::foldCase(static_cast<unsigned char>(c)));
    return out;
}

platform::RichText bodyOf(TopicStore& st, std::int32_t text) {
    RecordCursor c;
    st.GetRecord(TopicId::Texts, text, c, true);
    const ByteBlock& b = c.block(TextField::Body);
    return platform::RichText::fromRtf(
        std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

// What any search has to do at least: per string std::search over a folded copy, whole
// words checked on both sides. Returns the number of hits.
std::size_t scan(const std::u32string& plain, const browser::WordDelimiters& d) {
    std::u32string folded = plain;
    for (char32_t& c : folded)
        c = browser::foldCase(c);
    std::size_t hits = 0;
    for (const std::string& s : strings) {
        const std::u32string needle = decoded(s);
        for (auto it = std::search(folded.begin(), folded.end(), needle.begin(), needle.end());
             it != folded.end(); it = std::search(it + static_cast<std::ptrdiff_t>(needle.size()),
                                                  folded.end(), needle.begin(), needle.end())) {
            const auto p = static_cast<std::size_t>(it - folded.begin());
            const std::size_t e = p + needle.size();
            if ((p == 0 || d.contains(folded[p - 1])) &&
                (e == folded.size() || d.contains(folded[e])))
                ++hits;
        }
    }
    return hits;
}

browser::SearchSettings searchSettings(bool within) {
    browser::SearchSettings s;
    s.strings = strings;
    s.wholeWords = true;
    s.useAnd = s.within = within;
    s.withinParagraphs = 2;
    return s;
}

void searchAgainstScan(benchmark::State& state, bool within) {
    BenchSession session(standardProject());
    TopicStore& st = session.doc.store();
    const browser::WordDelimiters delimiters;
    const std::vector<std::int32_t> texts = st.ListIds(TopicId::Texts);
    std::vector<std::u32string> loaded;
    for (std::int32_t t : texts)
        loaded.push_back(bodyOf(st, t).chars());
    std::size_t scanned = 0, found = 0;
    for (auto _ : state) {
        // The texts read from the project as the search reads them, then scanned.
        const auto [baseline, subject] = compare(
            3,
            [&] {
                scanned = 0;
                for (std::int32_t t : texts)
                    scanned += scan(bodyOf(st, t).chars(), delimiters);
            },
            [&] {
                browser::TextSearch search(*session.ws);
                found = search.run(searchSettings(within), {}, delimiters).hits.size();
            });
        // The scan alone, over texts already in memory.
        const double inMemory = bestOf(3, [&] {
            std::size_t n = 0;
            for (const auto& plain : loaded)
                n += scan(plain, delimiters);
            benchmark::DoNotOptimize(n);
        });
        report(state, baseline, subject);
        state.counters["scan_in_memory_ms"] = inMemory * 1000.0;
        state.counters["ratio_to_scan_in_memory"] = subject / inMemory;
        state.counters["scan_hits"] = static_cast<double>(scanned);
        state.counters["search_hits"] = static_cast<double>(found);
    }
}

void BM_SearchOrCaseWholeWords(benchmark::State& state) {
    searchAgainstScan(state, false);
}
BENCHMARK(BM_SearchOrCaseWholeWords)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SearchAndWithin2(benchmark::State& state) {
    searchAgainstScan(state, true);
}
BENCHMARK(BM_SearchAndWithin2)->Iterations(1)->Unit(benchmark::kMillisecond);

// 10,000 hits coded with their paragraph and one on either side.
void BM_CodeHitsWithParagraphs(benchmark::State& state) {
    const browser::HitContext context{1, 1};
    std::vector<browser::SearchHit> hits;
    {
        BenchSession session(standardProject());
        browser::TextSearch search(*session.ws);
        browser::SearchSettings s;
        s.strings = {"remember"};
        s.wholeWords = true;
        // One hit in every third paragraph: with one paragraph on either side each hit is
        // a coding of its own, so 10,000 hits make 10,000 codings.
        std::pair<std::int32_t, int> last{0, 0};
        for (const auto& h : search.run(s, {}).hits) {
            if (h.paragraph % 3 != 1 || last == std::make_pair(h.object, h.paragraph)) continue;
            last = {h.object, h.paragraph};
            hits.push_back(h);
            if (hits.size() == 10000) break;
        }
    }
    browser::SearchOutcome outcome;
    outcome.strings = {"remember"};
    outcome.hits = hits;
    int made = 0;
    for (auto _ : state) {
        double baseline = 1e300, subject = 1e300;
        for (int round = 0; round < 2; ++round) {
            {
                BenchSession session(workingCopy(standardProject(), "search-code-a.vxp"));
                TopicStore& st = session.doc.store();
                const std::int32_t code = session.ws->codes().NewCode(0, "Found", false);
                // The same ranges, worked out beforehand, each text read once.
                std::vector<std::pair<std::int32_t, std::vector<int>>> perText;
                for (const auto& h : hits) {
                    if (perText.empty() || perText.back().first != h.object)
                        perText.push_back({h.object, {}});
                    perText.back().second.push_back(h.paragraph);
                }
                baseline = std::min(
                    baseline, bestOf(1, [&] {
                        analysis::DeferredRetrieval defer(*session.ws);
                        StoreBatch unit(st);
                        std::int32_t batch = analysis::CodingOperations::NewBatch;
                        for (const auto& [text, paras] : perText) {
                            const platform::RichText body = bodyOf(st, text);
                            const platform::ParagraphTable table(body.chars());
                            for (const auto& span :
                                 browser::mergeParagraphSpans(paras, 1, table.count())) {
                                analysis::CodingTemplate t;
                                const std::int32_t last = table.paragraph(span.last).second;
                                t.text = text;
                                t.code = code;
                                t.start = table.paragraph(span.first).first;
                                t.finish = last < body.length() && body.chars()[last] == U'\r'
                                               ? last
                                               : last + 1;
                                t.startPara = span.first;
                                t.finishPara = span.last;
                                t.preview = body.text(t.start, std::min(t.finish, t.start + 63));
                                t.rtf = body.rangeToRtf(t.start, t.finish);
                                session.ws->codings().AddCoding(t, batch);
                            }
                        }
                        unit.finish();
                    }));
            }
            {
                BenchSession session(workingCopy(standardProject(), "search-code-b.vxp"));
                const std::int32_t code = session.ws->codes().NewCode(0, "Found", false);
                browser::TextSearch search(*session.ws);
                search.storeResults(outcome);
                subject = std::min(subject, bestOf(1, [&] {
                                       made = search.codeResults(code, 100, context, false);
                                   }));
            }
        }
        report(state, baseline, subject);
        state.counters["hits"] = static_cast<double>(hits.size());
        state.counters["codings"] = made;
    }
}
BENCHMARK(BM_CodeHitsWithParagraphs)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
