#include "shell/MemoDialog.h"

#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "shell/TextDocument.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

using namespace vexana;
using namespace vexana::store;

namespace {

struct ChangeCounter : ViewListener {
    int memoChanges = 0;
    void onViewEvent(ViewEvent e, int topic, std::int32_t) override {
        if (e == ViewEvent::Changed && topic == TopicId::Memos) ++memoChanges;
    }
};

// A text with one memo, two codes, the main window's stand-in and its settings.
struct Project {
    test::TempDir dir;
    test::ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;
    AppSettings settings{dir.file("vexapp.ini")};
    QWidget main;
    std::int32_t text = 0, a = 0, b = 0, memo = 0;

    Project() {
        if (!doc.OpenPath(dir.file("p.vxp"), false)) return;
        ws = std::make_unique<analysis::Workspace>(doc);
        const std::int32_t group = ws->documents().NewTextGroup();
        ws->documents().RenameObject(TopicId::TextGroups, group, "G");
        text = ws->documents().CreateTextWith(group, "T",
                                              platform::RichText::fromPlain("Body.").toRtf());
        a = ws->codes().NewCode(0, "A", false);
        b = ws->codes().NewCode(0, "B", false);
        memo = analysis::MemoOperations(*ws).NewTextMemo(text, 2);
    }
    analysis::Memo stored() {
        analysis::Memo m;
        analysis::MemoOperations(*ws).Load(memo, m);
        return m;
    }
};

} // namespace

class MemoDialogTest : public QObject {
    Q_OBJECT
private slots:
    void editsAreSavedOnCloseAndAnUnchangedMemoWritesNothing() {
        Project p;
        QVERIFY(p.memo != 0);
        shell::MemoDialog* d = shell::showMemo(&p.main, *p.ws, p.settings, p.memo);
        QVERIFY(d);
        QCOMPARE(d->titleEdit()->text(), QString("Memo %1").arg(p.memo));
        QCOMPARE(d->ownerLabel()->text(), QString("G\\T"));
        QVERIFY(!d->dateLabel()->text().isEmpty());
        QVERIFY(d->typeButton(0)->isChecked());
        QVERIFY(d->typeButton(10));
        QVERIFY(!d->typeButton(11));
        // Nothing changed: closing saves nothing.
        ChangeCounter counter;
        p.doc.addView(&counter);
        QPointer<shell::MemoDialog> guard(d);
        d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        QCOMPARE(counter.memoChanges, 0);
        p.doc.removeView(&counter);

        d = shell::showMemo(&p.main, *p.ws, p.settings, p.memo);
        QTest::keyClicks(d->titleEdit(), " X");
        d->authorEdit()->setText("Ann");
        emit d->authorEdit()->textEdited("Ann");
        d->typeButton(5)->click();
        d->bodyEdit()->setPlainText("Written here");
        p.ws->quickList.use(p.a);
        d->linkCode(p.a);
        d->linkCode(p.b);
        d->linkCode(p.a);
        QCOMPARE(d->codeList()->count(), 3);
        d->codeList()->item(1)->setSelected(true);
        QTest::keyClick(d->codeList(), Qt::Key_Delete);
        QCOMPARE(d->codeList()->count(), 2);
        // The same window is switched to another memo, saving this one first.
        const std::int32_t other = analysis::MemoOperations(*p.ws).CodeMemo(p.b);
        QCOMPARE(shell::showMemo(&p.main, *p.ws, p.settings, other), d);
        QCOMPARE(d->ownerLabel()->text(), QString("B"));
        QVERIFY(!shell::showMemo(&p.main, *p.ws, p.settings, 4711));
        QCOMPARE(d->memoId(), other);
        const analysis::Memo m = p.stored();
        QCOMPARE(m.title, "Memo " + std::to_string(p.memo) + " X");
        QCOMPARE(m.author, std::string("Ann"));
        QCOMPARE(m.type, 5);
        QCOMPARE(m.body.plainText(), std::string("Written here"));
        QCOMPARE(m.codes, (std::vector<std::int32_t>{p.a, p.a}));
        d->close();
        QVERIFY(!p.settings.profile().readString("MemoDialog", "WindowPos").empty());
        QVERIFY(
            p.settings.profile().readString("MemoDialog", "TextFormat").starts_with("Arial, 200,"));
    }

    void linkToNeedsTheQuickListAndDeleteAsksFirst() {
        Project p;
        shell::MemoDialog* d = shell::showMemo(&p.main, *p.ws, p.settings, p.memo);
        d->linkTo();
        QVERIFY(p.ui.said("Quick-List is empty"));
        QCOMPARE(d->codeList()->count(), 0);
        QVERIFY(!d->editor().modified());

        p.ui.answers = {false};
        d->deleteMemo();
        QCOMPARE(p.ui.questions.back(), std::string("Delete Memo?"));
        QVERIFY(d->isVisible());
        QCOMPARE(p.doc.store().RecordCount(TopicId::Memos), 1);
        p.ui.answers = {true};
        QPointer<shell::MemoDialog> guard(d);
        d->deleteMemo();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        QCOMPARE(p.doc.store().RecordCount(TopicId::Memos), 0);
        QVERIFY(!shell::showMemo(&p.main, *p.ws, p.settings, p.memo));
    }

    void exportWritesTheHeadingAndTheBody() {
        Project p;
        shell::MemoDialog* d = shell::showMemo(&p.main, *p.ws, p.settings, p.memo);
        d->bodyEdit()->setPlainText("Exported body");
        p.ui.files = {p.dir.file("memo.rtf")};
        d->exportMemo();
        const auto bytes = platform::readFile(p.dir.file("memo.rtf"));
        QVERIFY(bytes);
        const std::string plain = platform::RichText::fromRtf(*bytes).plainText();
        QVERIFY(plain.starts_with("Memo " + std::to_string(p.memo) + "\r\rText\t\tG\\T\r"));
        QVERIFY(plain.find("\rExported body") != std::string::npos);
        // A memo deleted elsewhere closes its window without saving it back.
        QPointer<shell::MemoDialog> guard(d);
        QVERIFY(p.ws->documents().DeleteObject(TopicId::Texts, p.text));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
        QCOMPARE(p.doc.store().RecordCount(TopicId::Memos), 0);
    }
};

QTEST_MAIN(MemoDialogTest)
#include "MemoDialogTest.moc"
