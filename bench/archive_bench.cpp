// Archive import against reading the archive's members alone: the part of the import that
// is building the project.
#include "ArchiveWriter.h"
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "exchange/ArchiveImport.h"
#include "platform/Files.h"
#include "store/UserInterface.h"

#include <benchmark/benchmark.h>
#include <tuple>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::test;

namespace {

constexpr int texts = 500, codings = 20000, codes = 100, linesPerText = 40;

// 500 texts of 40 lines (every fourth one a wrap), 100 codes in two levels whose 20,000
// segments are spread over the texts, a variable table and a memo per code.
std::string syntheticArchive() {
    Random r(7);
    ArchiveWriter w;
    w.member(exchange::MemberType::VariableTable, 1, variableTable({{"Age", 1}, {"Place", 2}}));
    GroupSpec group{"Interviews", 1, {}};
    for (int t = 1; t <= texts; ++t) {
        group.texts.push_back({"Interview " + std::to_string(t), t});
        std::string kt;
        std::vector<std::int32_t> ends;
        for (int l = 0; l < linesPerText; ++l) {
            kt += syntheticText(r, 60);
            ends.push_back(static_cast<std::int32_t>(l % 4 == 3 ? -kt.size() : kt.size()));
        }
        w.member(exchange::MemberType::Text, t, kt);
        w.member(exchange::MemberType::Lines, t, lineTable(ends));
        w.member(exchange::MemberType::Values, t,
                 variableValues({{1, "", 20 + t % 50}, {2, "Town " + std::to_string(t % 7), 0}}));
    }
    std::vector<CodeSpec> tree(codes / 10);
    Bytes numbers;
    for (int c = 0; c < codes; ++c) {
        CodeSpec code{"Code " + std::to_string(c), 0, {}, {}};
        for (int k = 0; k < codings / codes; ++k) {
            const int line = static_cast<int>(r.below(linesPerText - 2)) + 1;
            code.segments.push_back({line, static_cast<int>(r.below(30)), line + 1,
                                     static_cast<int>(r.below(30)), 100,
                                     static_cast<int>(r.below(texts)) + 1});
        }
        if (c % 10 == 0)
            tree[static_cast<std::size_t>(c / 10)] = std::move(code);
        else
            tree[static_cast<std::size_t>(c / 10)].subcodes.push_back(std::move(code));
    }
    for (int c = 0; c < codes; ++c)
        numbers.u16(static_cast<unsigned>(c + 1));
    w.member(exchange::MemberType::Objects, 1, objectFile("Synthetic", {group}, tree));
    w.member(exchange::MemberType::OldNumbers, 1, numbers.str());
    for (int c = 1; c <= codes; ++c)
        w.member(exchange::MemberType::Memo, c,
                 memoFile({0, 0, "Memo", "Bench", 1, 1, 1999, {}, syntheticText(r, 400)}));
    return w.bytes();
}

void ArchiveImport(benchmark::State& state) {
    const std::string archive = benchDirectory() + "/synthetic.vxa";
    platform::writeFileAtomic(archive, syntheticArchive());
    const std::string project = benchDirectory() + "/archive.vxp";
    store::SilentUserInterface ui;
    double base = 0, ours = 0;
    int made = 0;
    for (auto _ : state) {
        std::tie(base, ours) = compare(
            3,
            [&] {
                std::string error;
                const auto a = exchange::Archive::read(*platform::readFile(archive), error);
                const auto objects = exchange::readObjectFile(*a->file(0), error);
                std::size_t chars = objects->codes.size();
                for (const auto& g : objects->groups)
                    for (const auto& t : g.texts) {
                        const exchange::LineTable lines(*a->file(2, t.number));
                        chars += lines.body(*a->file(1, t.number)).size();
                        chars += exchange::readVariableValues(*a->file(3, t.number)).size();
                    }
                for (int n : a->memoNumbers())
                    chars += exchange::readMemoFile(*a->file(6, n), error)->body.size();
                benchmark::DoNotOptimize(chars);
            },
            [&] {
                platform::removeFile(project);
                exchange::ArchiveImport import(ui);
                if (!import.open(archive)) return;
                const auto counts = import.importInto(project);
                made = counts ? counts->codings : -1;
            });
    }
    report(state, base, ours);
    state.counters["codings"] = made;
}

} // namespace

BENCHMARK(ArchiveImport)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
