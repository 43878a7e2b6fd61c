// Import, preprocessor and coding against the work they cannot avoid: reading and
// converting the same files, and the same call in a ten times smaller project.
#include "BenchSession.h"
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/CodingOperations.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <tuple>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;
using platform::RichText;

namespace {

// A new project with one group to import into.
struct Project : BenchSession {
    std::int32_t group = 0;
    explicit Project(const std::string& path) : BenchSession(freshPath(path)) {
        RecordCursor c;
        doc.store().NewRecord(TopicId::TextGroups, c);
        group = c.id();
        doc.store().Save(c);
    }
};

void ImportFiles(benchmark::State& state) {
    const ProjectShape shape = ProjectShape::fromEnvironment();
    const std::vector<std::string> files =
        writeInterviewFiles(benchDirectory() + "/import-files", shape.texts, 20000);
    double base = 0, ours = 0;
    for (auto _ : state) {
        std::tie(base, ours) = compare(
            2,
            [&] {
                for (const auto& f : files)
                    benchmark::DoNotOptimize(RichText::fromRtf(*platform::readFile(f)).length());
            },
            [&] {
                Project p(benchDirectory() + "/import.vxp");
                exchange::TextImport(*p.ws).ImportFiles(p.group, files);
            });
    }
    report(state, base, ours);
    state.counters["files"] = static_cast<double>(files.size());
}

// A tagged document of `texts` texts of about 10 KB of RTF, each with 25 coded passages.
std::string taggedDocument(int texts) {
    Random r(5);
    std::string plain;
    for (int t = 0; t < texts; ++t) {
        plain += "#TEXT Interview " + std::to_string(t + 1) + "\r";
        for (int k = 0; k < 25; ++k) {
            plain += syntheticText(r, 150);
            plain += "\r#CODE Topic " + std::to_string(r.below(40)) + "\\Sub " +
                     std::to_string(r.below(5)) + "\r";
            plain += syntheticText(r, 130);
            plain += "\r#ENDCODE\r";
        }
        plain += "#ENDTEXT\r";
    }
    return rtfOf(plain);
}

void Preprocessor(benchmark::State& state) {
    const ProjectShape shape = ProjectShape::fromEnvironment();
    const std::string small = benchDirectory() + "/tagged-1x.rtf",
                      large = benchDirectory() + "/tagged-2x.rtf";
    platform::writeFileAtomic(small, taggedDocument(shape.texts / 2));
    platform::writeFileAtomic(large, taggedDocument(shape.texts));
    auto importOnce = [&](const std::string& file) {
        Project p(benchDirectory() + "/preprocess.vxp");
        return exchange::TextImport(*p.ws).PreprocessFiles(p.group, {file});
    };
    // The three take turns, so a slow spell of the machine falls on all of them alike.
    double plain = 1e300, one = 1e300, two = 1e300;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            plain = std::min(plain, bestOf(1, [&] {
                                 benchmark::DoNotOptimize(
                                     RichText::fromRtf(*platform::readFile(large)).length());
                             }));
            two = std::min(two, bestOf(1, [&] { importOnce(large); }));
            one = std::min(one, bestOf(1, [&] { importOnce(small); }));
        }
    }
    report(state, plain, two);
    state.counters["half_ms"] = one * 1000.0;
    state.counters["linear_ratio"] = two / one;
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(large)) / 1e6;
}

// The same codings added to a project of 20,000 and of 200,000 codings.
void AddCodingScales(benchmark::State& state) {
    ProjectShape shape = ProjectShape::fromEnvironment();
    const std::string big = standardProject();
    shape.codings /= 10;
    const std::string smallPath = benchDirectory() + "/standard-v1-" + std::to_string(shape.texts) +
                                  "-" + std::to_string(shape.codings) + ".vxp";
    if (!std::filesystem::exists(smallPath)) generateProject(smallPath, shape);
    auto run = [&](const std::string& source, int calls, bool batched) {
        const std::string path = workingCopy(source, "addcoding.vxp");
        SilentUserInterface ui;
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        doc.OpenPath(path, false);
        analysis::Workspace ws(doc);
        auto addOne = [&](int i) {
            analysis::CodingTemplate t;
            t.text = 1 + i % 100;
            t.code = 1 + i % 50;
            t.start = 100000 + i * 10;
            t.finish = t.start + 5;
            t.preview = "a passage";
            std::int32_t b = analysis::CodingOperations::NewBatch;
            ws.codings().AddCoding(t, b);
        };
        // The first coding after opening builds the lookup indexes once; then the steady cost.
        addOne(calls + 7);
        return bestOf(1,
                      [&] {
                          StoreBatch batch(doc.store());
                          if (!batched) batch.finish();
                          for (int i = 0; i < calls; ++i)
                              addOne(i);
                      }) /
               calls;
    };
    double small = 1e300, large = 1e300, smallDurable = 1e300, largeDurable = 1e300;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            smallDurable = std::min(smallDurable, run(smallPath, 300, false));
            largeDurable = std::min(largeDurable, run(big, 300, false));
            small = std::min(small, run(smallPath, 2000, true));
            large = std::min(large, run(big, 2000, true));
        }
    }
    // One call as the user makes it: its own durable commit.
    report(state, smallDurable, largeDurable);
    state.counters["batched_small_us"] = small * 1e6;
    state.counters["batched_large_us"] = large * 1e6;
    state.counters["batched_ratio"] = large / small;
}

} // namespace

BENCHMARK(ImportFiles)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Preprocessor)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(AddCodingScales)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
