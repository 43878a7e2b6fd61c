// Undo of the largest units against performing them, and what the history holds after a
// working session.
#include "BenchSession.h"
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>
#include <filesystem>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

using Session = BenchSession;

std::string freshProject(const std::string& name) {
    return freshPath(benchDirectory() + "/" + name);
}

// Import of the files of the import benchmark's size, then its undo and redo.
void UndoImport(benchmark::State& state) {
    const ProjectShape shape = ProjectShape::fromEnvironment();
    const std::vector<std::string> files =
        writeInterviewFiles(benchDirectory() + "/undo-import", shape.texts, 20000);
    double perform = 1e300, undo = 1e300, redo = 1e300;
    for (auto _ : state) {
        for (int round = 0; round < 2; ++round) {
            Session s(freshProject("undo-import.vxp"));
            const std::int32_t group = s.ws->documents().NewTextGroup();
            perform = std::min(perform, bestOf(1, [&] {
                                   s.doc.beginCommand("Import Text(s)");
                                   exchange::TextImport(*s.ws).ImportFiles(group, files);
                                   s.doc.endCommand();
                               }));
            undo = std::min(undo, bestOf(1, [&] {
                                if (!s.doc.Undo()) state.SkipWithError("undo failed");
                            }));
            redo = std::min(redo, bestOf(1, [&] {
                                if (!s.doc.Redo()) state.SkipWithError("redo failed");
                            }));
            if (s.doc.store().RecordCount(TopicId::Texts) != shape.texts)
                state.SkipWithError("redo lost texts");
        }
    }
    report(state, perform, undo);
    state.counters["redo_ratio"] = redo / perform;
    state.counters["texts"] = shape.texts;
}

// One command that codes 100,000 passages (Code Results on a large retrieval does this),
// then its undo and redo.
void UndoCodingMany(benchmark::State& state) {
    const ProjectShape shape = ProjectShape::fromEnvironment();
    const int passages = std::max(1000, shape.codings / 2);
    const int texts = std::max(10, shape.texts / 20);
    double perform = 1e300, undo = 1e300, redo = 1e300;
    for (auto _ : state) {
        for (int round = 0; round < 2; ++round) {
            Session s(freshProject("undo-coding.vxp"));
            Random r(11);
            std::vector<std::int32_t> ids;
            {
                StoreBatch setup(s.doc.store(), true);
                const std::int32_t group = s.ws->documents().NewTextGroup();
                for (int t = 0; t < texts; ++t) {
                    std::string name = "T";
                    name += std::to_string(t);
                    ids.push_back(s.ws->documents().CreateTextWith(
                        group, name,
                        platform::RichText::fromPlain(syntheticText(r, 40000)).toRtf()));
                }
            }
            const std::int32_t code = s.ws->codes().NewCode(0, "Results", false);
            s.doc.history()->clear();
            perform = std::min(perform, bestOf(1, [&] {
                                   s.doc.beginCommand("Code Results");
                                   StoreBatch unit(s.doc.store(), true);
                                   for (int i = 0; i < passages; ++i) {
                                       analysis::CodingTemplate t;
                                       t.text = ids[static_cast<std::size_t>(i) % ids.size()];
                                       t.code = code;
                                       t.start = (i / static_cast<int>(ids.size())) * 7;
                                       t.finish = t.start + 5;
                                       t.startPara = t.finishPara = 1;
                                       t.preview = "a passage";
                                       t.rtf = "{\\rtf1 a passage}";
                                       std::int32_t batch = analysis::CodingOperations::NoBatch;
                                       s.ws->codings().AddCoding(t, batch);
                                   }
                                   unit.finish();
                                   s.doc.endCommand();
                               }));
            undo = std::min(undo, bestOf(1, [&] {
                                if (!s.doc.Undo()) state.SkipWithError("undo failed");
                            }));
            redo = std::min(redo, bestOf(1, [&] {
                                if (!s.doc.Redo()) state.SkipWithError("redo failed");
                            }));
            if (s.doc.store().RecordCount(TopicId::Codings) != passages)
                state.SkipWithError("redo lost codings");
        }
    }
    report(state, perform, undo);
    state.counters["redo_ratio"] = redo / perform;
    state.counters["codings"] = passages;
}

// A hundred everyday commands on the standard project: what the history then holds.
void HistoryAfterASession(benchmark::State& state) {
    const std::string path = workingCopy(standardProject(), "undo-session.vxp");
    Session s(path);
    TopicStore& st = s.doc.store();
    const auto texts = st.ListIds(TopicId::Texts);
    const auto codes = st.ListIds(TopicId::Codes);
    Random r(7);
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            s.doc.beginCommand("Work");
            const auto codings = st.ListIds(TopicId::Codings);
            switch (i % 5) {
            case 0: {
                analysis::CodingTemplate t;
                if (s.ws->codings().TemplateFor(texts[r.below(static_cast<int>(texts.size()))],
                                                r.below(500), 600 + r.below(100), t)) {
                    t.code = codes[r.below(static_cast<int>(codes.size()))];
                    std::int32_t b = analysis::CodingOperations::NewBatch;
                    s.ws->codings().AddCoding(t, b);
                }
                break;
            }
            case 1:
                s.ws->documents().RenameObject(TopicId::Codes,
                                               codes[r.below(static_cast<int>(codes.size()))],
                                               "Renamed " + std::to_string(i));
                break;
            case 2:
                s.ws->codings().SetWeight(codings[r.below(static_cast<int>(codings.size()))],
                                          r.below(100));
                break;
            case 3:
                s.ws->codings().DeleteCoding(codings[r.below(static_cast<int>(codings.size()))],
                                             false);
                break;
            default:
                s.ws->codes().NewCode(0, "New " + std::to_string(i), false);
                break;
            }
            s.doc.endCommand();
        }
    }
    state.counters["steps"] = static_cast<double>(s.doc.history()->unitCount());
    state.counters["history_KB"] = static_cast<double>(s.doc.history()->bytes()) / 1024.0;
    state.counters["store_MB"] = static_cast<double>(st.memoryBytes()) / 1e6;
}

} // namespace

BENCHMARK(UndoImport)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(UndoCodingMany)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(HistoryAfterASession)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
