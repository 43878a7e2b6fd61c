// The desktop windows against the plain Qt work they cannot avoid: start-up against the
// headless load, a big text with its stripes against the bare document, the retrieved
// segments against a document of the same plain texts.
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "browser/SegmentsDocument.h"
#include "shell/MainFrame.h"
#include "shell/TextDocument.h"
#include "shell/ViewLayout.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <benchmark/benchmark.h>
#include <filesystem>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

struct Session {
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    AppSettings settings{benchDirectory() + "/shell_bench.ini"};
    std::unique_ptr<analysis::Workspace> ws;
    std::unique_ptr<analysis::Retrieval> retrieval;
    std::unique_ptr<shell::CMainFrame> frame;
    // With a window, as the program starts: the window first, then the project it fills.
    explicit Session(const std::string& path, bool window) {
        if (window) {
            ws = std::make_unique<analysis::Workspace>(doc);
            retrieval = std::make_unique<analysis::Retrieval>(*ws);
            frame = std::make_unique<shell::CMainFrame>(doc, *ws, *retrieval, settings);
            frame->show();
        }
        doc.OpenPath(path, false);
        QApplication::processEvents();
    }
};

// Forces the layout a shown window would do.
void layOut(QTextDocument& d, int width) {
    d.setTextWidth(width);
    (void)d.size();
}

void StartUp(benchmark::State& state) {
    const std::string& path = standardProject();
    double b = 0, s = 0;
    for (auto _ : state)
        std::tie(b, s) = compare(
            3, [&] { Session(path, false); }, [&] { Session(path, true); });
    report(state, b, s);
}

// One text of about 1 MB with 5,000 codings of 20 codes.
const std::string& bigTextProject() {
    static const std::string path = [] {
        const std::string p = benchDirectory() + "/bigtext.vxp";
        if (std::filesystem::exists(p)) return p;
        SilentUserInterface ui;
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        doc.OpenPath(p, false);
        analysis::Workspace ws(doc);
        Random r(7);
        const platform::RichText body = platform::RichText::fromPlain(syntheticText(r, 1 << 20));
        const std::int32_t text =
            ws.documents().CreateTextWith(ws.documents().NewTextGroup(), "big", body.toRtf());
        std::vector<std::int32_t> codes;
        for (int i = 0; i < 20; ++i)
            codes.push_back(ws.codes().NewCode(0, "code " + std::to_string(i), false));
        StoreBatch unit(doc.store());
        const std::int32_t step = body.length() / 5000;
        for (int i = 0; i < 5000; ++i) {
            analysis::CodingTemplate t;
            const std::int32_t a = i * step + r.below(step / 2);
            analysis::CodingOperations::TemplateFor(body, a, a + 20 + r.below(400), t);
            t.text = text;
            t.code = codes[static_cast<std::size_t>(i % 20)];
            std::int32_t batch = analysis::CodingOperations::NoBatch;
            ws.codings().AddCoding(t, batch);
        }
        return p;
    }();
    return path;
}

void OpenBigText(benchmark::State& state) {
    // Another text is opened between the rounds: opening the text already shown keeps it.
    Session session(workingCopy(bigTextProject(), "open_big.vxp"), true);
    auto& docs = session.ws->documents();
    const std::int32_t text = session.doc.store().ListIds(TopicId::Texts).front();
    const std::int32_t small = docs.CreateTextWith(
        docs.NewTextGroup(), "small", platform::RichText::fromPlain("A short text.").toRtf());
    RecordCursor c;
    session.doc.store().GetRecord(TopicId::Texts, text, c, true);
    const auto& block = c.block(TextField::Body);
    const std::string rtf(block.begin(), block.end());
    auto* browser = session.frame->view(shell::ViewBit::TextBrowser)->findChild<QTextEdit*>();
    double b = 1e300, s = 1e300;
    for (auto _ : state)
        for (int round = 0; round < 3; ++round) {
            b = std::min(b, bestOf(1, [&] {
                             QTextDocument d;
                             shell::fillDocument(d, platform::RichText::fromRtf(rtf));
                             layOut(d, browser->viewport()->width());
                         }));
            session.frame->openText(small);
            QApplication::processEvents();
            s = std::min(s, bestOf(1, [&] {
                             session.frame->openText(text);
                             (void)browser->document()->size(); // the window's own width
                             QApplication::processEvents();
                         }));
        }
    state.counters["codings"] =
        static_cast<double>(session.doc.store().RecordCount(TopicId::Codings));
    report(state, b, s);
}

