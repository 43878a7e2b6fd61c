// The Memo Manager over 5,000 memos, without a window: its list of ids and the list grid
// filled with every shown cell, against filling a plain vector of rows with the same values.
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/MemoOperations.h"
#include "analysis/Workspace.h"
#include "browser/ListGrid.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

constexpr int memoCount = 5000;

// A project of 50 texts with 100 memos each, bodies of a few hundred characters and two
// linked codes, made once in one unit.
std::string memoProject() {
    const std::string path = benchDirectory() + "/memos-" + std::to_string(memoCount) + ".vxp";
    if (platform::fileExists(path)) return path;
    platform::removeFile(path + ".part");
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    if (!doc.OpenPath(path + ".part", false)) std::abort();
    analysis::Workspace ws(doc);
    Random r(7);
    {
        StoreBatch unit(doc.store(), true);
        const std::int32_t group = ws.documents().NewTextGroup();
        const std::int32_t a = ws.codes().NewCode(0, "Topic", false);
        const std::int32_t b = ws.codes().NewCode(a, "Detail", false);
        analysis::MemoOperations memos(ws);
        for (int t = 0; t < memoCount / 100; ++t) {
            const std::string body = syntheticText(r, 4000);
            const std::int32_t text = ws.documents().CreateTextWith(
                group, "Text " + std::to_string(t), platform::RichText::fromPlain(body).toRtf());
            for (int m = 0; m < 100; ++m) {
                analysis::Memo memo;
                memos.Load(memos.NewTextMemo(text, m * 30), memo);
                memo.author = "Author " + std::to_string(m % 7);
                memo.type = m % analysis::MemoTypeCount;
                memo.body = platform::RichText::fromPlain(syntheticText(r, 300));
                memo.codes = {a, b};
                memos.Save(memo);
            }
        }
    }
    doc.CloseProject();
    platform::renameNoReplace(path + ".part", path);
    return path;
}

void OpenMemoManager(benchmark::State& state) {
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    doc.OpenPath(memoProject(), false);
    analysis::Workspace ws(doc);
    analysis::MemoOperations memos(ws);
    std::size_t rows = 0, cells = 0;
    std::vector<int> fields; // the fields of the grid's shown columns
    {
        browser::ListGrid grid(doc.store(), TopicId::Memos);
        for (int c : grid.displayedColumns())
            fields.push_back(grid.columns()[static_cast<std::size_t>(c)].field);
    }
    double b = 0, v = 0;
    for (auto _ : state) {
        std::tie(b, v) = compare(
            5,
            [&] {
                // The same values read straight from the records, in one pass, into a plain
                // model: a text cell per shown field, names for references.
                TopicStore& s = doc.store();
                std::vector<std::vector<std::string>> model;
                model.reserve(static_cast<std::size_t>(s.RecordCount(TopicId::Memos)));
                RecordCursor c;
                for (int i = 0; i < s.RecordCount(TopicId::Memos); ++i) {
                    s.GetRecordAt(TopicId::Memos, i, c);
                    std::vector<std::string>& row = model.emplace_back();
                    row.reserve(fields.size());
                    for (int f : fields) {
                        const int parent = c.field(f)->parentTopic;
                        row.push_back(parent ? s.GetName(parent, c.getInt(f), false)
                                             : c.valueText(f));
                    }
                }
                benchmark::DoNotOptimize(model.data());
            },
            [&] {
                const analysis::Overview o = memos.ManagerOverview();
                browser::ListGrid grid(doc.store(), o.topic);
                grid.fill(o.ids);
                const std::vector<int> shown = grid.displayedColumns();
                std::vector<std::string> texts;
                texts.reserve(static_cast<std::size_t>(grid.rowCount()) * shown.size());
                for (int r = 0; r < grid.rowCount(); ++r)
                    for (int c : shown)
                        texts.push_back(grid.cellText(r, c));
                rows = static_cast<std::size_t>(grid.rowCount());
                cells = texts.size();
                benchmark::DoNotOptimize(texts.data());
            });
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["cells"] = static_cast<double>(cells);
    report(state, b, v);
}

} // namespace

BENCHMARK(OpenMemoManager)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
