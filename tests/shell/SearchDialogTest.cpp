#include "shell/SearchDialog.h"

#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "shell/HitsDialog.h"
#include "shell/ObjList.h"
#include "shell/TextSearchCommands.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

using namespace vexana;
using namespace vexana::store;

namespace {

struct Project {
    test::TempDir dir;
    test::ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;
    AppSettings settings{dir.file("vexapp.ini")};
    QWidget main;
    std::int32_t a = 0, b = 0;

    Project() {
        if (!doc.OpenPath(dir.file("p.vxp"), false)) return;
        ws = std::make_unique<analysis::Workspace>(doc);
        const std::int32_t group = ws->documents().NewTextGroup();
        const auto text = [&](const char* name, const char* body) {
            return ws->documents().CreateTextWith(group, name,
                                                  platform::RichText::fromPlain(body).toRtf());
        };
        a = text("A", "The cat sat.\nA dog.\nNo cat here.");
        b = text("B", "dog and dog");
    }
    QStringList entries(shell::SearchDialog& d) const {
        QStringList out;
        for (int i = 0; i < d.strings()->count(); ++i)
            out << d.strings()->item(i)->text();
        return out;
    }
};

} // namespace

class SearchDialogTest : public QObject {
    Q_OBJECT

private slots:
    void stringsOptionsAndEnabling() {
        Project p;
        QVERIFY(p.b > 0);
        shell::SearchDialog d(p.settings, p.ui);
        QCOMPARE(d.windowTitle(), QString("Search"));
        // No strings: only the list, New, Open and Close.
        QVERIFY(d.newButton()->isEnabled() && d.openButton()->isEnabled() &&
                d.closeButton()->isEnabled());
        for (QWidget* w : std::initializer_list<QWidget*>{
                 d.deleteButton(), d.runButton(), d.saveButton(), d.orButton(), d.andButton(),
                 d.withinBox(), d.paragraphsBox(), d.wholeWordsBox(), d.onlyActiveBox()})
            QVERIFY(!w->isEnabled());

        // New twice, then an edit that another entry already has, ignoring case, is refused.
        d.addString();
        d.addString();
        QCOMPARE(p.entries(d), QStringList({"Search String 1", "Search String 2"}));
        QVERIFY(d.runButton()->isEnabled() && d.orButton()->isEnabled());
        d.strings()->item(0)->setText("search string 2");
        QCOMPARE(p.entries(d).front(), QString("Search String 1"));
        d.addString();
        QCOMPARE(p.entries(d).back(), QString("Search String 3"));
        // Trimmed; empty and "|" refused, the latter with a message.
        d.strings()->item(0)->setText("  cat ");
        d.strings()->item(1)->setText("");
        d.strings()->item(2)->setText("a|b");
        QCOMPARE(p.entries(d), QStringList({"cat", "Search String 2", "Search String 3"}));
        QVERIFY(p.ui.messages.back().text.find("\"|\"") != std::string::npos);

        // Within only with AND; the number only with both.
        QVERIFY(!d.withinBox()->isEnabled());
        d.andButton()->setChecked(true);
        QVERIFY(d.withinBox()->isEnabled() && !d.paragraphsBox()->isEnabled());
        d.withinBox()->setChecked(true);
        QVERIFY(d.paragraphsBox()->isEnabled());
        d.orButton()->setChecked(true);
        QVERIFY(!d.withinBox()->isEnabled() && !d.paragraphsBox()->isEnabled());
        // Retrieved segments only with active texts in texts; a click on active clears it.
        QVERIFY(d.onlyActiveBox()->isEnabled() && !d.onlyRetrievedBox()->isEnabled());
        d.onlyActiveBox()->click();
        QVERIFY(d.onlyRetrievedBox()->isEnabled());
        d.onlyRetrievedBox()->setChecked(true);
        d.onlyActiveBox()->click();
        d.onlyActiveBox()->click();
        QVERIFY(!d.onlyRetrievedBox()->isChecked());
        d.inMemosButton()->setChecked(true);
        QVERIFY(!d.onlyActiveBox()->isEnabled() && !d.onlyRetrievedBox()->isEnabled());
        d.inTextsButton()->setChecked(true);

        // Delete removes the selected entries.
        d.strings()->clearSelection();
        QVERIFY(!d.deleteButton()->isEnabled());
        d.strings()->item(1)->setSelected(true);
        d.strings()->item(2)->setSelected(true);
        QVERIFY(d.deleteButton()->isEnabled());
        d.deleteStrings();
        QCOMPARE(p.entries(d), QStringList({"cat"}));
        QVERIFY(!d.orButton()->isEnabled());

        // Save and Open through .sea files; a file that cannot be read changes nothing.
        d.wholeWordsBox()->setChecked(true);
        p.ui.files.push_back(p.dir.file("s.sea"));
        d.saveSettings();
        QVERIFY(test::readAll(p.dir.file("s.sea")) == std::string("0|0|1|1|1|0|1|0|cat") + '\0');
        test::writeAll(p.dir.file("o.sea"), std::string("0|1|1|3|0|1|0|0|x|y", 19) + '\0');
        p.ui.files.push_back(p.dir.file("o.sea"));
        d.openSettings();
        QCOMPARE(p.entries(d), QStringList({"x", "y"}));
        QVERIFY(d.andButton()->isChecked() && d.withinBox()->isChecked() &&
                d.caseBox()->isChecked() && d.paragraphsBox()->value() == 3);
        p.ui.files.push_back(p.dir.file("none.sea"));
        d.openSettings();
        QCOMPARE(p.entries(d), QStringList({"x", "y"}));
        QVERIFY(p.ui.messages.back().icon == MessageIcon::Stop);

        // Close keeps the options and the folder for the next opening.
        d.reject();
        QVERIFY(p.settings.profile().readString("LookFor", "Data") == "0|1|1|3|0|1|0|0|x|y");
        QVERIFY(p.settings.profile().readString("LookFor", "DefaultPath") == p.dir.path() + "/");
        shell::SearchDialog again(p.settings, p.ui);
        QCOMPARE(p.entries(again), QStringList({"x", "y"}));
    }

