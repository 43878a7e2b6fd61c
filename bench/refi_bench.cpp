// REFI-QDA export and import of the standard project against the work they cannot avoid:
// writing the same plain texts and as much XML with a plain streaming writer and zipping it;
// unzipping the file and parsing its XML with the same parser.
#include "BenchSession.h"
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "exchange/RefiExport.h"
#include "exchange/RefiImport.h"
#include "exchange/SafeXml.h"
#include "exchange/ZipArchive.h"
#include "exchange/ZipWriter.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <tuple>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The machine is shared: beside the wall-clock figures, the processor time of each side (all
// its threads), which others' load does not stretch.
template <class B, class S> void compareBoth(benchmark::State& state, B&& baseline, S&& subject) {
    double bw = 1e300, sw = 1e300, bc = 1e300, sc = 1e300;
    for (int i = 0; i < 2; ++i) {
        double c0 = cpuSeconds();
        bw = std::min(bw, bestOf(1, baseline));
        bc = std::min(bc, cpuSeconds() - c0);
        c0 = cpuSeconds();
        sw = std::min(sw, bestOf(1, subject));
        sc = std::min(sc, cpuSeconds() - c0);
    }
    report(state, bw, sw);
    state.counters["baseline_cpu_ms"] = bc * 1000.0;
    state.counters["vexana_cpu_ms"] = sc * 1000.0;
    state.counters["cpu_ratio"] = bc > 0 ? sc / bc : 0.0;
}

const std::string& exportedFile() {
    static const std::string path = [] {
        const std::string p = benchDirectory() + "/standard.qdpx";
        BenchSession s(standardProject());
        exchange::RefiExport(*s.ws).ExportProject(p);
        return p;
    }();
    return path;
}

void Export(benchmark::State& state) {
    BenchSession s(standardProject());
    // The baseline has the plain texts at hand already.
    std::vector<std::string> plains;
    for (std::int32_t t : s.doc.store().ListIds(TopicId::Texts)) {
        RecordCursor c;
        s.doc.store().GetRecord(TopicId::Texts, t, c, true);
        const auto& b = c.block(TextField::Body);
        plains.push_back(platform::RichText::fromRtf(std::string(b.begin(), b.end())).plainText());
    }
    const std::size_t xmlBytes = [&] {
        exchange::ZipWriter zip;
        exchange::RefiExport(*s.ws).BuildProject(zip);
        return zip.members().back().data.size();
    }();
    const std::string out = benchDirectory() + "/export.qdpx";
    // With state.range(0) the baseline reads the plain texts from the project itself, through
    // the one rich-text reader, as every export of texts must.
    const bool reading = state.range(0) != 0;
    for (auto _ : state) {
        compareBoth(
            state,
            [&] {
                exchange::ZipWriter zip;
                std::size_t i = 0;
                for (std::int32_t t : s.doc.store().ListIds(TopicId::Texts)) {
                    if (reading) {
                        RecordCursor c;
                        s.doc.store().GetRecord(TopicId::Texts, t, c, true);
                        const auto& b = c.block(TextField::Body);
                        plains[i] = platform::RichText::fromRtf(std::string(b.begin(), b.end()))
                                        .plainText();
                    }
                    zip.add("sources/" + std::to_string(i) + ".txt", plains[i]);
                    ++i;
                }
                std::string xml;
                xml.reserve(xmlBytes + 256);
                char line[256];
                for (long k = 0; xml.size() < xmlBytes; ++k) {
                    const int n = std::snprintf(
                        line, sizeof line,
                        "<PlainTextSelection guid=\"%08lX-0000-4000-8000-000000000000\" "
                        "startPosition=\"%ld\" endPosition=\"%ld\"><Coding guid=\"x\"/>"
                        "</PlainTextSelection>\n",
                        k, k, k + 10);
                    xml.append(line, static_cast<std::size_t>(n));
                }
                zip.add("project.qde", std::move(xml));
                std::string bytes, error;
                zip.build(bytes, error);
                platform::writeFileAtomic(out, bytes);
            },
            [&] { exchange::RefiExport(*s.ws).ExportProject(out); });
    }
    state.counters["xml_MB"] = static_cast<double>(xmlBytes) / 1e6;
}

void Import(benchmark::State& state) {
    const std::string file = exportedFile();
    const std::string target = benchDirectory() + "/imported.vxp";
    exchange::RefiImportReport r;
    for (auto _ : state) {
        compareBoth(
            state,
            [&] {
                std::string error;
                auto zip = exchange::ZipArchive::open(file, error);
                for (const std::string& n : zip->names()) {
                    auto bytes = zip->read(n, 1u << 30, error);
                    if (n == "project.qde")
                        benchmark::DoNotOptimize(exchange::parseXml(*bytes, error).get());
                }
            },
            [&] {
                SilentUserInterface ui;
                exchange::ImportRefiProject(file, freshPath(target), exchange::PositionMode::Auto,
                                            ui, r);
            });
    }
    state.counters["codings"] = r.counts.selections;
    state.counters["sources"] = r.counts.sources;
}

} // namespace

BENCHMARK(Export)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Import)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
