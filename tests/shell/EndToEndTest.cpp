// A researcher's whole path through the desktop program, by keyboard where one would use it.
#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "shell/MainFrame.h"
#include "shell/ObjectTree.h"
#include "shell/StripeColumn.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QApplication>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

using namespace vexana;
using namespace vexana::shell;
namespace TopicId = store::TopicId;

namespace {

// One sitting at the program: a document, its workspace and the main window over it.
struct Sitting {
    Sitting(test::ScriptedUserInterface& ui, const std::string& project,
            const std::string& settings)
        : settings(settings), doc(ui, recent) {
        opened = doc.OpenPath(project, false);
        frame = std::make_unique<CMainFrame>(doc, ws, retrieval, this->settings);
        frame->show();
        QApplication::setActiveWindow(frame.get());
        frame->refreshAll();
    }
    QTextEdit* browser() const {
        return frame->view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
    }
    StripeColumn* strip() const {
        return frame->view(ViewBit::TextBrowser)->findChild<StripeColumn*>();
    }
    QTextEdit* segments() const {
        return frame->view(ViewBit::RetrievedSegments)->findChild<QTextEdit*>();
    }
    QTreeWidgetItem* item(int bit, const QString& label) const {
        auto* tree = frame->view(bit)->findChild<QTreeWidget*>();
        return tree->findItems(label, Qt::MatchRecursive | Qt::MatchStartsWith).value(0);
    }
    void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {}, int times = 1) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(w, key, mods);
    }

    store::AppSettings settings;
    store::RecentProjects recent;
    store::CVexDoc doc;
    analysis::Workspace ws{doc};
    analysis::Retrieval retrieval{ws};
    std::unique_ptr<CMainFrame> frame;
    bool opened = false;
};

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void importCodeRetrieveEditReopen() {
        test::TempDir dir;
        test::ScriptedUserInterface ui;
        const std::string project = dir.file("study.vxp");
        test::writeAll(dir.file("anna.txt"), "Anna talks about work.\nShe works at night.\n");
        test::writeAll(dir.file("ben.txt"), "Ben talks about school.\n");
        std::int32_t coding = 0;
        {
            Sitting s(ui, project, dir.file("vexapp.ini"));
            QVERIFY(s.opened);
            // A group, and two files into it through the import dialog's operation.
            QVERIFY(s.frame->contextCommand(20001, 0));
            const std::int32_t group = s.doc.store().ListIds(TopicId::TextGroups).front();
            ui.fileLists = {dir.file("anna.txt"), dir.file("ben.txt")};
            QVERIFY(s.frame->contextCommand(20009, group));
            QCOMPARE(s.doc.store().RecordCount(TopicId::Texts), 2);
            QCoreApplication::processEvents();
            // Return on Anna opens her text.
            auto* docTree = s.frame->view(ViewBit::DocumentSystem)->findChild<ObjectTree*>();
            docTree->setFocus();
            docTree->setCurrentItem(s.item(ViewBit::DocumentSystem, "anna"));
            s.press(docTree, Qt::Key_Return);
            QVERIFY(s.browser()->toPlainText().startsWith("Anna talks"));
            // "She works" selected by keyboard and coded with a code chosen in the Code System.
            const std::int32_t work = s.ws.codes().NewCode(0, "Work", false);
            QCoreApplication::processEvents();
            auto* codeTree = s.frame->view(ViewBit::CodeSystem)->findChild<QTreeWidget*>();
            codeTree->setFocus();
            codeTree->setCurrentItem(s.item(ViewBit::CodeSystem, "Work"));
            s.press(codeTree, Qt::Key_Return);
            s.browser()->setFocus();
            s.press(s.browser(), Qt::Key_Down);
            s.press(s.browser(), Qt::Key_Home);
            s.press(s.browser(), Qt::Key_Right, Qt::ShiftModifier, 9);
            QCOMPARE(s.browser()->textCursor().selectedText(), QString("She works"));
            QVERIFY(s.frame->runCommand(32905));
            QTRY_COMPARE(s.strip()->strip().stripes().size(), std::size_t(1));
            coding = s.strip()->strip().stripes().front().codingId;
            // Retrieved: every text and the code active.
            QVERIFY(s.frame->contextCommand(20008, 0));
            QVERIFY(s.frame->contextCommand(20050, 0));
            QTRY_COMPARE(s.segments()->toPlainText().trimmed(), QString("She works"));
            // Text above it typed, undone, redone, saved on leaving edit mode.
            QVERIFY(s.frame->runCommand(32906));
            s.browser()->moveCursor(QTextCursor::Start);
            QTest::keyClicks(s.browser(), "Today: ");
            QCOMPARE(s.strip()->strip().stripes().front().startChar, 23 + 7);
            s.press(s.browser(), Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(s.strip()->strip().stripes().front().startChar, 23);
            s.press(s.browser(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(s.strip()->strip().stripes().front().startChar, 30);
            QVERIFY(s.frame->runCommand(32906));
            QVERIFY(!s.frame->editMode());
            QTRY_COMPARE(s.segments()->toPlainText().trimmed(), QString("She works"));
            QVERIFY(work != 0);
            QVERIFY(s.frame->close());
        }
        // The next day: all of it is there.
        Sitting s(ui, project, dir.file("vexapp.ini"));
        QVERIFY(s.opened);
        const store::TopicStore& st = s.doc.store();
        QCOMPARE(st.RecordCount(TopicId::Texts), 2);
        QCOMPARE(st.GetInt(TopicId::Codings, coding, store::CodingField::StartChar), 30);
        QCOMPARE(st.GetInt(TopicId::Codings, coding, store::CodingField::FinishChar), 39);
        s.frame->openText(st.GetInt(TopicId::Codings, coding, store::CodingField::Text));
        QVERIFY(s.browser()->toPlainText().startsWith("Today: Anna talks"));
        QCOMPARE(s.strip()->strip().stripes().size(), std::size_t(1));
        s.ws.documents().ActivateObjects(analysis::ActivationScope::AllTexts, 0, true);
        s.ws.codes().ActivateAllCodes(true);
        QTRY_COMPARE(s.segments()->toPlainText().trimmed(), QString("She works"));
        QVERIFY(ui.messages.empty());
    }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
