#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/ContextCommands.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "browser/ProjectExports.h"
#include "exchange/TextImport.h"
#include "platform/richtext/RichText.h"
#include "shell/CommandTable.h"
#include "shell/MainFrame.h"
#include "shell/ObjList.h"
#include "shell/QtUserInterface.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>
#include <map>
#include <set>

using namespace vexana;
using namespace vexana::shell;
using analysis::ContextMenu;
namespace TopicId = store::TopicId;

namespace {

// A small project of every kind of object: a group with a coded text, a set linking it, codes.
struct Project {
    Project() {
        {
            store::CVexDoc maker(ui, recent);
            analysis::Workspace makerWs(maker);
            test::writeAll(dir.file("doc.txt"), "#TEXT Anna\n#CODE Work\nI work at night.\n"
                                                "#ENDCODE\n#CODE Sleep\nThen I sleep.\n"
                                                "#ENDCODE\n#ENDTEXT\n");
            made = maker.OpenPath(path(), false) &&
                   exchange::TextImport(makerWs).PreprocessFiles(makerWs.documents().NewTextGroup(),
                                                                 {dir.file("doc.txt")}) > 0;
            makerWs.documents().ActivateObjects(analysis::ActivationScope::AllTexts, 0, true);
            made = made && makerWs.documents().NewSet() != 0;
        }
        ui.messages.clear();
    }
    std::string path() const { return dir.file("p.vxp"); }
    bool open() { return made && doc.OpenPath(path(), false); }
    // Everything the person was asked or shown so far.
    std::size_t asked() const {
        return ui.messages.size() + ui.questions.size() + ui.dialogs.size() + ui.progress.size();
    }

    test::TempDir dir;
    test::ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::AppSettings settings{dir.file("vexapp.ini")};
    store::CVexDoc doc{ui, recent};
    analysis::Workspace ws{doc};
    analysis::Retrieval retrieval{ws};
    bool made = false;
};

ContextMenu menuOf(int kind) {
    switch (kind) {
    case TopicId::GroupsRoot:
        return ContextMenu::TextGroups;
    case TopicId::TextGroups:
        return ContextMenu::TextGroup;
    case TopicId::Texts:
        return ContextMenu::Text;
    case TopicId::SetsRoot:
        return ContextMenu::Sets;
    case TopicId::TextSets:
        return ContextMenu::Set;
    case TopicId::TextLinks:
        return ContextMenu::Textlink;
    case TopicId::CodesRoot:
        return ContextMenu::CodeSystem;
    default:
        return ContextMenu::Code;
    }
}

// The ids of the enabled entries of an item's context menu, read while the menu is up.
std::vector<int> enabledEntries(QTreeWidget* tree, QTreeWidgetItem* item) {
    const auto commands = analysis::commandsOf(menuOf(item->data(0, Qt::UserRole).toInt()));
    std::vector<int> out;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        seen = true;
        std::vector<QMenu*> menus{menu};
        for (std::size_t k = 0; k < menus.size(); ++k)
            for (QAction* a : menus[k]->actions()) {
                if (a->menu()) menus.push_back(a->menu());
                if (!a->isEnabled() || a->isSeparator() || a->menu()) continue;
                for (const auto& c : commands)
                    if (a->text() == QString::fromStdString(std::string(c.text)))
                        out.push_back(c.id);
            }
        menu->close();
    });
    tree->scrollToItem(item);
    emit tree->customContextMenuRequested(tree->visualItemRect(item).center());
    if (!seen) out.push_back(-1);
    return out;
}

// Operations that come with later windows: never offered enabled.
// The memo window's commands wait for the main window to lend it (ContextHost::openMemo).
const std::set<int> notBuilt = {20077};

} // namespace

