#include "TestSupport.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "platform/Files.h"
#include "shell/MainFrame.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QtTest>

using namespace vexana;
using namespace vexana::shell;

// The Project menu's REFI-QDA commands: what the dialogs answer goes where it should, the
// import's report reaches the user through the port, and the new project is opened.
class RefiCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void exportAndImportThroughTheMenu() {
        test::TempDir dir;
        store::AppSettings settings{dir.file("vexapp.ini")};
        test::ScriptedUserInterface ui;
        store::RecentProjects recent;
        store::CVexDoc doc{ui, recent};
        analysis::Workspace ws{doc};
        analysis::Retrieval retrieval{ws};
        QVERIFY(doc.OpenPath(dir.file("p.vxp"), false));
        test::writeAll(dir.file("doc.txt"), "#TEXT Anna\n#CODE Work\\Night\nI work at night.\n"
                                            "#ENDCODE\n");
        QVERIFY(exchange::TextImport(ws).PreprocessFiles(ws.documents().NewTextGroup(),
                                                         {dir.file("doc.txt")}) > 0);
        CMainFrame frame(doc, ws, retrieval, settings);

        ui.files = {dir.file("out.qdpx")};
        QVERIFY(frame.runCommand(33901));
        QCOMPARE(ui.dialogs.back(), store::FileDialog::ExportRefiProject);
        QVERIFY(platform::fileExists(dir.file("out.qdpx")));
        ui.files = {dir.file("book.qdc")};
        QVERIFY(frame.runCommand(33902));
        QVERIFY(platform::fileExists(dir.file("book.qdc")));

        // The codebook back into the same project: every code is found, a step of its own.
        ui.files = {dir.file("book.qdc")};
        QVERIFY(frame.runCommand(33904));
        QCOMPARE(ui.messages.back().icon, store::MessageIcon::Information);
        QVERIFY(ui.messages.back().text.find("codes\t0") != std::string::npos);
        QCOMPARE(doc.store().RecordCount(store::TopicId::Codes), 2);

        // The project into a new one, which is then the open project.
        ui.files = {dir.file("out.qdpx"), dir.file("back.vxp")};
        QVERIFY(frame.runCommand(33903));
        QVERIFY(ui.messages.back().text.find("sources\t1\ncodes\t2\nselections\t1") !=
                std::string::npos);
        QVERIFY(doc.isOpen());
        QCOMPARE(doc.database()->path(), dir.file("back.vxp"));
        QCOMPARE(doc.store().RecordCount(store::TopicId::Codings), 1);
        // A refusal is said once and opens nothing.
        ui.files = {dir.file("doc.txt"), dir.file("x.vxp")};
        QVERIFY(frame.runCommand(33903));
        QCOMPARE(ui.messages.back().icon, store::MessageIcon::Stop);
        QVERIFY(!platform::fileExists(dir.file("x.vxp")));
        QCOMPARE(doc.database()->path(), dir.file("back.vxp"));
    }
};

QTEST_MAIN(RefiCommandsTest)
#include "RefiCommandsTest.moc"
