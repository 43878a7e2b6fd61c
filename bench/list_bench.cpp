// The object list window over the Index of Coded Segments of the standard project (200,000
// codings): opening it, and sorting it by a column through the model as a header click does,
// against sorting the same values in a plain vector.
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "shell/ObjListWindows.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QApplication>
#include <algorithm>
#include <benchmark/benchmark.h>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

struct Session {
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    AppSettings settings{benchDirectory() + "/list_bench.ini"};
    std::unique_ptr<analysis::Workspace> ws;
    std::unique_ptr<analysis::Retrieval> retrieval;
    QWidget main;
    Session() {
        doc.OpenPath(standardProject(), false);
        ws = std::make_unique<analysis::Workspace>(doc);
        retrieval = std::make_unique<analysis::Retrieval>(*ws);
    }
    shell::ObjList* open() {
        const analysis::Overview o = retrieval->IndexOfCodedSegments();
        shell::ObjList* w = shell::showObjectList(&main, doc, settings, o.topic, o.title, o.ids);
        QApplication::processEvents(); // shown and painted
        return w;
    }
};

// The values of a column as the grid shows them, copied into a plain vector.
std::vector<std::string> columnValues(const browser::ListGrid& grid, int column) {
    std::vector<std::string> out;
    out.reserve(grid.rows().size());
    for (int r = 0; r < grid.rowCount(); ++r)
        out.push_back(grid.cellText(r, column));
    return out;
}

void OpenIndexOfCodedSegments(benchmark::State& state) {
    Session s;
    double seconds = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        seconds = bestOf(3, [&] {
            shell::ObjList* w = s.open();
            rows = w->ids().size();
            w->close();
            QApplication::processEvents();
        });
    }
    // The baseline: the list of ids itself, which every way of showing it needs.
    const double ids = bestOf(3, [&] { (void)s.retrieval->IndexOfCodedSegments(); });
    state.counters["rows"] = static_cast<double>(rows);
    report(state, ids, seconds);
}

// Sorting by a column through the model (the header click: grid, model reset, header mark)
// against std::sort of the same values, copied out beforehand, in a vector. The paint that
// follows is reported apart: it is the same for any order.
void SortByColumn(benchmark::State& state, int field, bool numeric) {
    Session s;
    shell::ObjList* w = s.open();
    shell::ListGridView* view = w->view();
    browser::ListGrid& grid = view->grid();
    const int column = grid.columnOfField(field);
    const int modelColumn = view->gridModel()->modelColumn(column);
    const std::vector<std::int32_t> original = grid.rows();
    const std::vector<std::string> texts = columnValues(grid, column);
    std::vector<long> numbers;
    for (const std::string& t : texts)
        numbers.push_back(std::strtol(t.c_str(), nullptr, 10));
    double b = 0, v = 0;
    for (auto _ : state) {
        std::tie(b, v) = compare(
            5,
            [&] {
                if (numeric) {
                    std::vector<long> copy = numbers;
                    std::sort(copy.begin(), copy.end());
                    benchmark::DoNotOptimize(copy.data());
                } else {
                    std::vector<std::string> copy = texts;
                    std::sort(copy.begin(), copy.end());
                    benchmark::DoNotOptimize(copy.data());
                }
            },
            [&] {
                // Each round starts from the list's own order, as the baseline's copy does.
                grid.setSort(-1, true);
                grid.fill(original);
                view->sortByHeader(modelColumn);
            });
    }
    state.counters["rows"] = static_cast<double>(grid.rowCount());
    // What the window adds afterwards: drawing the rows now at the top.
    state.counters["paint_ms"] = 1000 * bestOf(5, [&] {
                                     view->viewport()->update();
                                     QApplication::processEvents();
                                 });
    report(state, b, v);
}

void SortByText(benchmark::State& state) {
    SortByColumn(state, CodingField::Text, false);
}
void SortByPreview(benchmark::State& state) {
    SortByColumn(state, CodingField::Preview, false);
}
void SortByWeight(benchmark::State& state) {
    SortByColumn(state, CodingField::Weight, true);
}

} // namespace

BENCHMARK(OpenIndexOfCodedSegments)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SortByText)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SortByPreview)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SortByWeight)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
