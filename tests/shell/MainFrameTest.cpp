#include "shell/MainFrame.h"

#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "shell/QtUserInterface.h"
#include "shell/ViewLayout.h"
#include "store/CVexDoc.h"

#include <QSplitter>
#include <QTextEdit>
#include <QtTest>

using namespace vexana;
using namespace vexana::shell;

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void layoutRules() {
        QCOMPARE(validViewState(0), 30);
        QCOMPARE(validViewState(31), 30);
        QCOMPARE(validViewState(6), 6);
        const PaneArrangement all = arrange(30);
        QCOMPARE(all.left, (std::vector<int>{ViewBit::DocumentSystem, ViewBit::CodeSystem}));
        QCOMPARE(all.right, (std::vector<int>{ViewBit::TextBrowser, ViewBit::RetrievedSegments}));
        QCOMPARE(arrange(ViewBit::TextBrowser).columns(), 1);
        // The last visible window cannot be switched off.
        QCOMPARE(toggleView(ViewBit::TextBrowser, ViewBit::TextBrowser), ViewBit::TextBrowser);
        QCOMPARE(toggleView(30, ViewBit::CodeSystem), 14);
        QCOMPARE(toggleView(14, ViewBit::CodeSystem), 30);
    }

    void panesFollowTheMaskAndTheSettingsFile() {
        test::TempDir dir;
        store::AppSettings settings(dir.file("vexapp.ini"));
        settings.profile().parse("[MainWindow]\nViewState=999\nSplitter 1=-40000\n");
        QtUserInterface ui(false);
        store::RecentProjects recent;
        store::CVexDoc doc(ui, recent);
        QVERIFY(doc.OpenPath(dir.file("p.vxp"), false));
        analysis::Workspace ws(doc);
        analysis::Retrieval retrieval(ws);
        test::writeAll(dir.file("doc.txt"), "#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n");
        QCOMPARE(exchange::TextImport(ws).PreprocessFiles(ws.documents().NewTextGroup(),
                                                          {dir.file("doc.txt")}),
                 1);
        CMainFrame frame(doc, ws, retrieval, settings);
        QCOMPARE(frame.viewState(), 30); // nonsense in the file gives the default
        frame.show();
        frame.toggleView(ViewBit::CodeSystem);
        QCOMPARE(frame.viewState(), 14);
        QVERIFY(!frame.view(ViewBit::CodeSystem)->isVisible());
        QVERIFY(frame.view(ViewBit::DocumentSystem)->isVisible());
        frame.toggleView(ViewBit::CodeSystem);
        frame.openText(1);
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        QVERIFY(browser);
        QCOMPARE(browser->toPlainText(), QString("I work at night.\n"));
        // The retrieved segments one after the other, each followed by five paragraph ends.
        ws.documents().ActivateObjects(analysis::ActivationScope::AllTexts, 0, true);
        ws.codes().ActivateAllCodes(true);
        frame.refreshAll();
        auto* segments = frame.view(ViewBit::RetrievedSegments)->findChild<QTextEdit*>();
        QVERIFY(segments);
        QCOMPARE(segments->toPlainText(), QString("I work at night.\n\n\n\n\n"));
        frame.saveSettings();
        store::AppSettings reread(dir.file("vexapp.ini"));
        reread.load();
        QCOMPARE(reread.viewState(), 30);
        QVERIFY(reread.splitter(1) > 0);
        QVERIFY(!frame.grab().isNull());
    }
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
