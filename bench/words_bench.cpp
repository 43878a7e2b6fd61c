// Word frequencies on the standard project (2,000 texts of 20 KB) with a stop list of 500
// words against a plain tokenise-and-count of the same texts into a std::unordered_map, and
// the count's growth with the number of texts.
#include "BenchSession.h"
#include "BenchSupport.h"
#include "analysis/DocumentSystem.h"
#include "platform/Utf8.h"
#include "store/Schema.h"
#include "wordanalysis/WordFrequencies.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <unordered_map>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

// What any count has to do at least: the text read as the count reads it, folded, split at
// the cut-off characters and every word counted in a hash map.
std::size_t plainCount(TopicStore& st, const std::vector<std::int32_t>& texts,
                       const browser::WordDelimiters& d) {
    std::unordered_map<std::string, std::int64_t> counts;
    std::string word;
    for (std::int32_t t : texts) {
        for (char32_t c : wordanalysis::plainTextOf(st, t)) {
            c = browser::foldCase(c);
            if (d.contains(c)) {
                if (!word.empty()) ++counts[word];
                word.clear();
            } else if (c < 0x80) {
                word += static_cast<char>(c);
            } else {
                platform::utf8Append(word, c);
            }
        }
        if (!word.empty()) ++counts[word];
        word.clear();
    }
    return counts.size();
}

// Every other word of the thousand most frequent: a stop list that stops words often.
std::vector<std::string> stopWords(analysis::Workspace& ws) {
    wordanalysis::WordFrequencies wf(ws);
    wf.CountWords(false);
    std::vector<std::string> words;
    const auto rows = wf.rows();
    for (std::size_t i = 0; i < rows.size() && words.size() < 500; i += 2)
        words.push_back(rows[i].word);
    for (int i = 0; words.size() < 500; ++i)
        words.push_back("nowhere" + std::to_string(i));
    return words;
}

void BM_WordFrequencies(benchmark::State& state) {
    BenchSession session(standardProject());
    TopicStore& st = session.doc.store();
    const std::vector<std::int32_t> texts = st.ListIds(TopicId::Texts);
    const browser::WordDelimiters delimiters;
    wordanalysis::WordFrequencies wf(*session.ws);
    wf.stopList().assign(stopWords(*session.ws));
    std::size_t distinct = 0, listed = 0;
    for (auto _ : state) {
        const auto [baseline, subject] = compare(
            3, [&] { distinct = plainCount(st, texts, delimiters); },
            [&] {
                wf.CountWords(false);
                listed = static_cast<std::size_t>(st.RecordCount(TopicId::WordFrequencies));
            });
        report(state, baseline, subject);
        state.counters["words_total"] = static_cast<double>(wf.total());
        state.counters["baseline_distinct"] = static_cast<double>(distinct);
        state.counters["listed"] = static_cast<double>(listed);
        state.counters["stop_words"] = static_cast<double>(wf.stopList().size());
    }
}
BENCHMARK(BM_WordFrequencies)->Iterations(1)->Unit(benchmark::kMillisecond);

// Half the texts active against all of them: twice the texts should take twice the time.
void BM_WordFrequenciesLinearity(benchmark::State& state) {
    BenchSession session(workingCopy(standardProject(), "words-half.vxp"));
    TopicStore& st = session.doc.store();
    const std::vector<std::int32_t> texts = st.ListIds(TopicId::Texts);
    for (std::size_t i = 0; i < texts.size(); ++i)
        session.ws->documents().ActivateObjects(analysis::ActivationScope::Text, texts[i],
                                                i < texts.size() / 2);
    wordanalysis::WordFrequencies wf(*session.ws);
    wf.stopList().assign(stopWords(*session.ws));
    std::size_t half = 0, all = 0;
    for (auto _ : state) {
        const auto [once, twice] = compare(
            3,
            [&] {
                wf.CountWords(true);
                half = wf.countedTexts().size();
            },
            [&] {
                wf.CountWords(false);
                all = wf.countedTexts().size();
            });
        report(state, once, twice);
        state.counters["texts_half"] = static_cast<double>(half);
        state.counters["texts_all"] = static_cast<double>(all);
    }
}
BENCHMARK(BM_WordFrequenciesLinearity)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
