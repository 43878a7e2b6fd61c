#include "TestSupport.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "shell/CoderDialog.h"
#include "shell/DictionaryDialog.h"
#include "shell/LexaCommands.h"
#include "shell/LexaOptionsDialog.h"
#include "shell/ListGridView.h"
#include "shell/MainFrame.h"
#include "shell/ObjList.h"
#include "shell/StopListDialog.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "wordanalysis/Dictionary.h"
#include "wordanalysis/WordFrequencies.h"

#include <QAbstractItemDelegate>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTextEdit>
#include <QtTest>
#include <filesystem>
#include <unistd.h>

using namespace vexana;
using namespace vexana::shell;
namespace TopicId = store::TopicId;

namespace {

// A project of two texts, one of them coded, opened in a main window whose working folder
// (where StopList.txt and Default.vxl belong) is a fresh one.
struct Desk {
    explicit Desk(const std::string& dictionary = {}) {
        ::chdir(dir.path().c_str());
        {
            store::CVexDoc maker(ui, recent);
            analysis::Workspace makerWs(maker);
            test::writeAll(dir.file("doc.txt"),
                           "#TEXT Anna\n#CODE Work\nHaus, haus. HAUS and a child.\n#ENDCODE\n"
                           "Handle the secondhand.\n#ENDTEXT\n#TEXT Ben\nBaum und Haus.\n"
                           "#ENDTEXT\n");
            made = maker.OpenPath(dir.file("p.vxp"), false) &&
                   exchange::TextImport(makerWs).PreprocessFiles(makerWs.documents().NewTextGroup(),
                                                                 {dir.file("doc.txt")}) == 2;
        }
        if (!dictionary.empty()) settings.profile().writeString("QNT", "Dictionar", dictionary);
        made = made && doc.OpenPath(dir.file("p.vxp"), false);
        frame = std::make_unique<CMainFrame>(doc, ws, retrieval, settings);
        ui.messages.clear();
    }
    ~Desk() {
        frame.reset();
        ::chdir("/");
    }
    LexaCommands& lexa() { return frame->lexa(); }
    std::string words(const std::vector<std::int32_t>& ids) {
        std::string out;
        for (std::int32_t id : ids)
            out += doc.store().GetText(TopicId::WordFrequencies, id, 2) + " ";
        return out;
    }

    test::TempDir dir;
    test::ScriptedUserInterface ui;
    store::RecentProjects recent;
    store::AppSettings settings{dir.file("vexapp.ini")};
    store::CVexDoc doc{ui, recent};
    analysis::Workspace ws{doc};
    analysis::Retrieval retrieval{ws};
    std::unique_ptr<CMainFrame> frame;
    bool made = false;
};

// Types into the editor a list has open and ends the edit with Return.
bool typeIntoEditor(QAbstractItemView* view, const QString& text) {
    auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
    if (!editor) return false;
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate closes its editor a moment later
    return true;
}

void look(QWidget& w, const char* name) {
    // For a person to look at (VEXANA_LOOK=folder); never compared.
    if (const QString folder = qEnvironmentVariable("VEXANA_LOOK"); !folder.isEmpty())
        w.grab().save(QString("%1/lexa-%2.png").arg(folder, name));
}

} // namespace

class LexaTest : public QObject {
    Q_OBJECT
private slots:
    void stopListDialogEditsAndWritesOnlyAfterAChange() {
        test::TempDir dir;
        test::ScriptedUserInterface ui;
        store::AppSettings settings(dir.file("vexapp.ini"));
        wordanalysis::StopList list;
        list.add("der");
        const browser::WordDelimiters delimiters;
        const std::string file = dir.file("StopList.txt");
        {
            StopListDialog d(list, delimiters, settings, ui, file);
            d.show();
            d.reject();
            QVERIFY(!std::filesystem::exists(file)); // nothing changed, nothing written
        }
        StopListDialog d(list, delimiters, settings, ui, file);
        d.show();
        d.newEntry();
        QVERIFY(typeIntoEditor(d.list(), "Und"));
        QCOMPARE(list.words(), (std::vector<std::string>{"der", "und"}));
        // A word with a blank is refused with a message and changes nothing.
        d.newEntry();
        QVERIFY(typeIntoEditor(d.list(), "zwei worte"));
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QCOMPARE(list.size(), std::size_t(2));
        d.list()->clearSelection();
        QVERIFY(!d.button("Delete")->isEnabled()); // nothing selected to delete
        d.list()->setCurrentRow(0);
        d.list()->item(0)->setSelected(true);
        QVERIFY(d.button("Delete")->isEnabled());
        QTest::keyClick(&d, Qt::Key_Delete);
        QCOMPARE(list.words(), std::vector<std::string>{"und"});
        // Open replaces, Add merges; the last folder is kept.
        test::writeAll(dir.file("a.txt"), "Eins\r\nzwei;drei");
        ui.files = {dir.file("a.txt"), dir.file("a.txt")};
        d.openFile(false);
        QCOMPARE(list.words(), (std::vector<std::string>{"drei", "eins", "zwei"}));
        list.clear();
        list.add("vier");
        d.openFile(true);
        QCOMPARE(list.size(), std::size_t(4));
        QCOMPARE(wordanalysis::storedStopListFolder(settings), dir.path() + "/");
        // A file that cannot be read leaves the list as it is.
        ui.files = {dir.file("missing.txt")};
        d.openFile(false);
        QCOMPARE(list.size(), std::size_t(4));
        // An entry edited in place (a double-click) is replaced by what was typed.
        d.list()->setCurrentRow(1);
        d.list()->editItem(d.list()->item(1));
        QVERIFY(typeIntoEditor(d.list(), "Fünf"));
        look(d, "stoplist");
        d.accept();
        QCOMPARE(test::readAll(file), std::string("drei\r\nf\xFCnf\r\nvier\r\nzwei\r\n")); // 8-bit
        QVERIFY(settings.profile().readString("StopList", "WindowPos") != "");
    }

