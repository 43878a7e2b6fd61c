#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/DemoProject.h"
#include "platform/Files.h"
#include "shell/MainFrame.h"
#include "shell/OrderlyShutdown.h"
#include "shell/QtUserInterface.h"
#include "shell/TerminationSignals.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <iostream>

using namespace vexana;

namespace {

void usage(std::ostream& out) {
    out << "Usage: vexana [--settings FILE] [PROJECT]\n"
           "       vexana --screenshot OUT.png [--size WxH] [PROJECT]\n"
           "       vexana --print-pdf OUT.pdf (--text TEXT | --segments | --project-info)\n"
           "              [PROJECT]\n"
           "Opens PROJECT, or asks which project to open (a first start offers the demo project).\n"
           "--screenshot opens the project (the demo project when none is given; it is made\n"
           "when missing), shows the last text and the retrieved segments, saves the window\n"
           "(1100x760 unless --size says otherwise) as a PNG image and exits; a message that\n"
           "would need an answer is printed instead and the exit status is not 0.\n"
           "--print-pdf prints into OUT.pdf as the Print menu would: the text named\n"
           "\"Group\\Text\" with its codings, the segments the project's activated texts and\n"
           "codes retrieve, or the project information sheet (the demo project when none is\n"
           "given). The project is not changed. OUT.pdf is written whole or not at all; the\n"
           "exit status is 0 only when it was.\n";
}

} // namespace

int main(int argc, char** argv) {
    std::string project, screenshot, settingsPath = store::AppSettings::defaultPath();
    std::string pdf, printText;
    int printCommand = 0;
    int width = 1100, height = 760;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage(std::cout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--screenshot") && i + 1 < argc)
            screenshot = argv[++i];
        else if (!std::strcmp(argv[i], "--size") && i + 1 < argc &&
                 std::sscanf(argv[i + 1], "%dx%d", &width, &height) == 2 && width >= 320 &&
                 height >= 240)
            ++i;
        else if (!std::strcmp(argv[i], "--print-pdf") && i + 1 < argc)
            pdf = argv[++i];
        else if (!std::strcmp(argv[i], "--text") && i + 1 < argc && !printCommand) {
            printText = argv[++i];
            printCommand = 32984;
        } else if (!std::strcmp(argv[i], "--segments") && !printCommand)
            printCommand = 32985;
        else if (!std::strcmp(argv[i], "--project-info") && !printCommand)
            printCommand = 32986;
        else if (!std::strcmp(argv[i], "--settings") && i + 1 < argc)
            settingsPath = argv[++i];
        else if (argv[i][0] == '-') {
            usage(std::cerr);
            return 2;
        } else
            project = argv[i];
    }
    if (pdf.empty() != (printCommand == 0) || (!pdf.empty() && !screenshot.empty())) {
        usage(std::cerr);
        return 2;
    }
    if (!pdf.empty()) screenshot = pdf; // no window waits for an answer either
    QApplication app(argc, argv);
    store::AppSettings settings(settingsPath);
    settings.load();
    store::RecentProjects recent;
    recent.assign(settings.recentProjects());
    shell::QtUserInterface ui(screenshot.empty());
    store::CVexDoc doc(ui, recent);
    analysis::Workspace ws(doc);
    analysis::Retrieval retrieval(ws);
    retrieval.ReadProgramOptions(settings.programOptions());
    shell::CMainFrame frame(doc, ws, retrieval, settings);
    ui.setParent(&frame);

    doc.setDemoProject([&ui] { return exchange::EnsureDemoProject(ui); });
    if (!screenshot.empty()) {
        // Without a project the demo is shown, made first on a fresh account.
        if (project.empty()) project = exchange::EnsureDemoProject(ui);
        if (project.empty()) return 1;
        if (!platform::fileExists(project)) {
            std::cerr << "The project " << project << " does not exist.\n";
            return 1;
        }
        doc.setStartupPath(project);
        if (!doc.ChooseProjectAtStartup()) return 1;
        // Something to see: every text and code active, the last text (or the first) open.
        // A print changes nothing: its segments are those the stored activation retrieves.
        if (!printCommand) {
            ws.documents().ActivateObjects(analysis::ActivationScope::AllTexts, 0, true);
            ws.codes().ActivateAllCodes(true);
        }
        std::int32_t shown = 0;
        for (std::int32_t t : doc.store().ListIds(store::TopicId::Texts))
            if (!shown || (doc.store().GetInt(store::TopicId::Texts, t, store::TextField::State) &
                           store::StateOpenInBrowser))
                shown = t;
        if (printCommand == 32984) {
            shown = ws.documents().FindText(printText);
            if (!shown) {
                std::cerr << "There is no text " << printText << ".\n";
                return 1;
            }
        }
        frame.openText(shown);
        frame.resize(width, height);
        frame.refreshAll();
        frame.show();
        QApplication::processEvents();
        if (printCommand) {
            const std::string error = frame.printToPdf(printCommand, pdf);
            if (!error.empty()) std::cerr << error << "\n";
            return error.empty() && ui.unanswered() == 0 ? 0 : 1;
        }
        const bool saved = frame.grab().save(QString::fromStdString(screenshot), "PNG");
        if (!saved) std::cerr << "The image cannot be written to " << screenshot << ".\n";
        return saved && ui.unanswered() == 0 ? 0 : 1;
    }

    // Logout, shutdown and kill end the program as its close box does: the edited text is saved.
    shell::OrderlyShutdown shutdown(frame, [&ui] { return ui.busy(); });
    shell::TerminationSignals termination([&shutdown](int) { shutdown.requestClose(); });
    if (!project.empty()) doc.setStartupPath(project);
    frame.showAtStoredPlace();
    QTimer::singleShot(100, &frame, [&] {
        if (!doc.ChooseProjectAtStartup()) frame.close();
    });
    return app.exec();
}
