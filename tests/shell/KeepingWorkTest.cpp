#include "FaultVfs.h"
#include "TestSupport.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "shell/MainFrame.h"
#include "shell/OrderlyShutdown.h"
#include "shell/QtUserInterface.h"
#include "shell/SavePath.h"
#include "shell/TerminationSignals.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <memory>

using namespace vexana;
using namespace vexana::shell;

namespace {

// Plays the person at the save dialogs of one call: types name into the file dialog, and
// answers a question about replacing with replace. Anything still open after two seconds is
// cancelled, so a missing dialog fails the test instead of hanging it.
class SaveDialogScript {
public:
    SaveDialogScript(const std::string& folder, const QString& name, bool replace) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [=, this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* d = qobject_cast<QFileDialog*>(modal)) {
                dialog =
                    d->windowTitle() + "|" + d->nameFilters().join(";") + "|" + d->defaultSuffix();
                d->setDirectory(QString::fromStdString(folder));
                // Typed, as selectFile leaves a focused name box alone.
                if (auto* box = d->findChild<QLineEdit*>("fileNameEdit")) box->setText(name);
                static_cast<QDialog*>(d)->accept(); // with the file dialog's own checks
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                asked = box->text();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == (replace ? "Yes" : "No")) b->click();
            } else if (auto* other = qobject_cast<QDialog*>(modal);
                       other && deadline_.hasExpired()) {
                other->reject();
            }
        });
        timer_.start();
    }

    QString dialog; // title, filters and default suffix of the file dialog
    QString asked;  // the question about replacing

private:
    QTimer timer_;
    QDeadlineTimer deadline_{2000};
};

QString textBody(const std::string& project) {
    test::ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc(ui, recent);
    if (!doc.OpenPath(project, false)) return "(cannot be opened)";
    store::RecordCursor c;
    if (!doc.store().GetRecord(store::TopicId::Texts, 1, c, true)) return "(no text)";
    const auto& b = c.block(store::TextField::Body);
    return QString::fromStdString(
        platform::RichText::fromRtf(std::string(b.begin(), b.end())).plainText());
}

// A project with one text, open in a main window in edit mode, with the ways out in place.
struct EditedText {
    explicit EditedText(const std::string& path) : path_(path) {
        ok = doc.OpenPath(path, false);
        test::writeAll(path + ".txt", "#TEXT Anna\nI work at night.\n#ENDTEXT\n");
        ok = ok && exchange::TextImport(ws).PreprocessFiles(ws.documents().NewTextGroup(),
                                                            {path + ".txt"}) > 0;
        frame.show();
        frame.openText(1);
        ok = ok && frame.setEditMode(true);
    }
    void type(const QString& text) {
        auto* browser = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        QTextCursor end(browser->document());
        end.movePosition(QTextCursor::End);
        browser->setTextCursor(end);
        QTest::keyClicks(browser, text);
    }

    std::string path_;
    store::AppSettings settings{path_ + ".ini"};
    test::ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc{ui, recent};
    analysis::Workspace ws{doc};
    analysis::Retrieval retrieval{ws};
    CMainFrame frame{doc, ws, retrieval, settings};
    bool busy = false;
    OrderlyShutdown shutdown{frame, [this] { return busy; }};
    bool ok = false;
};

} // namespace

class KeepingWorkTest : public QObject {
    Q_OBJECT
private slots:
    void savePathsAskOnTheFinalName() {
        test::TempDir dir;
        test::writeAll(dir.file("victim.vxp"), "original bytes");
        QStringList asked;
        bool answer = false;
        const auto replace = [&](const QString& q) {
            asked << q;
            return answer;
        };
        const QString victim = QString::fromStdString(dir.file("victim"));
        // The name as typed does not exist; the one the suffix makes does.
        QCOMPARE(finishSavePath(victim, "vxp", replace), QString());
        QCOMPARE(asked, QStringList{"victim.vxp already exists.\nDo you want to replace it?"});
        QCOMPARE(test::readAll(dir.file("victim.vxp")), std::string("original bytes"));
        QCOMPARE(finishSavePath(victim + ".vxp", "vxp", replace), QString());
        QCOMPARE(asked.size(), 2);
        answer = true;
        QCOMPARE(finishSavePath(victim, "vxp", replace), victim + ".vxp");
        // Nothing there: no question.
        const QString fresh = QString::fromStdString(dir.file("victim.old"));
        QCOMPARE(finishSavePath(fresh, "vxp", replace), fresh + ".vxp");
        QCOMPARE(finishSavePath({}, "vxp", replace), QString());
        QCOMPARE(asked.size(), 3);
    }

    void projectDialogsAskBeforeReplacing() {
        test::TempDir dir;
        test::writeAll(dir.file("victim.vxp"), "original bytes");
        QtUserInterface ui(true);
        store::RecentProjects recent;
        store::CVexDoc doc(ui, recent);
        // New Project: "victim" means victim.vxp, which is asked about and kept on "No".
        {
            SaveDialogScript person(dir.path(), "victim", false);
            QVERIFY(!doc.OnNewProject());
            QCOMPARE(person.dialog, QString("New Project|VEX-Projects (*.vxp)|vxp"));
            QVERIFY(person.asked.startsWith("victim.vxp already exists."));
        }
        QCOMPARE(test::readAll(dir.file("victim.vxp")), std::string("original bytes"));
        QVERIFY(!doc.isOpen());
        // A name that is free is taken without a question.
        {
            SaveDialogScript person(dir.path(), "fresh", false);
            QVERIFY(doc.OnNewProject());
            QVERIFY(person.asked.isEmpty());
        }
        QVERIFY(doc.isOpen());
        QCOMPARE(doc.title(), dir.file("fresh.vxp"));
        // Backup ("Save Project as") asks the same way, and "Yes" replaces the file.
        {
            SaveDialogScript person(dir.path(), "victim", false);
            QVERIFY(!doc.OnBackupProject());
            QCOMPARE(person.dialog, QString("Save Project as|VEX-Projects (*.vxp)|vxp"));
            QVERIFY(person.asked.startsWith("victim.vxp already exists."));
        }
        QCOMPARE(test::readAll(dir.file("victim.vxp")), std::string("original bytes"));
        {
            SaveDialogScript person(dir.path(), "victim.vxp", true);
            QVERIFY(doc.OnBackupProject());
            QVERIFY(!person.asked.isEmpty());
        }
        QVERIFY(test::readAll(dir.file("victim.vxp")).starts_with("SQLite format 3"));
    }