    void optionsAreTakenOverOnClose() {
        test::TempDir dir;
        test::ScriptedUserInterface ui;
        store::AppSettings settings(dir.file("vexapp.ini"));
        wordanalysis::WordOptions options;
        LexaOptionsDialog d(options, settings, ui);
        d.show();
        look(d, "options");
        d.delimiters()->setPlainText(". , ;\n!");
        d.caseSensitive()->setChecked(true);
        d.oneWordCount()->setChecked(true);
        ui.files = {dir.file("doc.rtf")};
        for (QPushButton* b : d.findChildren<QPushButton*>())
            if (b->text() == "...") b->click();
        QCOMPARE(d.validatePath()->text().toStdString(), dir.file("doc.rtf"));
        QVERIFY(d.validate()->isChecked());
        d.reject(); // closing in any way takes the values over
        QCOMPARE(options.delimiters, std::string(".,;!"));
        QVERIFY(options.caseSensitive);
        QCOMPARE(settings.profile().readString("QNT", "Delimiters"), std::string(".,;!"));
        QCOMPARE(settings.qntFlag("CaseWordCount"), 1);
        QCOMPARE(settings.qntFlag("OneWordCount"), 1);
        QCOMPARE(settings.qntFlag("NoEmptyItems"), 0);
        QCOMPARE(settings.qntFlag("Validate"), 1);
        QCOMPARE(settings.profile().readString("QNT", "ValidateDir"), dir.file("doc.rtf"));
        QVERIFY(defaultDocumentationPath().ends_with("Validate.rtf"));
    }