class CommandAuditTest : public QObject {
    Q_OBJECT
private slots:
    void importDialogsOfferEveryFormatRead() {
        QtUserInterface ui(true);
        for (auto [dialog, title] :
             {std::pair{store::FileDialog::ImportTexts, "Import Text File(s)"},
              std::pair{store::FileDialog::PreprocessTexts, "Import Texts (Preprocessor)"}}) {
            QStringList filters;
            QString shown;
            QFileDialog::FileMode mode = QFileDialog::AnyFile;
            QTimer::singleShot(0, [&] {
                if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                    filters = d->nameFilters();
                    shown = d->windowTitle();
                    mode = d->fileMode();
                    d->reject();
                }
            });
            QVERIFY(ui.chooseFiles(dialog).empty());
            QCOMPARE(shown, QString(title));
            QCOMPARE(mode, QFileDialog::ExistingFiles);
            QStringList expected = {"RTF-Texts (*rtf)", "Rich Text Format (*.rtf)",
                                    "Plain Text (*.txt)"};
            if (dialog == store::FileDialog::ImportTexts)
                expected << "Word (*.docx)"
                         << "OpenDocument Text (*.odt)"
                         << "HTML (*.html *.htm)"
                         << "Markdown (*.md *.markdown)"
                         << "PDF (*.pdf)";
            expected << "All files (*)";
            QCOMPARE(filters, expected);
        }
    }

    void matrixQuestionCarriesItsCaption() {
        QtUserInterface ui(true);
        QString caption, text;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                caption = box->windowTitle();
                text = box->text();
                box->reject();
            }
        });
        QVERIFY(!ui.captionedQuestion("Matrix of Codefrequency", "Export only active codes?", "Yes",
                                      "No"));
        QCOMPARE(caption, QString("Matrix of Codefrequency"));
        QCOMPARE(text, QString("Export only active codes?"));
    }

    void importTextsThroughTheGroupMenuInOneStep() {
        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.refreshAll();
        const std::int32_t group = p.doc.store().ListIds(TopicId::TextGroups).front();
        test::writeAll(p.dir.file("ben.txt"), "I sleep by day.\n");
        test::writeAll(p.dir.file("clara.rtf"), "{\\rtf1 Nights are long.\\par}");
        const int texts = p.doc.store().RecordCount(TopicId::Texts);
        // Cancelled: the dialog was shown and nothing changed.
        QVERIFY(!frame.contextCommand(20009, group));
        QCOMPARE(p.ui.dialogs.size(), std::size_t(1));
        QVERIFY(p.ui.dialogs.back() == store::FileDialog::ImportTexts);
        QVERIFY(!p.doc.canUndo());
        p.ui.fileLists = {p.dir.file("ben.txt"), p.dir.file("clara.rtf")};
        QVERIFY(frame.contextCommand(20009, group));
        QCOMPARE(p.doc.store().RecordCount(TopicId::Texts), texts + 2);
        QCoreApplication::processEvents();
        auto* docTree = frame.view(ViewBit::DocumentSystem)->findChild<QTreeWidget*>();
        QVERIFY(!docTree->findItems("ben", Qt::MatchRecursive | Qt::MatchStartsWith).isEmpty());
        // Both texts go back with one Undo.
        QVERIFY(frame.runCommand(CommandId::Undo));
        QCOMPARE(p.doc.store().RecordCount(TopicId::Texts), texts);
        QVERIFY(!p.doc.canUndo());

        test::writeAll(p.dir.file("tagged.txt"),
                       "#TEXT Dora\n#CODE Work\nShifts.\n#ENDCODE\n#ENDTEXT\n");
        p.ui.fileLists = {p.dir.file("tagged.txt")};
        QVERIFY(frame.contextCommand(20019, group));
        QVERIFY(p.ui.dialogs.back() == store::FileDialog::PreprocessTexts);
        QCOMPARE(p.doc.store().RecordCount(TopicId::Texts), texts + 1);
        QVERIFY(frame.runCommand(CommandId::Undo));
        QCOMPARE(p.doc.store().RecordCount(TopicId::Texts), texts);
    }

    // Merge Projects and the four exchange commands ask for their file, do their work as one
    // step of the history, and a cancelled dialog changes nothing.
    void teamworkCommandsAreOneStepEach() {
        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.refreshAll();
        frame.updateCommands();
        QVERIFY(frame.command(32977) && frame.command(32977)->isEnabled());
        std::string error;
        QVERIFY(p.doc.Backup(p.dir.file("copy.vxp"), error));
        const int texts = p.doc.store().RecordCount(TopicId::Texts);
        QVERIFY(frame.runCommand(32977)); // cancelled
        QVERIFY(p.ui.dialogs.back() == store::FileDialog::MergeProjects);
        QVERIFY(!p.doc.canUndo());
        p.ui.files = {p.dir.file("copy.vxp")};
        QVERIFY(frame.runCommand(32977));
        QCOMPARE(p.doc.store().RecordCount(TopicId::Texts), 2 * texts);
        QCOMPARE(QString::fromStdString(p.doc.undoText()), QString("Undo Merge Projects"));
        QVERIFY(frame.runCommand(CommandId::Undo));
        QCOMPARE(p.doc.store().RecordCount(TopicId::Texts), texts);

        const std::int32_t anna = p.doc.store().ListIds(TopicId::Texts).front();
        p.ui.files = {p.dir.file("anna")};
        QVERIFY(frame.contextCommand(20027, anna));
        QVERIFY(p.ui.dialogs.back() == store::FileDialog::ExportFragment);
        QVERIFY(QFileInfo::exists(QString::fromStdString(p.dir.file("anna.vxe"))));
        // Every coding is there already: asked, imported, nothing added.
        const int codings = p.doc.store().RecordCount(TopicId::Codings);
        p.ui.files = {p.dir.file("anna.vxe")};
        p.ui.answers = {true};
        QVERIFY(frame.contextCommand(20028, anna));
        QVERIFY(p.ui.dialogs.back() == store::FileDialog::ImportFragment);
        QVERIFY(p.ui.questions.back().find("Text:\tAnna") != std::string::npos);
        QCOMPARE(p.doc.store().RecordCount(TopicId::Codings), codings);
        p.ui.files = {p.dir.file("codes")};
        QVERIFY(frame.contextCommand(20058, 0));
        QVERIFY(QFileInfo::exists(QString::fromStdString(p.dir.file("codes.vxt"))));
        p.ui.files = {p.dir.file("codes.vxt")};
        QVERIFY(frame.contextCommand(20059, 0));
        QVERIFY(p.ui.dialogs.back() == store::FileDialog::ImportCodeSystem);
    }

    void noEnabledCommandDoesNothing() {
        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.refreshAll();
        frame.updateCommands();
        // The main menu offers no operation that is not built.
        std::vector<QMenu*> menus;
        for (QAction* a : frame.menuBar()->actions())
            if (a->menu()) menus.push_back(a->menu());
        for (std::size_t k = 0; k < menus.size(); ++k)
            for (QAction* a : menus[k]->actions()) {
                if (a->menu()) menus.push_back(a->menu());
                if (a->isEnabled() && notBuilt.count(a->data().toInt()))
                    QFAIL(qPrintable("enabled but not built: " + a->text()));
            }

        // Every enabled context command of every object, answered with "cancel" wherever it
        // asks: it changes something, says something, or is a state already reached.
        struct Run {
            int id;
            std::int32_t object;
            int kind;
        };
        std::vector<Run> runs;
        for (QTreeWidget* tree : {frame.view(ViewBit::DocumentSystem)->findChild<QTreeWidget*>(),
                                  frame.view(ViewBit::CodeSystem)->findChild<QTreeWidget*>()}) {
            QVERIFY(tree);
            tree->expandAll();
            // One object of each kind, gathered before any menu runs an event loop.
            std::map<ContextMenu, std::pair<int, std::int32_t>> objects;
            for (QTreeWidgetItemIterator it(tree); *it; ++it) {
                const int kind = (*it)->data(0, Qt::UserRole).toInt();
                if (kind != 0)
                    objects.emplace(menuOf(kind),
                                    std::pair{kind, (*it)->data(0, Qt::UserRole + 1).toInt()});
            }
            for (const auto& [menu, object] : objects) {
                QTreeWidgetItem* item = nullptr;
                for (QTreeWidgetItemIterator it(tree); *it && !item; ++it)
                    if ((*it)->data(0, Qt::UserRole).toInt() == object.first &&
                        (*it)->data(0, Qt::UserRole + 1).toInt() == object.second)
                        item = *it;
                QVERIFY(item);
                for (int id : enabledEntries(tree, item)) {
                    QVERIFY2(id > 0, "no context menu came up");
                    QVERIFY2(!notBuilt.count(id), qPrintable(QString::number(id)));
                    runs.push_back({id, object.second, object.first});
                }
            }
        }
        QVERIFY2(runs.size() > 40, qPrintable(QString::number(runs.size())));
        std::set<int> silent;
        // A dialog a command opens (the coder's) is answered with Cancel.
        int dialogs = 0;
        QTimer canceller;
        QObject::connect(&canceller, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++dialogs;
                d->reject();
            }
        });
        canceller.start(10);
        for (const auto& [id, object, kind] : runs) {
            const std::size_t asked = p.asked();
            const int shown = dialogs;
            const bool changed = frame.contextCommand(id, object, kind);
            if (!changed && p.asked() == asked && dialogs == shown) silent.insert(id);
            // A rename leaves its editor open; Escape gives the name back.
            if (QWidget* w = QApplication::focusWidget()) QTest::keyClick(w, Qt::Key_Escape);
        }
        // Only commands that set a state already there (activation, order, colour).
        const std::set<int> alreadyThere = {20005, 20007, 20008, 20011, 20012, 20016, 20030,
                                            20031, 20035, 20036, 20037, 20038, 20050, 20051,
                                            20052, 20065, 20069, 20070, 20071, 20072, 20073};
        QString unexplained;
        for (int id : silent)
            if (!alreadyThere.count(id)) unexplained += QString::number(id) + " ";
        QVERIFY2(unexplained.isEmpty(), qPrintable("silent: " + unexplained));
        canceller.stop();

        // Every enabled main menu command but Exit, with any window it opens closed at once.
        int windows = 0;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ++windows;
                d->reject();
            }
        });
        closer.start(10);
        auto* text = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        QVERIFY(text);
        std::set<int> quiet;
        int ran = 0;
        for (QMenu* m : menus)
            for (QAction* a : m->actions()) {
                const int id = a->data().toInt();
                frame.updateCommands();
                if (a->menu() || a->isSeparator() || !a->isEnabled() || !a->isVisible() ||
                    id == 57665)
                    continue;
                const std::size_t asked = p.asked();
                const int before = windows, view = frame.viewState();
                const std::string history = p.doc.undoText() + "|" + p.doc.redoText();
                const QTextCharFormat typing = text->currentCharFormat();
                const bool checked = a->isChecked();
                // A window opened by an earlier command (a list, a dialog shown without
                // waiting) would only be raised again.
                const auto otherWindows = [&frame] {
                    QList<QWidget*> shown;
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (w != &frame && w->isVisible() && !qobject_cast<QMenu*>(w)) shown << w;
                    return shown;
                };
                for (QWidget* w : otherWindows())
                    w->close();
                QCoreApplication::processEvents();
                a->trigger();
                ++ran;
                QCoreApplication::processEvents();
                const bool listShown = !otherWindows().isEmpty();
                // A checked item chosen again is a state already there.
                if (p.asked() == asked && windows == before && frame.viewState() == view &&
                    !listShown && p.doc.undoText() + "|" + p.doc.redoText() == history &&
                    text->currentCharFormat() == typing && a->isChecked() == checked && !checked)
                    quiet.insert(id);
            }
        closer.stop();
        QVERIFY2(ran > 25, qPrintable(QString::number(ran)));
        QVERIFY2(p.doc.isOpen(), "a main menu command closed the project");
        // Reset Activation with nothing active has nothing to reset.
        QString unexplainedQuiet;
        for (int id : quiet)
            if (id != 32996) unexplainedQuiet += QString::number(id) + " ";
        QVERIFY2(unexplainedQuiet.isEmpty(), qPrintable("quiet: " + unexplainedQuiet));
    }

    // The table of routed commands against the menus and toolbars: every id has its one
    // item, an item for an operation not built is disabled and does nothing, and every
    // context command of an operation not built is refused wherever it is offered.
    void routingTableIsComplete() {
        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.refreshAll();
        frame.openText(p.doc.store().ListIds(TopicId::Texts).front());
        auto* text = frame.view(ViewBit::TextBrowser)->findChild<QTextEdit*>();
        QTextCursor c = text->textCursor();
        c.setPosition(0);
        c.setPosition(4, QTextCursor::KeepAnchor);
        text->setTextCursor(c);
        frame.updateCommands();

        std::map<int, std::vector<QAction*>> carried;
        std::vector<QAction*> actions;
        for (QAction* a : frame.menuBar()->actions())
            actions.push_back(a);
        for (QToolBar* bar : frame.findChildren<QToolBar*>())
            for (QAction* a : bar->actions())
                actions.push_back(a);
        for (std::size_t k = 0; k < actions.size(); ++k) {
            QAction* a = actions[k];
            if (a->menu())
                for (QAction* inner : a->menu()->actions())
                    actions.push_back(inner);
            if (a->data().toInt() != 0) carried[a->data().toInt()].push_back(a);
        }
        QString missing, strays;
        for (const MainCommand& m : mainCommands()) {
            const auto it = carried.find(m.id);
            if (it == carried.end()) {
                missing += QString::number(m.id) + " ";
                continue;
            }
            // A toolbar button is the menu's own item, never a second route.
            for (QAction* a : it->second)
                if (a != frame.command(m.id)) strays += QString::number(m.id) + " ";
            QAction* a = frame.command(m.id);
            if (a->property("unbuilt").toBool()) {
                QVERIFY2(!a->isEnabled(), qPrintable(QString::number(m.id)));
                QCOMPARE(a->toolTip(), QString(unbuiltReason));
                const std::size_t asked = p.asked();
                QVERIFY(!frame.runCommand(m.id));
                QCOMPARE(p.asked(), asked);
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable("missing from the menus: " + missing));
        QVERIFY2(strays.isEmpty(), qPrintable("not routed: " + strays));
        // The ids the routing table does not give are the frame's own (Undo, Redo, the
        // tinting); anything else would be a command no table knows.
        for (const auto& [id, items] : carried) {
            const bool known =
                std::any_of(mainCommands().begin(), mainCommands().end(),
                            [id = id](const MainCommand& m) { return m.id == id; }) ||
                id == CommandId::Undo || id == CommandId::Redo || id == CommandId::TintPassages;
            QVERIFY2(known, qPrintable("not in the table: " + QString::number(id)));
        }

        // Context commands whose operation is not built: disabled on every object.
        const std::int32_t anyText = p.doc.store().ListIds(TopicId::Texts).front();
        for (const auto& c : analysis::contextCommands()) {
            if (analysis::ContextCommands::Available(c.id)) continue;
            const std::size_t asked = p.asked();
            QVERIFY(!frame.contextCommand(c.id, 0));
            QVERIFY(!frame.contextCommand(c.id, anyText));
            QCOMPARE(p.asked(), asked);
            if (QAction* a = frame.command(c.id)) QVERIFY(!a->isEnabled());
        }
    }

    void exportsWriteWhatTheWindowsShow() {
        Project p;
        QVERIFY(p.open());
        CMainFrame frame(p.doc, p.ws, p.retrieval, p.settings);
        frame.show();
        frame.refreshAll();
        // The Document System and the Code System as RTF, their lines in the windows' order.
        for (auto [id, first] : {std::pair{33019, "Text Groups"}, {33020, "Code System"}}) {
            const std::string path = p.dir.file(std::to_string(id) + ".rtf");
            p.ui.files = {path};
            QVERIFY(frame.runCommand(id));
            QVERIFY(p.ui.dialogs.back() == store::FileDialog::ExportRtf);
            const std::string plain = platform::RichText::fromRtf(test::readAll(path)).plainText();
            QVERIFY2(plain.rfind(first, 0) == 0, plain.c_str());
        }
        const std::string codes =
            platform::RichText::fromRtf(test::readAll(p.dir.file("33020.rtf"))).plainText();
        QVERIFY(codes.find("Work (1)") < codes.find("Sleep (1)"));

        // The matrix: every code (none active, so nothing is asked).
        const std::string matrix = p.dir.file("m.txt");
        p.ui.files = {matrix};
        QVERIFY(frame.runCommand(33023));
        QVERIFY(p.ui.dialogs.back() == store::FileDialog::ExportMatrix);
        QVERIFY(p.ui.questions.empty());
        QVERIFY(test::readAll(matrix).rfind("Textname\tWork\tSleep\r\n", 0) == 0);
        // A file that cannot be made is said so, and nothing is left behind.
        p.ui.files = {p.dir.file("gone/m.txt")};
        QVERIFY(frame.runCommand(33023));
        QCOMPARE(p.ui.messages.size(), std::size_t(1));
        QVERIFY(p.ui.messages.back().icon == store::MessageIcon::Stop);
        QVERIFY(!QFile::exists(QString::fromStdString(p.dir.file("gone"))));
        p.ui.files = {p.dir.file("gone/x.rtf")};
        QVERIFY(frame.runCommand(33019));
        QCOMPARE(p.ui.messages.size(), std::size_t(2));
        QVERIFY(p.ui.said("The file " + p.dir.file("gone/x.rtf") +
                          " cannot be written: the folder does not exist."));
        QVERIFY(!p.doc.canUndo());
    }
};

QTEST_MAIN(CommandAuditTest)
#include "CommandAuditTest.moc"
