#include "shell/MainFrame.h"

#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/MemoOperations.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "platform/Files.h"
#include "shell/ActivationDialog.h"
#include "shell/MemoBar.h"
#include "shell/MemoDialog.h"
#include "shell/ObjList.h"
#include "shell/ObjectTree.h"
#include "shell/ParagraphColumn.h"
#include "shell/QtUserInterface.h"
#include "shell/SegmentColumn.h"
#include "shell/StripeColumn.h"
#include "shell/TextDocument.h"
#include "shell/TextSearchCommands.h"
#include "shell/ViewLayout.h"
#include "shell/WeightFilterDialog.h"
#include "store/CVexDoc.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace vexana;
using namespace vexana::shell;

namespace {

// A project made from one preprocessed document, with the objects a main window works on.
struct Project {
    explicit Project(const std::string& document, const std::string& settingsText = {}) {
        settings.profile().parse(settingsText);
        ok = doc.OpenPath(dir.file("p.vxp"), false);
        test::writeAll(dir.file("doc.txt"), document);
        ok = ok && exchange::TextImport(ws).PreprocessFiles(ws.documents().NewTextGroup(),
                                                            {dir.file("doc.txt")}) > 0;
    }
    std::int32_t code(const std::string& path) { return ws.codes().FindCodeByPath(0, path, false); }
    std::int32_t codingOf(std::int32_t code) {
        const auto ids = doc.store().FindIds(store::TopicId::Codings, store::TopicId::Codes, code);
        return ids.empty() ? 0 : ids.front();
    }
    int field(std::int32_t coding, int f) {
        return doc.store().GetInt(store::TopicId::Codings, coding, f);
    }

