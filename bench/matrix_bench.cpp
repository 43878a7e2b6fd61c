// The matrix of code frequencies over the standard project (2,000 texts, 1,000 codes,
// 200,000 codings): rows and columns in tree order and every coding counted, against counting
// the same (row, column) pairs, taken out beforehand, into a plain array.
#include "BenchSupport.h"
#include "browser/ProjectExports.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>
#include <unordered_map>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

void CodeFrequencyMatrix(benchmark::State& state) {
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    if (!doc.OpenPath(standardProject(), false)) {
        state.SkipWithError("the standard project does not open");
        return;
    }
    const TopicStore& s = doc.store();
    // The pairs as the baseline gets them: positions already known.
    const std::vector<std::int32_t> texts = browser::textsInTreeOrder(s);
    const std::vector<std::int32_t> codes = browser::codesInTreeOrder(s);
    std::unordered_map<std::int32_t, std::int32_t> row, column;
    for (std::size_t i = 0; i < texts.size(); ++i)
        row[texts[i]] = static_cast<std::int32_t>(i);
    for (std::size_t i = 0; i < codes.size(); ++i)
        column[codes[i]] = static_cast<std::int32_t>(i);
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    for (std::int32_t id : s.ListIds(TopicId::Codings))
        pairs.emplace_back(row[s.GetInt(TopicId::Codings, id, CodingField::Text)],
                           column[s.GetInt(TopicId::Codings, id, CodingField::Code)]);

    browser::CodeMatrix m;
    double b = 0, v = 0, text = 0;
    for (auto _ : state) {
        std::tie(b, v) = compare(
            15,
            [&] {
                std::vector<std::int32_t> cells(texts.size() * codes.size(), 0);
                for (const auto& [r, c] : pairs)
                    ++cells[std::size_t(r) * codes.size() + std::size_t(c)];
                benchmark::DoNotOptimize(cells.data());
            },
            [&] {
                browser::countCodeMatrix(s, browser::textsInTreeOrder(s),
                                         browser::matrixCodes(s, false), m);
                benchmark::DoNotOptimize(m.counts.data());
            });
        text = bestOf(3, [&] { benchmark::DoNotOptimize(browser::matrixText(s, m).size()); });
    }
    std::int64_t counted = 0;
    for (std::int32_t n : m.counts)
        counted += n;
    state.counters["rows"] = static_cast<double>(m.texts.size());
    state.counters["columns"] = static_cast<double>(m.codes.size());
    state.counters["counted"] = static_cast<double>(counted);
    state.counters["file_text_ms"] = text * 1000.0;
    report(state, b, v);
}

} // namespace

BENCHMARK(CodeFrequencyMatrix)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