// Coding a passage near the end of the big text from the window, until its stripes are
// refreshed, against the same AddCoding without a window. Each coding is taken away again
// untimed, so every round codes the same passage into the same project.
void CodeInBigText(benchmark::State& state) {
    const std::string headlessPath = workingCopy(bigTextProject(), "code_headless.vxp");
    const std::string windowPath = workingCopy(bigTextProject(), "code_window.vxp");
    Session headless(headlessPath, false);
    analysis::Workspace hws(headless.doc);
    Session window(windowPath, true);
    auto& ws = *window.ws;
    const std::int32_t text = window.doc.store().ListIds(TopicId::Texts).front();
    const std::int32_t code = ws.codes().NewCode(0, "bench", false);
    const std::int32_t headlessCode = hws.codes().NewCode(0, "bench", false);
    window.frame->openText(text);
    QApplication::processEvents();
    auto* browser = window.frame->view(shell::ViewBit::TextBrowser)->findChild<QTextEdit*>();
    const int at = browser->document()->characterCount() - 2000;
    const platform::RichText body =
        browser::recordBody(headless.doc.store(), TopicId::Texts, text, TextField::Body);
    double b = 1e300, s = 1e300;
    for (auto _ : state) {
        for (int round = 0; round < 5; ++round) {
            analysis::CodingTemplate t;
            analysis::CodingOperations::TemplateFor(body, at, at + 300, t);
            t.text = text;
            t.code = headlessCode;
            std::int32_t batch = analysis::CodingOperations::NewBatch;
            b = std::min(b, bestOf(1, [&] { hws.codings().AddCoding(t, batch); }));
            hws.codings().DeleteCoding(hws.codings().lastCoding(), false);

            ws.quickList.use(code);
            QTextCursor c = browser->textCursor();
            c.setPosition(at);
            c.setPosition(at + 300, QTextCursor::KeepAnchor);
            browser->setTextCursor(c);
            s = std::min(s, bestOf(1, [&] {
                             window.frame->codeSelection();
                             QApplication::processEvents(); // the stripes' refresh
                         }));
            ws.codings().DeleteCoding(ws.codings().lastCoding(), false);
            QApplication::processEvents();
        }
    }
    state.counters["codings"] =
        static_cast<double>(window.doc.store().RecordCount(TopicId::Codings));
    report(state, b, s);
}

void FillRetrievedSegments(benchmark::State& state) {
    Session session(standardProject(), true);
    auto& ws = *session.ws;
    std::vector<std::int32_t> all = session.doc.store().ListIds(TopicId::Codings);
    all.resize(std::min<std::size_t>(all.size(), 10000));
    ws.retrieved = all;
    std::vector<QString> plain;
    for (std::int32_t id : all) {
        RecordCursor c;
        session.doc.store().GetRecord(TopicId::Codings, id, c, true);
        const auto& block = c.block(CodingField::Body);
        plain.push_back(QString::fromStdString(
            platform::RichText::fromRtf(std::string(block.begin(), block.end())).plainText()));
    }
    double b = 0, s = 0;
    for (auto _ : state)
        std::tie(b, s) = compare(
            3,
            [&] {
                QTextDocument d;
                QTextCursor cursor(&d);
                for (const QString& p : plain)
                    cursor.insertText(p + "\n\n\n\n\n");
            },
            [&] { session.frame->showRetrieved(); });
    state.counters["segments"] = static_cast<double>(all.size());
    report(state, b, s);
}

} // namespace

BENCHMARK(StartUp)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenBigText)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CodeInBigText)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FillRetrievedSegments)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