    test::TempDir dir;
    store::AppSettings settings{dir.file("vexapp.ini")};
    test::ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc{ui, recent};
    analysis::Workspace ws{doc};
    analysis::Retrieval retrieval{ws};
    bool ok = false;
};

} // namespace

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

    void theUsualKeysReachTheirCommands() {
        Project p("#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n", "");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
        CMainFrame frame(doc, ws, retrieval, settings);
        QCOMPARE(frame.command(32891)->shortcut(), QKeySequence(QKeySequence::New));
        QCOMPARE(frame.command(32783)->shortcut(), QKeySequence(QKeySequence::Open));
        QCOMPARE(frame.command(57665)->shortcut(), QKeySequence(QKeySequence::Quit));
        QCOMPARE(frame.command(33050)->shortcut(), QKeySequence(QKeySequence::HelpContents));
        QCOMPARE(frame.command(32906)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        // Ctrl+E switches edit mode on the open text.
        frame.show();
        frame.openText(1);
        frame.updateCommands();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(frame.editMode());
        QVERIFY(frame.setEditMode(false));
    }

    void panesFollowTheMaskAndTheSettingsFile() {
        Project p("#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n",
                  "[MainWindow]\nViewState=999\nSplitter 1=-40000\n");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
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
        // A coding made in the Text Browser: a stripe, the Code System's count, the list.
        const std::int32_t work = ws.codes().FindCodeByPath(0, "Work", false);
        const std::int32_t kids = ws.codes().NewCode(0, "Kids", false);
        ws.quickList.use(kids);
        QTextCursor cursor = browser->textCursor();
        cursor.setPosition(2);
        cursor.setPosition(6, QTextCursor::KeepAnchor);
        browser->setTextCursor(cursor);
        QVERIFY(frame.codeSelection());
        QCoreApplication::processEvents();
        auto* strip = frame.view(ViewBit::TextBrowser)->findChild<StripeColumn*>();
        QVERIFY(strip);
        QCOMPARE(strip->strip().stripes().size(), std::size_t(2));
        QCOMPARE(doc.store().GetInt(store::TopicId::Codes, kids, store::CodeField::Codes), 1);
        auto* codeTree = frame.view(ViewBit::CodeSystem)->findChild<QTreeWidget*>();
        QVERIFY(!codeTree->findItems("Kids (1)", Qt::MatchRecursive).isEmpty());
        QCOMPARE(segments->toPlainText().count("work"), 1);
        ws.codes().ActivateCode(kids, true); // now it is retrieved too
        QCoreApplication::processEvents();
        QCOMPARE(segments->toPlainText().count("work"), 2);
        // The context command of a code reaches its operation.
        QVERIFY(frame.contextCommand(20067, work));
        QVERIFY(!ws.IsActive(store::TopicId::Codes, work));
        // Undo takes the batch back, stripe and all.
        QVERIFY(frame.undoBatch(0));
        QCoreApplication::processEvents();
        QCOMPARE(strip->strip().stripes().size(), std::size_t(1));
        frame.saveSettings();
        store::AppSettings reread(dir.file("vexapp.ini"));
        reread.load();
        QCOMPARE(reread.viewState(), 30);
        QVERIFY(reread.splitter(1) > 0);
        QVERIFY(!frame.grab().isNull());
    }

    void segmentsOpenTheirTextAndCommandsFollowTheirRules() {
        Project p("#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n#ENDTEXT\n"
                  "#TEXT Ben\nFirst.\n#CODE Work\nI work by day.\n#ENDCODE\n#ENDTEXT\n",
                  "[SegmentsCtrl]\nSettings=0, 70\n");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.show();
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        // Nothing open: no copy, no export of a text; the segments can always be written.
        QVERIFY(!frame.runCommand(57634));
        QVERIFY(!frame.command(33021)->isEnabled());
        ws.documents().ActivateObjects(analysis::ActivationScope::AllTexts, 0, true);
        ws.codes().ActivateAllCodes(true);
        frame.refreshAll();
        QCoreApplication::processEvents();
        auto* column = frame.view(ViewBit::RetrievedSegments)->findChild<SegmentColumn*>();
        QVERIFY(column);
        QCOMPARE(column->width(), 70);
        QCOMPARE(column->blocks().size(), std::size_t(2));
        // Above the list: the analysis and how many segments it gave.
        auto* heading = frame.view(ViewBit::RetrievedSegments)->findChild<QLabel*>();
        QVERIFY(heading);
        QCOMPARE(heading->text(), QString("OR-Combination: 2 segments"));
        const auto& blocks = column->blocks();
        const std::size_t ben = blocks[0].source == "Ben" ? 0 : 1;
        const std::size_t anna = 1 - ben;
        QCOMPARE(blocks[anna].source, QString("Anna"));
        QCOMPARE(blocks[ben].paragraphs, QString("2-2"));
        // The mark's tooltip names the whole source, the paragraphs and the code.
        const std::int32_t annaText = doc.store().GetInt(
            store::TopicId::Codings, blocks[anna].coding, store::CodingField::Text);
        QVERIFY2(blocks[anna].note.startsWith(QString::fromStdString(
                     doc.store().GetName(store::TopicId::Texts, annaText, true))),
                 qPrintable(blocks[anna].note));
        QVERIFY(blocks[anna].note.contains("Paragraphs "));
        // The column stands right of the text, as the settings say.
        auto* segments = frame.view(ViewBit::RetrievedSegments)->findChild<QTextEdit*>();
        QVERIFY(column->x() > segments->x());
        // A click on Ben's mark opens Ben at the segment.
        QTextCursor second(segments->document());
        second.setPosition(blocks[ben].start);
        second.setPosition(blocks[ben].end, QTextCursor::KeepAnchor);
        QCOMPARE(second.selectedText(), QString("I work by day."));
        second.setPosition(blocks[ben].start);
        const int y = segments->cursorRect(second).center().y() +
                      segments->viewport()->mapToGlobal(QPoint(0, 0)).y() -
                      column->mapToGlobal(QPoint(0, 0)).y();
        QCOMPARE(column->blockAtY(y), static_cast<int>(ben));
        QTest::mouseClick(column, Qt::LeftButton, {}, QPoint(20, y));
        QCOMPARE(browser->textCursor().selectedText(), QString("I work by day."));
        // A double click in Anna's segment text opens Anna.
        QTextCursor inAnna(segments->document());
        inAnna.setPosition(blocks[anna].start + 3);
        QTest::mouseDClick(segments->viewport(), Qt::LeftButton, {},
                           segments->cursorRect(inAnna).center());
        QCOMPARE(browser->textCursor().selectedText(), QString("I work at night."));
        // So does a single click in Ben's; a selection dragged out for copying does not.
        QTextCursor inBen(segments->document());
        inBen.setPosition(blocks[ben].start + 3);
        QTest::mouseClick(segments->viewport(), Qt::LeftButton, {},
                          segments->cursorRect(inBen).center());
        QCOMPARE(browser->textCursor().selectedText(), QString("I work by day."));
        const QPoint from = segments->cursorRect(inAnna).center();
        QTest::mousePress(segments->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(segments->viewport(), from + QPoint(40, 0));
        QTest::mouseRelease(segments->viewport(), Qt::LeftButton, {}, from + QPoint(40, 0));
        QCOMPARE(browser->textCursor().selectedText(), QString("I work by day."));
        QTest::mouseClick(column, Qt::LeftButton, {}, QPoint(20, y));
        QCOMPARE(column->blockAt(blocks[0].start + 2), 0);
        QCOMPARE(column->blockAt(blocks[0].end + 2), -1);
        // Copy now has a selection; the text can be exported.
        QVERIFY(frame.runCommand(57634));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("I work by day."));
        ui.files = {dir.file("ben.rtf")};
        QVERIFY(frame.runCommand(33021));
        ui.files = {dir.file("segments.rtf")};
        QVERIFY(frame.runCommand(33022));
        const auto written = platform::readFile(dir.file("segments.rtf"));
        QVERIFY(written);
        QVERIFY(platform::RichText::fromRtf(*written).plainText().find("Text:\t\tGroup 1\\Ben") !=
                std::string::npos);
        QVERIFY(platform::readFile(dir.file("ben.rtf")));
        ui.files = {dir.file("no/such/folder/x.rtf")};
        QVERIFY(frame.runCommand(33022));
        QCOMPARE(ui.messages.size(), std::size_t(1));
        // A manual that is not installed: a message, nothing opened.
        QVERIFY(frame.runCommand(33050));
        QCOMPARE(ui.messages.back().text, std::string("The manual vxmanual.pdf cannot be opened."));
        // Read-only text: no cut or paste.
        QVERIFY(!frame.command(57635)->isEnabled());
        QVERIFY(!frame.command(57637)->isEnabled());
        // The character set goes into the project and its command is checked.
        QVERIFY(frame.runCommand(33101));
        QCOMPARE(doc.charSet(), 178);
        QVERIFY(frame.command(33101)->isChecked());
        QVERIFY(!frame.command(33100)->isChecked());
        // The Quick-List drop-down lists the codes that were used, the last first.
        const std::int32_t kids = ws.codes().NewCode(0, "Kids", false);
        ws.quickList.use(kids);
        frame.refreshAll();
        auto* quick = frame.findChild<QComboBox*>("QuickList");
        QVERIFY(quick);
        QCOMPARE(quick->currentText(), QString("Kids"));
        frame.saveSettings();
        store::AppSettings reread(dir.file("vexapp.ini"));
        reread.load();
        QCOMPARE(reread.segmentsCtrl(), std::make_pair(0, 70));
    }

    void treesRenameInPlaceAndTakeDrops() {
        Project p("#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n#ENDTEXT\n");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
        const std::int32_t set = ws.documents().NewSetFromGroup(1);
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.show();
        auto* codeTree = frame.view(ViewBit::CodeSystem)->findChild<QTreeWidget*>();
        auto* docTree = frame.view(ViewBit::DocumentSystem)->findChild<QTreeWidget*>();
        const auto editor = [](QTreeWidget* tree) {
            QCoreApplication::processEvents();
            return tree->viewport()->findChild<QLineEdit*>();
        };
        // The editor holds the bare name; Return stores the new one, counts come back.
        const std::int32_t work = p.code("Work");
        QVERIFY(frame.contextCommand(20068, work));
        QLineEdit* line = editor(codeTree);
        QVERIFY(line);
        QCOMPARE(line->text(), QString("Work"));
        line->setText("Labour");
        QTest::keyClick(line, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(doc.store().GetName(store::TopicId::Codes, work, false), std::string("Labour"));
        QTRY_VERIFY(!codeTree->findItems("Labour (1)", Qt::MatchRecursive).isEmpty());
        // An emptied name keeps the old one.
        codeTree->setCurrentItem(codeTree->findItems("Labour (1)", Qt::MatchRecursive).front());
        QTest::keyClick(codeTree, Qt::Key_F2);
        line = editor(codeTree);
        QVERIFY(line);
        line->clear();
        QTest::keyClick(line, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(doc.store().GetName(store::TopicId::Codes, work, false), std::string("Labour"));
        QTRY_VERIFY(!codeTree->findItems("Labour (1)", Qt::MatchRecursive).isEmpty());
        // Sets are items of their own kind: their menu renames the set, not a code.
        QVERIFY(frame.contextCommand(20043, set));
        line = editor(docTree);
        QVERIFY(line);
        line->setText("Night");
        QTest::keyClick(line, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(doc.store().GetName(store::TopicId::TextSets, set, false), std::string("Night"));
        QTRY_COMPARE(docTree->findItems("Night", Qt::MatchRecursive).size(), 1);
        QCOMPARE(docTree->findItems("Night", Qt::MatchRecursive)
                     .front()
                     ->child(0)
                     ->data(0, Qt::UserRole)
                     .toInt(),
                 store::TopicId::TextLinks);
        QCOMPARE(doc.store().GetName(store::TopicId::Codes, work, false), std::string("Labour"));
        // Drops travel as "VEXObject": a text onto its group is copied, a group onto "Sets"
        // becomes a set, a text already in a set is not taken again.
        auto* objects = static_cast<ObjectTree*>(docTree);
        const auto drop = [&](const QString& what, const QString& onto) {
            QTest::qWait(1); // the last drop's refill
            const auto from = docTree->findItems(what, Qt::MatchRecursive);
            const auto to = docTree->findItems(onto, Qt::MatchRecursive);
            if (from.isEmpty() || to.isEmpty()) return false;
            std::unique_ptr<QMimeData> data(objects->mimeData({from.front()}));
            const QPoint at = docTree->visualItemRect(to.front()).center();
            return objects->drop(data.get(), at);
        };
        QVERIFY(!drop("Anna", "Night")); // Anna is in the set already
        QVERIFY(drop("Anna (1)", "Group 1"));
        QTRY_COMPARE(doc.store().RecordCount(store::TopicId::Texts), 2);
        QVERIFY(drop("Group 1", "Sets"));
        QTRY_COMPARE(doc.store().RecordCount(store::TopicId::TextSets), 2);
        QVERIFY(!drop("Sets", "Group 1"));
        // The copy dropped on a member of the set joins that set.
        const QString copy =
            QString::fromStdString(doc.store().GetName(store::TopicId::Texts, 2, false));
        QVERIFY(copy.startsWith("Anna ("));
        QVERIFY(drop(copy + " (0)", "Anna"));
        QVERIFY(ws.documents().SetHolds(set, 2));
        QCOMPARE(
            doc.store().FindIds(store::TopicId::TextLinks, store::TopicId::TextSets, set).size(),
            std::size_t(2));
    }

    void confirmationsArePopUpsAtTheMouse() {
        QtUserInterface ui(true);
        const auto answer = [&](int downs) {
            QTimer::singleShot(50, [downs] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                if (!menu) return;
                QCOMPARE(menu->actions().size(), 2);
                QCOMPARE(menu->actions().front()->text(), QString("Delete"));
                for (int i = 0; i < downs; ++i)
                    QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            });
            return ui.question("", "Delete", "Cancel");
        };
        QVERIFY(answer(1));
        QVERIFY(!answer(2));
    }

    void weightFilterNumbersNeverCross() {
        WeightFilterDialog dialog(80, 40, nullptr); // stored nonsense: the minimum gives way
        QCOMPARE(dialog.low(), 40);
        QCOMPARE(dialog.high(), 40);
        dialog.highBox()->setValue(100);
        dialog.lowBox()->setValue(70);
        dialog.highBox()->setValue(20);
        QCOMPARE(dialog.high(), 70);
        dialog.lowBox()->setValue(90);
        QCOMPARE(dialog.low(), 70);
        dialog.lowBox()->setValue(0);
        QCOMPARE(dialog.low(), 1);
    }

    void documentGivesBackWhatItWasFilledWith() {
        platform::RichText text = platform::RichText::fromPlain(
            "Plain and bold\rCentred \xF0\x9F\x98\x80 indented\r\rred");
        platform::CharFormat f;
        f.font = "Arial";
        f.size = 20;
        f.bold = true;
        text.setCharFormat(10, 14, f);
        f.bold = false;
        f.color = 0xC00000;
        f.background = 0xFFFF00;
        text.setCharFormat(text.length() - 3, text.length(), f);
        platform::ParaFormat centred;
        centred.align = platform::Align::Center;
        centred.leftIndent = 720;
        centred.spaceAfter = 120;
        text.setParaFormat(15, 20, centred);
        QTextDocument document;
        fillDocument(document, text);
        const platform::RichText back = richTextOf(document);
        QCOMPARE(back.plainText(), text.plainText());
        QVERIFY(back.sameContent(text));
    }

    void theTextKeepsItsPlaceAndStaysReadable() {
        std::string long_ = "#TEXT Long\n";
        for (int i = 0; i < 3000; ++i)
            long_ += "Paragraph " + std::to_string(i) + " of a long interview.\n";
        Project p(long_ + "#ENDTEXT\n");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.resize(800, 560);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.openText(1);
        auto* white = frame.view(ViewBit::TextBrowser);
        auto* browser = white->findChild<QTextEdit*>();
        auto* strip = white->findChild<StripeColumn*>();
        QTRY_VERIFY(browser->verticalScrollBar()->maximum() > 10000);
        // Coding near the end keeps the view where it is, and the selection.
        QTextCursor c = browser->textCursor();
        const int at = browser->toPlainText().indexOf("Paragraph 2950 ");
        c.setPosition(at);
        c.setPosition(at + 14, QTextCursor::KeepAnchor);
        browser->setTextCursor(c);
        browser->ensureCursorVisible();
        QCoreApplication::processEvents();
        const int scroll = browser->verticalScrollBar()->value();
        const QTextDocument* shown = browser->document();
        ws.quickList.use(ws.codes().NewCode(
            0, "A rather long code name that would need far more room than the column has", false));
        QVERIFY(frame.codeSelection());
        QTRY_COMPARE(strip->strip().stripes().size(), std::size_t(1));
        QCOMPARE(browser->document(), shown);
        QCOMPARE(browser->verticalScrollBar()->value(), scroll);
        QCOMPARE(browser->textCursor().selectionStart(), at);
        // The column fits the label only up to a share of the pane: the text stays readable.
        QVERIFY(strip->width() <= white->width() / 4);
        QVERIFY(browser->viewport()->width() >= white->width() / 2);
        // A width the user sets is kept, within half the pane, and stored.
        auto* divider = white->findChild<QSplitter*>();
        QVERIFY(divider);
        const int handle = divider->handleWidth();
        QList<int> sizes = divider->sizes();
        const int stripAt = divider->indexOf(strip);
        sizes[stripAt] = 60;
        sizes[1 - stripAt] = white->width() - 60 - handle;
        divider->setSizes(sizes);
        emit divider->splitterMoved(60, 1);
        QCOMPARE(strip->width(), 60);
        frame.saveSettings();
        store::AppSettings reread(dir.file("vexapp.ini"));
        reread.load();
        QCOMPARE(reread.textCoderWindow().width, 60);
    }

    void layoutSurvivesTogglesAndProjectSwitches() {
        Project p("#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n#ENDTEXT\n",
                  "[MainWindow]\nSplitter 1=300\nSplitter 2=200\nSplitter 3=250\n");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.resize(1100, 760);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        auto sizesNow = [&] {
            std::vector<int> v;
            for (auto* s : frame.findChildren<QSplitter*>())
                if (s->count() == 2 &&
                    !s->findChild<QTextEdit*>(QString(), Qt::FindDirectChildrenOnly) &&
                    !s->findChild<StripeColumn*>(QString(), Qt::FindDirectChildrenOnly))
                    v.push_back(s->sizes().value(0));
            std::sort(v.begin(), v.end());
            return v;
        };
        QTRY_COMPARE(sizesNow(), (std::vector<int>{200, 250, 300}));
        // A pane switched off and on again comes back at the size it had.
        frame.toggleView(ViewBit::RetrievedSegments);
        frame.toggleView(ViewBit::RetrievedSegments);
        QTRY_COMPARE(sizesNow(), (std::vector<int>{200, 250, 300}));
        frame.toggleView(ViewBit::CodeSystem);
        frame.toggleView(ViewBit::CodeSystem);
        QTRY_COMPARE(sizesNow(), (std::vector<int>{200, 250, 300}));
        // Another project: nothing of the old one stays on screen or in the Undo menu.
        frame.openText(1);
        ws.quickList.use(ws.codes().NewCode(0, "Night", false));
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        QTextCursor c = browser->textCursor();
        c.setPosition(0);
        c.setPosition(5, QTextCursor::KeepAnchor);
        browser->setTextCursor(c);
        QVERIFY(frame.codeSelection());
        QCoreApplication::processEvents();
        auto* strip = frame.view(ViewBit::TextBrowser)->findChild<StripeColumn*>();
        QCOMPARE(strip->strip().stripes().size(), std::size_t(2));
        QVERIFY(doc.OpenPath(dir.file("other.vxp"), false));
        QCoreApplication::processEvents();
        QVERIFY(strip->strip().stripes().empty());
        QCOMPARE(strip->width(), 23);
        QVERIFY(browser->toPlainText().isEmpty());
        QVERIFY(!frame.command(CommandId::Undo)->isEnabled());
        QVERIFY(!frame.command(32907)->isEnabled());
    }

    void codingWithoutTheRightMouseButton() {
        Project p("#TEXT Anna\nI work at night and sleep by day.\n#ENDTEXT\n"
                  "#TEXT Ben\nNothing coded.\n#ENDTEXT\n");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
        const std::int32_t work = ws.codes().NewCode(0, "Work", false);
        const std::int32_t sleep = ws.codes().NewCode(0, "Sleep", false);
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.show();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        frame.refreshAll();
        // Return on a text in the tree opens it.
        auto* docTree = frame.view(ViewBit::DocumentSystem)->findChild<ObjectTree*>();
        QTreeWidgetItem* anna = docTree->findItems("Anna (0)", Qt::MatchRecursive).value(0);
        QVERIFY(anna);
        docTree->setFocus();
        docTree->setCurrentItem(anna);
        QTest::keyClick(docTree, Qt::Key_Return);
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        QCOMPARE(browser->toPlainText().left(7), QString("I work "));
        // The read-only text takes a caret: Shift+arrows select.
        browser->setFocus();
        browser->moveCursor(QTextCursor::Start);
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(browser, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(browser->textCursor().selectedText(), QString("I work"));
        // A click on a code makes it the Code command's code.
        auto* codeTree = frame.view(ViewBit::CodeSystem)->findChild<QTreeWidget*>();
        QTreeWidgetItem* workItem = codeTree->findItems("Work (0)", Qt::MatchRecursive).value(0);
        QVERIFY(workItem);
        QTest::mouseClick(codeTree->viewport(), Qt::LeftButton, {},
                          codeTree->visualItemRect(workItem).center());
        QCOMPARE(ws.quickList.current(), work);
        QVERIFY(frame.runCommand(32905));
        QCOMPARE(doc.store().RecordCount(store::TopicId::Codings), 1);
        // The selection dropped onto another code is coded with that code.
        QTextCursor c = browser->textCursor();
        c.setPosition(20);
        c.setPosition(25, QTextCursor::KeepAnchor);
        browser->setTextCursor(c);
        QCoreApplication::processEvents();
        QTreeWidgetItem* sleepItem = codeTree->findItems("Sleep (0)", Qt::MatchRecursive).value(0);
        QVERIFY(sleepItem);
        QMimeData dragged;
        dragged.setText("sleep");
        const QPointF at = codeTree->visualItemRect(sleepItem).center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &dragged, Qt::LeftButton, {});
        QApplication::sendEvent(codeTree->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
        QApplication::sendEvent(codeTree->viewport(), &drop);
        QCOMPARE(doc.store().RecordCount(store::TopicId::Codings), 2);
        QCOMPARE(p.field(p.codingOf(sleep), store::CodingField::StartChar), 20);
        // Text from elsewhere is not a passage of this text.
        dragged.setText("something else");
        QDragEnterEvent foreign(at.toPoint(), Qt::CopyAction, &dragged, Qt::LeftButton, {});
        QApplication::sendEvent(codeTree->viewport(), &foreign);
        QVERIFY(!foreign.isAccepted());
        // Coded passages are tinted, and the Window menu switches it.
        QCoreApplication::processEvents();
        QCOMPARE(browser->extraSelections().size(), 2);
        QVERIFY(frame.runCommand(CommandId::TintPassages));
        QVERIFY(browser->extraSelections().isEmpty());
        QVERIFY(frame.runCommand(CommandId::TintPassages));
        QCOMPARE(browser->extraSelections().size(), 2);
        // A batch of several codings is named and confirmed before it goes.
        ws.documents().ActivateObjects(analysis::ActivationScope::AllTexts, 0, true);
        ws.codes().ActivateCode(work, true);
        ws.codes().ActivateCode(sleep, true);
        ws.BuildRetrieval();
        ws.quickList.use(ws.codes().NewCode(0, "All", false));
        const int before = doc.store().RecordCount(store::TopicId::Codings);
        ui.numbers = {100};
        QVERIFY(ws.codings().CodeResults() > 1);
        const int batch = doc.store().RecordCount(store::TopicId::Codings) - before;
        ui.answers = {false};
        QVERIFY(!frame.confirmUndoBatch(0));
        QCOMPARE(ui.questions.back(), "Undo Code removes the " + std::to_string(batch) +
                                          " codings made in one step with the code \"All\".");
        QCOMPARE(doc.store().RecordCount(store::TopicId::Codings), before + batch);
        ui.answers = {true};
        QVERIFY(frame.confirmUndoBatch(0));
        QCOMPARE(doc.store().RecordCount(store::TopicId::Codings), before);
    }

    void listWindowsOpenFromTheMenusAndTheTrees() {
        Project p("#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n#ENDTEXT\n"
                  "#TEXT Ben\n#CODE Work\nI work by day.\n#ENDCODE\n#ENDTEXT\n");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.show();
        frame.refreshAll();
        auto list = [&](int kind) -> ObjList* {
            for (auto* w : frame.findChildren<ObjList*>())
                if (w->kind() == kind && w->isVisible()) return w;
            return nullptr;
        };
        QVERIFY(frame.runCommand(32911));
        QVERIFY(list(store::TopicId::Codings));
        QCOMPARE(list(store::TopicId::Codings)->ids().size(), std::size_t(2));
        QVERIFY(frame.runCommand(32989));
        QVERIFY(list(store::TopicId::Codes));
        QVERIFY(frame.runCommand(32912));
        QCOMPARE(list(store::TopicId::Texts)->ids().size(), std::size_t(2));
        // The overview of one text's variables refills the same window.
        const std::int32_t group = doc.store().ListIds(store::TopicId::TextGroups).front();
        QVERIFY(frame.contextCommand(20023, 1));
        QCOMPARE(list(store::TopicId::Texts)->ids(), std::vector<std::int32_t>{1});
        QCOMPARE(frame.findChildren<ObjList*>().size(), qsizetype(3));
        QVERIFY(frame.contextCommand(20014, group));
        QCOMPARE(list(store::TopicId::Texts)->ids().size(), std::size_t(2));
        // The Memo Manager lists the memos; its Export writes them as RTF.
        QVERIFY(analysis::MemoOperations(ws).NewTextMemo(1, 0) != 0);
        QVERIFY(frame.runCommand(32784));
        QCOMPARE(list(store::TopicId::Memos)->ids().size(), std::size_t(1));
        ui.files = {dir.file("memos.rtf")};
        list(store::TopicId::Memos)->exportList();
        QVERIFY(platform::RichText::fromRtf(test::readAll(dir.file("memos.rtf")))
                    .plainText()
                    .find("Memo 1") != std::string::npos);
        // Word frequencies: the word list window, titled with its texts and total.
        QVERIFY(!frame.runCommand(33067));
        QVERIFY(frame.runCommand(33065));
        ObjList* words = list(store::TopicId::WordFrequencies);
        QVERIFY(words && !words->ids().empty());
        QVERIFY(words->titleLine()->text().contains("In 2 Texts  ("));
        QVERIFY(frame.runCommand(33067));
        // Search Results come after a search, in their own list window.
        QVERIFY(!frame.runCommand(32988));
        browser::SearchSettings search;
        search.strings = {"work"};
        TextSearchCommands::of(&frame, ws, settings).run(search);
        QVERIFY(frame.runCommand(32988));
        QCOMPARE(list(store::TopicId::SearchResults)->ids().size(), std::size_t(2));
        // Activation by Variables, from the menu or the text groups' context menu: one dialog.
        QVERIFY(frame.runCommand(32999));
        QVERIFY(frame.contextCommand(20006, 0));
        QCOMPARE(frame.findChildren<ActivationDialog*>().size(), qsizetype(1));
        QVERIFY(frame.findChild<ActivationDialog*>()->isVisible());
        QVERIFY(ui.messages.empty());
    }

    void editModeKeepsCodingsOnTheirWords() {
        Project p("#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n"
                  "#CODE Sleep\nThen I sleep.\n#ENDCODE\n");
        QVERIFY(p.ok);
        auto& [dir, settings, ui, recent, doc, ws, retrieval, ok] = p;
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.show();
        QVERIFY(!frame.setEditMode(true)); // no text open
        frame.openText(1);
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        QVERIFY(browser->isReadOnly());
        const std::int32_t work = p.code("Work"), sleep = p.code("Sleep");
        auto codingOf = [&p](std::int32_t code) { return p.codingOf(code); };
        auto field = [&p](std::int32_t coding, int f) { return p.field(coding, f); };
        const std::int32_t workCoding = codingOf(work), sleepCoding = codingOf(sleep);
        const int sleepStart = field(sleepCoding, store::CodingField::StartChar);
        QVERIFY(frame.setEditMode(true));
        QVERIFY(!browser->isReadOnly());
        // Characters outside the BMP count once in the file, twice in the control.
        QTextCursor cursor(browser->document());
        cursor.insertText(QString::fromUtf8("\xF0\x9F\x98\x80 "));
        // Delete "Then " before the second coding's words.
        cursor.setPosition(browser->toPlainText().indexOf("Then"));
        cursor.setPosition(browser->toPlainText().indexOf("Then") + 5, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        // Stripes follow at once; nothing is written before edit mode ends.
        QCOMPARE(field(workCoding, store::CodingField::StartChar), 0);
        QVERIFY(frame.setEditMode(false));
        QVERIFY(browser->isReadOnly());
        QCOMPARE(field(workCoding, store::CodingField::StartChar), 2);
        QCOMPARE(field(workCoding, store::CodingField::FinishChar), 18);
        QCOMPARE(
            doc.store().GetText(store::TopicId::Codings, workCoding, store::CodingField::Preview),
            std::string("I work at night."));
        QCOMPARE(field(sleepCoding, store::CodingField::StartChar), sleepStart + 2);
        QCOMPARE(
            doc.store().GetText(store::TopicId::Codings, sleepCoding, store::CodingField::Preview),
            std::string("I sleep."));
        QCOMPARE(browser->toPlainText(),
                 QString::fromUtf8("\xF0\x9F\x98\x80 I work at night.\nI sleep.\n"));
        // Deleting a coded passage whole removes its coding when the text is saved.
        QVERIFY(frame.setEditMode(true));
        cursor = QTextCursor(browser->document());
        cursor.setPosition(browser->toPlainText().indexOf("I sleep."));
        cursor.setPosition(browser->toPlainText().indexOf("I sleep.") + 8, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        frame.openText(1); // opening a text saves the one being edited
        QVERIFY(!frame.editMode());
        QCOMPARE(codingOf(sleep), 0);
        QCOMPARE(doc.store().GetInt(store::TopicId::Codes, sleep, store::CodeField::Codes), 0);
        QCOMPARE(codingOf(work), workCoding);
        // A click on the stripe selects the coding's characters (the emoji takes two places).
        auto* strip = frame.view(ViewBit::TextBrowser)->findChild<StripeColumn*>();
        QCoreApplication::processEvents();
        strip->relayout();
        const auto& st = strip->strip().stripes().front();
        QVERIFY(st.laidOut());
        const int offset = browser->viewport()->mapToGlobal(QPoint(0, 0)).y() -
                           strip->mapToGlobal(QPoint(0, 0)).y();
        QTest::mouseClick(strip, Qt::LeftButton, {},
                          QPoint(browser::StripeStrip::columnX(st.column),
                                 st.top + (st.bottom - st.top) / 2 + offset));
        QCOMPARE(browser->textCursor().selectionStart(), 3);
        // Its tooltip is the coding's annotation: the code's path and the weight.
        QCOMPARE(strip->tooltipOf(st.codingId), QString("Work\n[100]"));
        QCOMPARE(browser->textCursor().selectedText(), QString("I work at night."));
        // A memo at "I sleep"'s old place: its icon stands on the second line, its tooltip
        // holds title, author, date and text, and a double click takes the cursor there.
        store::RecordCursor memo;
        QVERIFY(doc.store().NewRecord(store::TopicId::Memos, memo));
        memo.setInt(store::MemoField::Text, 1);
        memo.setInt(store::MemoField::Pos, 19);
        memo.setText(store::MemoField::Title, "Shifts");
        memo.setText(store::MemoField::Author, "Kim");
        memo.setDate(store::MemoField::Date, store::DateTime::fromCivil(2026, 3, 1));
        memo.setBlock(store::MemoField::Body, platform::RichText::fromPlain("Ask again.").toRtf());
        QVERIFY(doc.store().Save(memo, true, true));
        frame.openText(1);
        auto* memoBar = frame.view(ViewBit::TextBrowser)->findChild<MemoBar*>();
        QVERIFY(memoBar);
        QCOMPARE(memoBar->marks().size(), std::size_t(1));
        const MemoMark& mark = memoBar->marks().front();
        QVERIFY(mark.tip.startsWith("Shifts (Kim, "));
        QVERIFY(mark.tip.endsWith(")\nAsk again."));
        QVERIFY(mark.y > 0);
        QCOMPARE(browser::memoHeading("T", "", "1/3/26"), std::string("T (1/3/26)"));
        const int top = browser->viewport()->mapToGlobal(QPoint(0, 0)).y() -
                        memoBar->mapToGlobal(QPoint(0, 0)).y();
        // A double-click on the icon opens the memo; one beside it makes a memo at that line.
        QTest::mouseDClick(memoBar, Qt::LeftButton, {}, QPoint(mark.x + 2, mark.y + top + 2));
        auto* memoWindow = frame.findChild<MemoDialog*>();
        QVERIFY(memoWindow && memoWindow->isVisible());
        QCOMPARE(memoWindow->memoId(), mark.memo);
        memoWindow->close();
        QCOMPARE(memoBar->lineStartAt(mark.y + top + 2), mark.pos); // its paragraph starts there
        // Paragraph numbers: the emptied paragraph has none; a number selects its paragraph.
        auto* numbers = frame.view(ViewBit::TextBrowser)->findChild<ParagraphColumn*>();
        QVERIFY(numbers);
        QCOMPARE(numbers->table().count(), 1);
        numbers->selectParagraph(1, false);
        QCOMPARE(browser->textCursor().selectedText(),
                 QString::fromUtf8("\xF0\x9F\x98\x80 I work at night."));
        // A colour is a format-only change: the coding stays and its RTF carries the colour.
        QVERIFY(frame.setEditMode(true));
        cursor = QTextCursor(browser->document());
        cursor.setPosition(5);
        cursor.setPosition(9, QTextCursor::KeepAnchor);
        browser->setTextCursor(cursor);
        frame.setFontColour(9); // "Red"
        QVERIFY(frame.setEditMode(false));
        QCOMPARE(codingOf(work), workCoding);
        store::RecordCursor c;
        QVERIFY(doc.store().GetRecord(store::TopicId::Codings, workCoding, c, true));
        const auto& b = c.block(store::CodingField::Body);
        const auto segment = platform::RichText::fromRtf(std::string(b.begin(), b.end()));
        QCOMPARE(segment.text(2, 6), std::string("work"));
        QCOMPARE(segment.charFormatAt(2).color, 0xFF0000);
        QCOMPARE(segment.charFormatAt(0).color, platform::AutoColor);
        // Automatic takes the colour away again.
        QVERIFY(frame.setEditMode(true));
        cursor = QTextCursor(browser->document());
        cursor.setPosition(3);
        cursor.setPosition(12, QTextCursor::KeepAnchor);
        browser->setTextCursor(cursor);
        frame.setFontColour(16);
        QVERIFY(frame.setEditMode(false));
        QVERIFY(doc.store().GetRecord(store::TopicId::Texts, 1, c, true));
        const auto& tb = c.block(store::TextField::Body);
        const auto body = platform::RichText::fromRtf(std::string(tb.begin(), tb.end()));
        QCOMPARE(body.charFormatAt(5).color, platform::AutoColor);
        // Open Project first saves the text being edited, even when the dialog is cancelled.
        QVERIFY(frame.setEditMode(true));
        cursor = QTextCursor(browser->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(" More.");
        QVERIFY(frame.runCommand(32783));
        QVERIFY(!frame.editMode());
        QVERIFY(doc.isOpen());
        QVERIFY(doc.store().GetRecord(store::TopicId::Texts, 1, c, true));
        const auto& saved = c.block(store::TextField::Body);
        QVERIFY(platform::RichText::fromRtf(std::string(saved.begin(), saved.end()))
                    .plainText()
                    .find("More.") != std::string::npos);
    }
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
