#include "ArchiveWriter.h"
#include "TestSupport.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "shell/MainFrame.h"
#include "shell/ViewLayout.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QTreeWidget>
#include <QtTest>

using namespace vexana;
using namespace vexana::shell;

class ArchiveCommandTest : public QObject {
    Q_OBJECT
private slots:
    // Import PREVEX 98 Archive from the Project menu: the archive and the new project's place
    // are asked, and the main window then shows the new project in every tree.
    void theNewProjectReplacesTheOpenOne() {
        test::TempDir dir;
        store::AppSettings settings{dir.file("vexapp.ini")};
        test::ScriptedUserInterface ui;
        store::RecentProjects recent;
        store::CVexDoc doc{ui, recent};
        analysis::Workspace ws{doc};
        analysis::Retrieval retrieval{ws};
        QVERIFY(doc.OpenPath(dir.file("current.vxp"), false));
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.show();
        frame.refreshAll();

        test::ArchiveWriter w;
        w.member(0, 1,
                 test::objectFile("Old study", {{"Interviews", 0, {{"Anna", 1}}}},
                                  {{"Work", 0, {{1, 0, 1, 4, 100, 1}}, {}}}));
        w.member(1, 1, "Hello world");
        w.member(2, 1, test::lineTable({11}));
        test::writeAll(dir.file("old.vxa"), w.bytes());

        // Cancelled at the archive: the open project stays.
        QVERIFY(frame.runCommand(32923));
        QCOMPARE(ui.dialogs, std::vector<store::FileDialog>{store::FileDialog::ImportArchive});
        QCOMPARE(recent.entries().front(), dir.file("current.vxp"));
        ui.files = {dir.file("old.vxa"), dir.file("old.vxp")};
        QVERIFY(frame.runCommand(32923));
        QCOMPARE(ui.dialogs.back(), store::FileDialog::NewProject);
        QVERIFY(ui.messages.empty());
        QCOMPARE(doc.store().RecordCount(store::TopicId::Codings), 1);
        QCOMPARE(recent.entries().front(), dir.file("old.vxp"));
        const auto shows = [&](int view, const QString& name) {
            auto* tree = frame.view(view)->findChild<QTreeWidget*>();
            return tree && !tree->findItems(name, Qt::MatchContains | Qt::MatchRecursive).isEmpty();
        };
        QVERIFY(shows(ViewBit::DocumentSystem, "Anna"));
        QVERIFY(shows(ViewBit::CodeSystem, "Work"));
    }
};

QTEST_MAIN(ArchiveCommandTest)
#include "ArchiveCommandTest.moc"
