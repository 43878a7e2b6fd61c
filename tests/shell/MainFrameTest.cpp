#include "shell/MainFrame.h"

#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "shell/ParagraphColumn.h"
#include "shell/QtUserInterface.h"
#include "shell/StripeColumn.h"
#include "shell/TextDocument.h"
#include "shell/ViewLayout.h"
#include "store/CVexDoc.h"

#include <QSplitter>
#include <QTextEdit>
#include <QTreeWidget>
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

    void editModeKeepsCodingsOnTheirWords() {
        test::TempDir dir;
        store::AppSettings settings(dir.file("vexapp.ini"));
        QtUserInterface ui(false);
        store::RecentProjects recent;
        store::CVexDoc doc(ui, recent);
        QVERIFY(doc.OpenPath(dir.file("p.vxp"), false));
        analysis::Workspace ws(doc);
        analysis::Retrieval retrieval(ws);
        test::writeAll(dir.file("doc.txt"), "#TEXT Anna\n#CODE Work\nI work at night.\n#ENDCODE\n"
                                            "#CODE Sleep\nThen I sleep.\n#ENDCODE\n");
        QCOMPARE(exchange::TextImport(ws).PreprocessFiles(ws.documents().NewTextGroup(),
                                                          {dir.file("doc.txt")}),
                 1);
        CMainFrame frame(doc, ws, retrieval, settings);
        frame.show();
        QVERIFY(!frame.setEditMode(true)); // no text open
        frame.openText(1);
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        QVERIFY(browser->isReadOnly());
        const std::int32_t work = ws.codes().FindCodeByPath(0, "Work", false);
        const std::int32_t sleep = ws.codes().FindCodeByPath(0, "Sleep", false);
        auto codingOf = [&](std::int32_t code) {
            const auto ids =
                doc.store().FindIds(store::TopicId::Codings, store::TopicId::Codes, code);
            return ids.empty() ? 0 : ids.front();
        };
        const std::int32_t workCoding = codingOf(work), sleepCoding = codingOf(sleep);
        auto field = [&](std::int32_t coding, int f) {
            return doc.store().GetInt(store::TopicId::Codings, coding, f);
        };
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
        QCOMPARE(browser->textCursor().selectedText(), QString("I work at night."));
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
    }
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