    void wordListMenuAddsToStopListAndIndexes() {
        Desk desk;
        QVERIFY(desk.made);
        QVERIFY(desk.frame->runCommand(33065));
        ObjList* list = desk.lexa().showWordList();
        QVERIFY(list);
        QCOMPARE(list->titleLine()->text(), QString("    In 2 Texts  (12 Words Total)"));
        const auto& ids = list->ids();
        for (std::size_t row = 0; row < ids.size(); ++row)
            if (desk.words({ids[row]}) == "haus ") list->view()->selectRow(int(row));
        QCOMPARE(desk.words(list->selectedIds()), std::string("haus "));
        // The word list's own menu, read while it is up.
        QStringList entries;
        QTimer::singleShot(0, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* a : menu->actions())
                    entries << a->text() + (a->isEnabled() ? "" : " (off)");
                menu->close();
            }
        });
        emit list->view()->customContextMenuRequested(QPoint(5, 5));
        QCOMPARE(entries,
                 QStringList({"Create Index", "Add to Dictionary (off)", "Add to Stop-List"}));
        // Create Index: the text search for the word, its results listed.
        QVERIFY(desk.frame->contextCommand(20104, 0, 0));
        QCOMPARE(desk.doc.store().RecordCount(TopicId::SearchResults), 4);
        // Add to Stop-List: written beside the program; the next count leaves the word out.
        QVERIFY(desk.frame->contextCommand(20102, 0, 0));
        QCOMPARE(test::readAll(desk.dir.file("StopList.txt")), std::string("haus\r\n"));
        QVERIFY(!desk.frame->contextCommand(20102, 0, 0)); // already there
        // Add to Dictionary only while the dictionary is open.
        QVERIFY(!desk.frame->contextCommand(20101, 0, 0));
        QCOMPARE(desk.ui.messages.size(), std::size_t(1));
        QVERIFY(desk.frame->runCommand(33065));
        QCOMPARE(desk.lexa().words().total(), 8);
        // Only dictionary words: an empty dictionary leaves the list empty.
        QVERIFY(desk.frame->runCommand(33090));
        QVERIFY(desk.frame->command(33090)->isChecked());
        QCOMPARE(desk.settings.qntFlag("GoList"), 1);
        QVERIFY(desk.frame->runCommand(33065));
        QCOMPARE(desk.doc.store().RecordCount(TopicId::WordFrequencies), 0);
    }

    void dictionaryIsWrittenBackOnlyWhenChanged() {
        test::TempDir keep;
        const std::string vxl = keep.file("d.vxl");
        // LF-only lines, the last one without an end: read all the same.
        test::writeAll(vxl, "Family\t0\n\tchild\t0\t1\t0\t0\n\thaus\t0\t0\t0\t1");
        {
            Desk desk(vxl);
            QVERIFY(desk.made);
            QCOMPARE(desk.lexa().dictionary().categories().size(), std::size_t(1));
            desk.doc.CloseProject();
            QCOMPARE(test::readAll(vxl),
                     std::string("Family\t0\n\tchild\t0\t1\t0\t0\n\thaus\t0\t0\t0\t1"));
            // The next project has a store of its own; the dictionary is read into it.
            QVERIFY(desk.doc.OpenPath(desk.dir.file("p.vxp"), false));
            QCOMPARE(desk.lexa()
                         .dictionary()
                         .items(desk.lexa().dictionary().findCategory("family"))
                         .size(),
                     std::size_t(2));
        }
        {
            Desk desk(vxl);
            QVERIFY(desk.frame->runCommand(33084));
            DictionaryDialog* d = desk.lexa().dictionaryDialog();
            QVERIFY(d && d->isVisible());
            QCOMPARE(d->itemTable()->rowCount(), 2);
            d->newCategory();
            QVERIFY(typeIntoEditor(d->categoryList(), "work"));
            d->newCategory();
            QVERIFY(typeIntoEditor(d->categoryList(), "FAMILY")); // taken, without case
            QCOMPARE(desk.ui.messages.size(), std::size_t(1));
            QCOMPARE(d->categoryList()->count(), 2);
            QCOMPARE(d->categoryList()->currentItem()->text(), QString("work"));
            d->newItem();
            QVERIFY(typeIntoEditor(d->itemTable(), "job"));
            QCOMPARE(d->itemTable()->rowCount(), 1);
            d->itemTable()->item(0, 1)->setCheckState(Qt::Checked);
            // Add to Dictionary from the word list: the new words, selected.
            QVERIFY(desk.frame->runCommand(33065));
            ObjList* list = desk.lexa().showWordList();
            list->view()->selectAll();
            QVERIFY(desk.frame->contextCommand(20101, 0, 0));
            QCOMPARE(d->itemTable()->rowCount(), 1 + int(list->ids().size()));
            QCOMPARE(d->itemTable()->selectionModel()->selectedRows().size(),
                     int(list->ids().size()));
            look(*d, "dictionary");
            // Deleting asks first.
            desk.ui.answers = {false};
            d->deleteCategory();
            QCOMPARE(desk.ui.questions.back(), std::string("Delete Category?"));
            QCOMPARE(d->categoryList()->count(), 2);
            // Open: the changed dictionary is kept in its file first, then the other is read
            // and becomes the project's dictionary.
            test::writeAll(keep.file("other.vxl"), "Other\t1\r\n");
            desk.ui.files = {keep.file("other.vxl")};
            d->openFile(false);
            QVERIFY(test::readAll(vxl).find("work\t0\r\n") != std::string::npos);
            QCOMPARE(d->categoryList()->count(), 1);
            QCOMPARE(desk.settings.dictionaryPath(), keep.file("other.vxl"));
            desk.ui.answers = {true};
            d->deleteAll();
            QCOMPARE(d->categoryList()->count(), 0);
            // Nothing left to delete: those buttons are off.
            for (const char* name : {"deleteAll", "deleteCategory", "deleteItems", "newItem"})
                QVERIFY2(!d->findChild<QPushButton*>(name)->isEnabled(), name);
            desk.ui.files = {keep.file("saved.vxl")};
            d->saveFile();
            QCOMPARE(test::readAll(keep.file("saved.vxl")), std::string());
            QCOMPARE(desk.settings.dictionaryPath(), keep.file("saved.vxl"));
            const QPointer<DictionaryDialog> gone(d);
            desk.doc.CloseProject();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!gone);
            QCOMPARE(test::readAll(keep.file("other.vxl")), std::string("Other\t1\r\n"));
            const std::string written = test::readAll(vxl);
            QVERIFY(written.starts_with("Family\t0\r\n\tchild\t0\t1\t0\t0\r\n"));
            QVERIFY(written.find("work\t0\r\n\tjob\t0\t1\t0\t0\r\n") != std::string::npos);
        }
        // A path that cannot be read is never written over.
        std::filesystem::create_directory(keep.file("dir.vxl"));
        Desk desk(keep.file("dir.vxl"));
        QCOMPARE(desk.ui.messages.size(), std::size_t(0)); // told at the open, cleared since
        desk.lexa().dictionary().newCategory("new", 0);
        desk.doc.CloseProject();
        QVERIFY(std::filesystem::is_directory(keep.file("dir.vxl")));
        QVERIFY(!desk.ui.messages.empty());
        QVERIFY(desk.ui.messages.back().text.find("not written over") != std::string::npos);
    }

    void coderRunsOnTheClickedObject() {
        test::TempDir keep;
        const std::string vxl = keep.file("d.vxl");
        test::writeAll(vxl, "Home\t0\r\n\thaus\t0\t1\t0\t0\r\nNature\t0\r\n\tbaum\t0\t0\t0\t0\r\n");
        Desk desk(vxl);
        QVERIFY(desk.made);
        desk.frame->updateCommands();
        QVERIFY(!desk.frame->command(33098)->isEnabled());
        const store::TopicStore& st = desk.doc.store();
        const std::int32_t work = st.ListIds(TopicId::Codes).front();
        const std::int32_t ben = st.ListIds(TopicId::Texts).back();
        desk.settings.profile().writeInt("QNT", "Validate", 1);
        desk.ui.files = {keep.file("doc.rtf")};
        bool shown = false;
        desk.lexa().execCoder = [&](CoderDialog& d) {
            shown = true;
            look(d, "coder");
            // Level 0 leaves the codes aside; level 1 on Work.
            d.levelBox()->setValue(0);
            if (d.codeList()->isEnabled()) return false;
            d.setAll(true);
            d.levelBox()->setValue(5);
            return d.level() == 1 && d.codes() == std::vector<std::int32_t>{work};
        };
        // On the text group root: all texts, one row per text and code.
        QVERIFY(desk.frame->contextCommand(20103, 0, TopicId::GroupsRoot));
        QVERIFY(shown);
        QCOMPARE(st.RecordCount(TopicId::CoderResults), 2);
        desk.frame->updateCommands();
        QVERIFY(desk.frame->command(33098)->isEnabled());
        ObjList* results = desk.lexa().showCoderResults();
        QVERIFY(results && results->isVisible());
        QCOMPARE(results->kind(), TopicId::CoderResults);
        QCOMPARE(st.GetField(TopicId::CoderResults, 7)->name, std::string("Home"));
        QCOMPARE(st.GetField(TopicId::CoderResults, 8)->name, std::string("Nature"));
        // The documentation file was asked for once and kept.
        QCOMPARE(desk.settings.profile().readString("QNT", "ValidateDir"), keep.file("doc.rtf"));
        const std::string tag =
            "[" + std::to_string(desk.lexa().dictionary().findCategory("Home")) + "]";
        QVERIFY(test::readAll(keep.file("doc.rtf")).find(tag) != std::string::npos);
        std::string depth, codes;
        QVERIFY(desk.doc.database()->GetSetup("QntDepth", depth));
        QVERIFY(desk.doc.database()->GetSetup("QntCodes", codes));
        QCOMPARE(depth, std::string("1"));
        QCOMPARE(codes, "[" + std::to_string(work) + "]");
        // On one text, cancelled: the last results stay.
        desk.lexa().execCoder = [](CoderDialog&) { return false; };
        QVERIFY(!desk.frame->contextCommand(20103, ben, TopicId::Texts));
        QCOMPARE(st.RecordCount(TopicId::CoderResults), 2);
        // Level 0 on one text: one row, the text's whole words.
        desk.lexa().execCoder = [](CoderDialog& d) {
            d.levelBox()->setValue(0);
            return true;
        };
        QVERIFY(desk.frame->contextCommand(20103, ben, TopicId::Texts));
        QCOMPARE(st.RecordCount(TopicId::CoderResults), 1);
        const std::int32_t row = st.ListIds(TopicId::CoderResults).front();
        QCOMPARE(st.GetInt(TopicId::CoderResults, row, 6), 3); // Words
        QCOMPARE(st.GetInt(TopicId::CoderResults, row, 8), 1); // Nature: Baum
        desk.doc.CloseProject();
        QVERIFY(!desk.lexa().hasCoderResults());
    }
};

QTEST_MAIN(LexaTest)
#include "LexaTest.moc"
