#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "shell/CommandScope.h"
#include "shell/MainFrame.h"
#include "shell/ObjectTree.h"
#include "shell/StripeColumn.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace vexana;
using namespace vexana::shell;
namespace TopicId = store::TopicId;

namespace {

const char* const interview = "#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n"
                              "#CODE Sleep\nThen I sleep.\n#ENDCODE\n#ENDTEXT\n";

// A project made by an earlier session from one preprocessed document, then opened again the
// way the program opens it, so its history starts empty.
struct Project {
    explicit Project(const std::string& settingsPath = {})
        : settings(settingsPath.empty() ? dir.file("vexapp.ini") : settingsPath) {
        {
            store::CVexDoc maker(ui, recent);
            analysis::Workspace makerWs(maker);
            test::writeAll(dir.file("doc.txt"), interview);
            made = maker.OpenPath(path(), false) &&
                   exchange::TextImport(makerWs).PreprocessFiles(makerWs.documents().NewTextGroup(),
                                                                 {dir.file("doc.txt")}) > 0;
        }
        ui.messages.clear();
    }
    std::string path() const { return dir.file("p.vxp"); }
    bool open() { return made && doc.OpenPath(path(), false); }
    std::int32_t code(const std::string& name) { return ws.codes().FindCodeByPath(0, name, false); }
    int count(int topic) { return doc.store().RecordCount(topic); }
    std::string body() {
        store::RecordCursor c;
        if (!doc.store().GetRecord(TopicId::Texts, 1, c, true)) return {};
        const auto& b = c.block(store::TextField::Body);
        return platform::RichText::fromRtf(std::string(b.begin(), b.end())).plainText();
    }

    test::TempDir dir;
    test::ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::AppSettings settings;
    store::CVexDoc doc{ui, recent};
    analysis::Workspace ws{doc};
    analysis::Retrieval retrieval{ws};
    bool made = false;
};

QMenu* editMenu(CMainFrame& frame) {
    for (QAction* a : frame.menuBar()->actions())
        if (a->text() == "&Edit") return a->menu();
    return nullptr;
}

// Root may write anywhere: the project is opened as "nobody", who may not, and root comes
// back afterwards, also when the opening fails.
bool openAsNobody(Project& p) {
    if (::chmod(p.dir.path().c_str(), 0755) != 0 || ::chmod(p.path().c_str(), 0444) != 0)
        return false;
    if (::geteuid() != 0) return p.open();
    if (::setresgid(65534, 65534, 0) != 0) return false;
    if (::setresuid(65534, 65534, 0) != 0) {
        [[maybe_unused]] const int back = ::setresgid(0, 0, 0);
        return false;
    }
    const bool opened = p.open();
    const bool root = ::setresuid(0, 0, 0) == 0 && ::setresgid(0, 0, 0) == 0;
    return opened && root;
}

} // namespace

class UndoRedoTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        // A window shortcut that is also the editor's must never be ambiguous.
        QTest::failOnWarning(QRegularExpression("Ambiguous shortcut"));
    }

    void stepsAreNamedAsTheMenusNameThem() {
        QCOMPARE(CommandStack::nameOf("E&dit Weight Filter ..."),
                 std::string("Edit Weight Filter"));
        QCOMPARE(CommandStack::nameOf("Code-Memo..."), std::string("Code-Memo"));
        QCOMPARE(CommandStack::nameOf("Tom && &Jerry"), std::string("Tom & Jerry"));

        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QAction* undo = frame.command(CommandId::Undo);
        QAction* redo = frame.command(CommandId::Redo);
        // Undo and Redo head the Edit menu, before the clipboard.
        QMenu* edit = editMenu(frame);
        QVERIFY(edit);
        QCOMPARE(edit->actions().value(0), undo);
        QCOMPARE(edit->actions().value(1), redo);
        QVERIFY(edit->actions().value(2)->isSeparator());
        QCOMPARE(edit->actions().value(3)->text(), QString("Cu&t"));
        QVERIFY(undo->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Z)));
        QVERIFY(redo->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(undo->text(), QString("&Undo"));
        // No recent projects yet: no numbered items without a path in the Project menu.
        frame.updateCommands();
        QVERIFY(!frame.command(33028)->isVisible());

        // Code from the Coding menu: one step named "Code", undone from the Edit menu.
        frame.openText(1);
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        auto* strip = frame.view(ViewBit::TextBrowser)->findChild<StripeColumn*>();
        const std::int32_t sleep = p.code("Sleep");
        p.ws.quickList.use(sleep);
        QTextCursor c = browser->textCursor();
        c.setPosition(2);
        c.setPosition(6, QTextCursor::KeepAnchor);
        browser->setTextCursor(c);
        const int codings = p.count(TopicId::Codings);
        QVERIFY(frame.runCommand(32905));
        QCOMPARE(p.count(TopicId::Codings), codings + 1);
        QCOMPARE(p.doc.store().GetInt(TopicId::Codes, sleep, store::CodeField::Codes), 2);
        frame.updateCommands();
        QCOMPARE(undo->text(), QString("&Undo Code"));
        QVERIFY(undo->isEnabled());
        QVERIFY(!redo->isEnabled());
        undo->trigger();
        QCOMPARE(p.count(TopicId::Codings), codings);
        QCOMPARE(p.doc.store().GetInt(TopicId::Codes, sleep, store::CodeField::Codes), 1);
        QCOMPARE(strip->strip().stripes().size(), std::size_t(2));
        QCOMPARE(redo->text(), QString("&Redo Code"));
        QVERIFY(frame.runCommand(CommandId::Redo));
        QCOMPARE(p.count(TopicId::Codings), codings + 1);
        QCOMPARE(strip->strip().stripes().size(), std::size_t(3));

        // A code deleted from its context menu, with its codings: Ctrl+Z brings them back,
        // Ctrl+Shift+Z deletes them again, whatever has the focus but an editor.
        const std::int32_t work = p.code("Work");
        p.ui.answers = {true};
        QVERIFY(frame.contextCommand(20063, work));
        QCOMPARE(p.count(TopicId::Codings), codings);
        QTRY_COMPARE(undo->text(), QString("&Undo Delete Code"));
        browser->setFocus();
        QTest::keyClick(&frame, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(p.code("Work"), work);
        QCOMPARE(p.count(TopicId::Codings), codings + 1);
        QCOMPARE(p.doc.store().GetInt(TopicId::Codes, work, store::CodeField::Codes), 1);
        QCOMPARE(p.doc.store().GetInt(TopicId::Texts, 1, store::TextField::Codes), 3);
        auto* codeTree = frame.view(ViewBit::CodeSystem)->findChild<QTreeWidget*>();
        QTRY_VERIFY(!codeTree->findItems("Work (1)", Qt::MatchRecursive).isEmpty());
        QCOMPARE(redo->text(), QString("&Redo Delete Code"));
        codeTree->setFocus();
        QTest::keyClick(codeTree, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(p.code("Work"), 0);
        QTest::keyClick(codeTree, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(p.code("Work"), work);

        // A new code and its name typed in place are two steps; each goes back by itself.
        QVERIFY(frame.contextCommand(20055, 0));
        QTRY_COMPARE(undo->text(), QString("&Undo New Code"));
        QTRY_VERIFY(codeTree->viewport()->findChild<QLineEdit*>());
        auto* line = codeTree->viewport()->findChild<QLineEdit*>();
        line->setText("Family");
        QTest::keyClick(line, Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(p.code("Family") != 0);
        QTRY_COMPARE(undo->text(), QString("&Undo Rename Code"));
        const int codes = p.count(TopicId::Codes);
        QVERIFY(frame.runCommand(CommandId::Undo));
        QCOMPARE(p.code("Family"), 0);
        QCOMPARE(p.count(TopicId::Codes), codes);
        QCOMPARE(undo->text(), QString("&Undo New Code"));
        QVERIFY(frame.runCommand(CommandId::Undo));
        QCOMPARE(p.count(TopicId::Codes), codes - 1);

        // A drop and the weight typed after a double click on a stripe are steps too.
        auto* docTree = static_cast<ObjectTree*>(
            frame.view(ViewBit::DocumentSystem)->findChild<QTreeWidget*>());
        QVERIFY(frame.dropObject(TopicId::Texts, 1, TopicId::TextGroups, 1, true));
        QCOMPARE(p.count(TopicId::Texts), 2);
        QTRY_COMPARE(undo->text(), QString("&Undo Copy Text"));
        QVERIFY(frame.runCommand(CommandId::Undo));
        QCOMPARE(p.count(TopicId::Texts), 1);
        QTRY_COMPARE(docTree->topLevelItem(0)->child(0)->childCount(), 1);
        const std::int32_t workCoding =
            p.doc.store().FindIds(TopicId::Codings, TopicId::Codes, work).front();
        p.ui.numbers = {40};
        frame.stripeClicked(workCoding, Qt::LeftButton, true, {});
        QCOMPARE(p.doc.store().GetInt(TopicId::Codings, workCoding, store::CodingField::Weight),
                 40);
        QTRY_COMPARE(undo->text(), QString("&Undo Modify Weight"));
        QVERIFY(frame.runCommand(CommandId::Undo));
        QCOMPARE(p.doc.store().GetInt(TopicId::Codings, workCoding, store::CodingField::Weight),
                 100);

        // No command was left open: a change outside any command is a step of its own.
        QVERIFY(p.ws.codes().NewCode(0, "Loose", false) != 0);
        QVERIFY(p.doc.Undo());
        QCOMPARE(p.code("Loose"), 0);
        QVERIFY(p.code("Sleep") != 0);
        QVERIFY(p.ui.messages.empty());
    }

    void editModeUndoesTheEditorAndSavesOneStep() {
        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QAction* undo = frame.command(CommandId::Undo);
        QAction* redo = frame.command(CommandId::Redo);
        frame.openText(1);
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        auto* strip = frame.view(ViewBit::TextBrowser)->findChild<StripeColumn*>();
        auto* codeTree = frame.view(ViewBit::CodeSystem)->findChild<QTreeWidget*>();
        // One project step to keep apart from the editor's.
        QVERIFY(frame.contextCommand(20072, p.code("Sleep"))); // red, in "Color Attribute"
        QTRY_COMPARE(undo->text(), QString("&Undo Color Attribute"));
        // The refill after the change kept the cursor where it was, at the start.
        QCOMPARE(browser->textCursor().position(), 0);
        const std::string before = p.body();
        const int sleepStart = strip->strip().stripes().back().startChar;

        QVERIFY(frame.runCommand(32906));
        QVERIFY(frame.editMode());
        // Loading the text is nothing the editor can undo.
        QVERIFY(!undo->isEnabled());
        QCOMPARE(undo->text(), QString("&Undo"));
        browser->setFocus();
        QTest::keyClicks(browser, "Oh. ");
        QCOMPARE(browser->toPlainText().left(4), QString("Oh. "));
        QCOMPARE(undo->text(), QString("&Undo Typing"));
        QVERIFY(undo->isEnabled());
        QCOMPARE(strip->strip().stripes().back().startChar, sleepStart + 4);
        // Ctrl+Z in the editor: its own undo, the stripes follow, the project is untouched.
        QTest::keyClick(browser, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!browser->toPlainText().startsWith("Oh."));
        QCOMPARE(strip->strip().stripes().back().startChar, sleepStart);
        QCOMPARE(redo->text(), QString("&Redo Typing"));
        QCOMPARE(p.doc.undoText(), std::string("Undo Color Attribute"));
        QCOMPARE(p.body(), before);
        QTest::keyClick(browser, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(browser->toPlainText().startsWith("Oh. "));
        // With the focus elsewhere, the menu's Undo still means the editor's.
        codeTree->setFocus();
        QTest::keyClick(codeTree, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!browser->toPlainText().startsWith("Oh."));
        QCOMPARE(p.doc.undoText(), std::string("Undo Color Attribute"));
        QVERIFY(frame.runCommand(CommandId::Redo));
        QVERIFY(browser->toPlainText().startsWith("Oh. "));

        // Leaving edit mode saves the edit as one step; undoing it gives back text and stripes.
        QVERIFY(frame.runCommand(32906));
        QVERIFY(!frame.editMode());
        QCOMPARE(p.body().substr(0, 4), std::string("Oh. "));
        QCOMPARE(undo->text(), QString("&Undo Edit Text"));
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(p.body(), before);
        QTRY_COMPARE(strip->strip().stripes().back().startChar, sleepStart);
        QCOMPARE(undo->text(), QString("&Undo Color Attribute"));
        QVERIFY(frame.runCommand(CommandId::Redo));
        QCOMPARE(p.body().substr(0, 4), std::string("Oh. "));

        // Another command that saves the edit on its way (Open Text) leaves it its own step.
        QVERIFY(frame.runCommand(32906));
        browser->setFocus();
        browser->moveCursor(QTextCursor::Start);
        QTest::keyClicks(browser, "Ah. ");
        QVERIFY(frame.contextCommand(20024, 1));
        QVERIFY(!frame.editMode());
        QCOMPARE(p.body().substr(0, 8), std::string("Ah. Oh. "));
        QCOMPARE(undo->text(), QString("&Undo Edit Text"));
        QVERIFY(frame.runCommand(CommandId::Undo));
        QCOMPARE(p.body().substr(0, 4), std::string("Oh. "));
        QVERIFY(p.ui.messages.empty());
    }

    void editorUndoPutsStripesBackWithTheText() {
        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.openText(1);
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        auto* strip = frame.view(ViewBit::TextBrowser)->findChild<StripeColumn*>();
        auto extent = [&](std::size_t i) {
            const auto& st = strip->strip().stripes().at(i);
            return std::pair(st.startChar, st.finishChar);
        };
        const auto work = extent(0), sleep = extent(1);
        QVERIFY(frame.runCommand(32906));
        browser->setFocus();
        // The head of the coded passage goes; undo brings it back inside the coding, not
        // before it.
        const QString all = browser->toPlainText();
        QTextCursor c = browser->textCursor();
        c.setPosition(all.indexOf("I work"));
        c.setPosition(all.indexOf("night"), QTextCursor::KeepAnchor);
        browser->setTextCursor(c);
        QTest::keyClick(browser, Qt::Key_Delete);
        QCOMPARE(extent(0).second - extent(0).first, work.second - work.first - 10);
        QTest::keyClick(browser, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(browser->toPlainText(), all);
        QCOMPARE(extent(0), work);
        QCOMPARE(extent(1), sleep);
        // Redo takes it out again, and a fresh edit after an undo is followed as usual.
        QTest::keyClick(browser, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(extent(1).first, sleep.first - 10);
        QTest::keyClick(browser, Qt::Key_Z, Qt::ControlModifier);
        browser->moveCursor(QTextCursor::End);
        QTest::keyClicks(browser, " Fine.");
        QCOMPARE(extent(0), work);
        QCOMPARE(extent(1), sleep);
        QTest::keyClick(browser, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(frame.runCommand(32906));
        QCOMPARE(browser->toPlainText(), all);
        // What was saved is what was there before.
        const auto& codings = p.doc.store();
        QCOMPARE(codings.GetInt(TopicId::Codings, strip->strip().stripes()[0].codingId,
                                store::CodingField::StartChar),
                 work.first);
        QCOMPARE(codings.GetInt(TopicId::Codings, strip->strip().stripes()[0].codingId,
                                store::CodingField::FinishChar),
                 work.second);
        QVERIFY(p.ui.messages.empty());
    }

    void readOnlyProjectsSayAndSettingsFailuresAreShown() {
        test::TempDir elsewhere;
        Project p(elsewhere.path()); // a folder where the settings file should be
        QVERIFY(p.made);
        QVERIFY(openAsNobody(p));
        QVERIFY(p.doc.database()->isReadOnly());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.refreshAll();
        QCOMPARE(frame.windowTitle(),
                 QString::fromStdString("VEXANA - " + p.doc.title()) + " (read-only)");
        frame.openText(1);
        frame.updateCommands();
        QVERIFY(!frame.runCommand(32906));
        QVERIFY(!frame.editMode());
        // A change is refused by the project with its reason and leaves nothing to undo.
        QVERIFY(!frame.contextCommand(20055, 0));
        QVERIFY(!p.ui.messages.empty());
        QVERIFY(p.ui.messages.back().text.find("read-only") != std::string::npos);
        QVERIFY(!frame.command(CommandId::Undo)->isEnabled());
        p.ui.messages.clear();
        frame.saveSettings();
        QCOMPARE(p.ui.messages.size(), std::size_t(1));
        QVERIFY(p.ui.messages[0].text.find(elsewhere.path()) != std::string::npos);
        QCOMPARE(p.ui.messages[0].icon, store::MessageIcon::Warning);
        QCOMPARE(CMainFrame::windowTitleOf("", false), QString("VEXANA"));
        QCOMPARE(CMainFrame::windowTitleOf("/p.vxp", false), QString("VEXANA - /p.vxp"));
    }
};

QTEST_MAIN(UndoRedoTest)
#include "UndoRedoTest.moc"