    void terminationSignalsCloseAsTheCloseBoxDoes() {
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            test::TempDir dir;
            const std::string path = dir.file("p.vxp");
            {
                std::signal(signal, SIG_DFL);
                EditedText e(path);
                QVERIFY(e.ok);
                TerminationSignals termination([&e](int) { e.shutdown.requestClose(); });
                QVERIFY(termination.active());
                QVERIFY(!TerminationSignals([](int) {}).active()); // one listener at a time
                e.type(" Typed before the end.");
                QCOMPARE(std::raise(signal), 0);
                QTRY_VERIFY(!e.frame.isVisible());
                QVERIFY(e.ui.messages.empty());
            }
            QCOMPARE(textBody(path), QString("I work at night. Typed before the end."));
        }
        // A signal the program was started to ignore stays ignored.
        test::TempDir dir;
        std::signal(SIGHUP, SIG_IGN);
        EditedText e(dir.file("p.vxp"));
        QVERIFY(e.ok);
        TerminationSignals termination([&e](int) { e.shutdown.requestClose(); });
        QCOMPARE(std::raise(SIGHUP), 0);
        QTest::qWait(50);
        QVERIFY(e.frame.isVisible());
        std::signal(SIGHUP, SIG_DFL);
    }

    void aFailedSaveKeepsTheWindowAndSays() {
        test::TempDir dir;
        const std::string path = dir.file("p.vxp");
        {
            test::FaultVfs vfs; // outlives the project's connection
            EditedText e(path);
            QVERIFY(e.ok);
            TerminationSignals termination([&e](int) { e.shutdown.requestClose(); });
            e.type(" Not lost.");
            vfs.arm(test::VfsCall::Write, 1, SQLITE_FULL, true);
            QCOMPARE(std::raise(SIGTERM), 0);
            QTRY_VERIFY(!e.ui.messages.empty());
            // The cause, then what it means for the text.
            QVERIFY(e.ui.messages.front().text.find("disk is full") != std::string::npos);
            QCOMPARE(e.ui.messages.back().text, std::string("The text could not be saved."));
            QTest::qWait(50);
            QVERIFY(e.frame.isVisible());
            QVERIFY(e.frame.editMode());
            auto* browser = e.frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
            QCOMPARE(browser->toPlainText(), QString("I work at night. Not lost."));
            // Once the disk takes writes again, the next request saves and closes.
            vfs.disarm();
            QCOMPARE(std::raise(SIGTERM), 0);
            QTRY_VERIFY(!e.frame.isVisible());
        }
        QCOMPARE(textBody(path), QString("I work at night. Not lost."));
    }

    void closeWaitsForDialogsAndOperations() {
        test::TempDir dir;
        const std::string path = dir.file("p.vxp");
        {
            EditedText e(path);
            QVERIFY(e.ok);
            e.type(" Typed.");
            TerminationSignals termination([&e](int) { e.shutdown.requestClose(); });
            // A question open when the signal comes is answered "no"; the window closes only
            // once the command that asked has gone on.
            QtUserInterface asker(true);
            asker.setParent(&e.frame);
            QTimer::singleShot(0, [] { std::raise(SIGTERM); });
            QVERIFY(!asker.question("Delete the code?", "Delete", "Cancel"));
            QVERIFY(e.frame.isVisible());
            QTRY_VERIFY(!e.frame.isVisible());
        }
        QCOMPARE(textBody(path), QString("I work at night. Typed."));
        {
            EditedText e(path);
            QVERIFY(e.ok);
            e.busy = true;
            e.shutdown.requestClose();
            QTest::qWait(60);
            QVERIFY(e.frame.isVisible());
            e.busy = false;
            QTRY_VERIFY(!e.frame.isVisible());
            QVERIFY(!e.shutdown.closePending());
        }
    }

    void sessionEndSavesTheEditedText() {
        test::TempDir dir;
        const std::string path = dir.file("p.vxp");
        {
            EditedText e(path);
            QVERIFY(e.ok);
            e.type(" Saved at commit.");
            QVERIFY(e.shutdown.commitData());
            QVERIFY(!e.frame.editMode());
            QVERIFY(e.frame.isVisible());
            QVERIFY(e.shutdown.commitData()); // nothing being edited: nothing to do
            // The event loop ending with the window still open closes it, text and all.
            QVERIFY(e.frame.setEditMode(true));
            e.type(" And at the end.");
            e.shutdown.finish();
            QVERIFY(!e.frame.isVisible());
        }
        QCOMPARE(textBody(path), QString("I work at night. Saved at commit. And at the end."));
    }
};

QTEST_MAIN(KeepingWorkTest)
#include "KeepingWorkTest.moc"