    void hitsDialogEnablesTheNumberWithParagraph() {
        shell::HitsDialog d({0, 2});
        QCOMPARE(d.windowTitle(), QString("Hits"));
        QVERIFY(d.onlyStringButton()->isChecked() && !d.paragraphsBox()->isEnabled());
        d.paragraphButton()->setChecked(true);
        QVERIFY(d.paragraphsBox()->isEnabled());
        d.paragraphsBox()->setValue(500);
        QCOMPARE(d.context().mode, 1);
        QCOMPARE(d.context().paragraphs, 100);
    }

    void resultsAreListedCodedAsOneStepAndExported() {
        Project p;
        QVERIFY(p.b > 0);
        auto& commands = shell::TextSearchCommands::of(&p.main, *p.ws, p.settings);
        QCOMPARE(&shell::TextSearchCommands::of(&p.main, *p.ws, p.settings), &commands);
        QVERIFY(!shell::TextSearchCommands::resultsEnabled(*p.ws));
        browser::SearchSettings s;
        s.strings = {"cat", "dog"};
        commands.run(s);
        QVERIFY(shell::TextSearchCommands::resultsEnabled(*p.ws));
        shell::ObjList* list = commands.showResults();
        QVERIFY(list);
        QCOMPARE(list->kind(), TopicId::SearchResults);
        QCOMPARE(list->windowTitle(), QString("Search Results"));
        QVERIFY(list->titleLine()->text().contains("in 2 Texts"));
        QCOMPARE(list->ids().size(), std::size_t(5));
        QVERIFY(list->codeButton()->isVisibleTo(list) && list->optionsButton()->isVisibleTo(list));

        // Code: the Quick-List empty says so; a chosen code with its weight is one step.
        list->codeButton()->click();
        QVERIFY(p.ui.messages.back().text == "Quick-List is empty");
        const std::int32_t code = p.ws->codes().NewCode(0, "Animals", false);
        const std::string before = p.doc.undoText();
        p.ui.numbers.push_back(150);
        commands.context = {1, 0};
        QCOMPARE(commands.codeWith(code), 4);
        QVERIFY(p.ui.messages.back().text == "4 Text Segments coded");
        QCOMPARE(p.ws->options.defaultWeight, 100);
        QVERIFY(p.doc.undoText() != before);
        QVERIFY(p.doc.Undo());
        QCOMPARE(p.doc.store().FindIds(TopicId::Codings, TopicId::Codes, code).size(),
                 std::size_t(0));

        // Export through the owner, to the chosen file.
        commands.context = {};
        p.ui.files.push_back(p.dir.file("hits.rtf"));
        list->exportButton()->click();
        const auto written = platform::readFile(p.dir.file("hits.rtf"));
        QVERIFY(written && platform::RichText::fromRtf(*written).plainText().starts_with("A (1)"));

        // A search of the memos leaves the text results as they were.
        s.inMemos = true;
        commands.run(s);
        QCOMPARE(p.doc.store().RecordCount(TopicId::SearchResults), 5);
    }
};

QTEST_MAIN(SearchDialogTest)
#include "SearchDialogTest.moc"
