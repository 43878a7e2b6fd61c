#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "shell/ObjListWindows.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace vexana;
using namespace vexana::store;

// A project with two coded texts, the main window's stand-in and its settings.
struct Project {
    test::TempDir dir;
    test::ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;
    std::unique_ptr<analysis::Retrieval> retrieval;
    AppSettings settings{dir.file("vexapp.ini")};
    QWidget main;
    std::int32_t anna = 0, ben = 0, work = 0, c1 = 0, c2 = 0;

    Project() {
        if (!doc.OpenPath(dir.file("p.vxp"), false)) return;
        ws = std::make_unique<analysis::Workspace>(doc);
        retrieval = std::make_unique<analysis::Retrieval>(*ws);
        const std::int32_t group = ws->documents().NewTextGroup();
        const auto text = [&](const char* name, const char* plain) {
            return ws->documents().CreateTextWith(group, name,
                                                  platform::RichText::fromPlain(plain).toRtf());
        };
        anna = text("Anna", "One two three.\rFour.");
        ben = text("Ben", "Five six.\rSeven.");
        work = ws->codes().NewCode(0, "Work", false);
        c1 = code(anna, 0, 7, 40);
        c2 = code(ben, 0, 4, 100);
    }
    std::int32_t code(std::int32_t t, int a, int b, int weight) {
        analysis::CodingTemplate tpl;
        if (!ws->codings().TemplateFor(t, a, b, tpl)) return 0;
        tpl.code = work;
        tpl.weight = weight;
        std::int32_t batch = analysis::CodingOperations::NewBatch;
        ws->codings().AddCoding(tpl, batch);
        return ws->codings().lastCoding();
    }
    shell::ObjList* index() {
        const analysis::Overview o = retrieval->IndexOfCodedSegments();
        return shell::showObjectList(&main, doc, settings, o.topic, o.title, o.ids);
    }
};

class ObjListTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithItsKindAndIsRefilledWhenCalledAgain() {
        Project p;
        QVERIFY(p.c1 && p.c2);
        shell::ObjList* w = p.index();
        QCOMPARE(w->windowTitle(), QString("Coded Segments"));
        QCOMPARE(w->titleLine()->text(), QString("    all"));
        QCOMPARE(w->counterLine()->text(), QString("2 Coded Segments    "));
        QVERIFY(w->exportButton()->isVisible() && w->closeButton()->isVisible());
        QVERIFY(!w->codeButton()->isVisible() && !w->optionsButton()->isVisible());
        QCOMPARE(w->minimumHeight(), 152);
        QCOMPARE(w->minimumWidth(), 476 - w->codeButton()->sizeHint().width() - 7 -
                                        w->optionsButton()->sizeHint().width() - 7);
        QCOMPARE(w->view()->model()->columnCount(), 6);
        QCOMPARE(w->view()->model()->index(0, 0).data().toString(), QString("Anna"));

        // The same command again: the same window, minimised or not, with the new list.
        w->showMinimized();
        shell::ObjList* again = shell::showObjectList(&p.main, p.doc, p.settings, TopicId::Codings,
                                                      "Text: Ben", {p.c2});
        QCOMPARE(again, w);
        QVERIFY(!w->isMinimized());
        QCOMPARE(w->titleLine()->text(), QString("    Text: Ben"));
        QCOMPARE(w->counterLine()->text(), QString("1 Coded Segments    "));
        // Another kind has a window of its own.
        const analysis::Overview f = p.retrieval->FrequencyOfCodes();
        shell::ObjList* codes =
            shell::showObjectList(&p.main, p.doc, p.settings, f.topic, f.title, f.ids);
        QVERIFY(codes != w);
        QCOMPARE(codes->counterLine()->text(), QString("1 Codes    "));

        // Search results: Code and Options shown, but offered only with their work.
        shell::ObjList hits(p.doc, p.settings, TopicId::SearchResults, &p.main);
        hits.refill("Search Results", {});
        hits.show();
        QCOMPARE(hits.counterLine()->text(), QString("0 Hits    "));
        QVERIFY(hits.codeButton()->isVisible() && hits.optionsButton()->isVisible());
        QVERIFY(!hits.codeButton()->isEnabled() && !hits.optionsButton()->isEnabled());
        QCOMPARE(hits.minimumWidth(), 476);
        int sent = 0;
        hits.setOptionsHandler([&](int command) { sent = command; });
        QVERIFY(hits.optionsButton()->isEnabled());
        hits.optionsButton()->click();
        QCOMPARE(sent, 33001);

        // Closing keeps the place and the layout in the settings.
        w->move(60, 70);
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        AppSettings reread(p.dir.file("vexapp.ini"));
        reread.load();
        QVERIFY(reread.profile().hasKey("ObjList 10", "WindowPos"));
        QCOMPARE(reread.profile().readString("ObjList10", "Field3", ""), std::string("1,0,100,1"));
        // Opened again, it stands where it was: it does not creep by its frame.
        shell::ObjList reopened(p.doc, reread, TopicId::Codings, &p.main);
        QCOMPARE(reopened.pos(), QPoint(60, 70));
    }

    void headerMenuSwitchOffAndSelectFields() {
        Project p;
        shell::ObjList* w = p.index();
        shell::ListGridView* view = w->view();
        QMenu* menu = view->headerMenu(0);
        QStringList texts;
        for (QAction* a : menu->actions())
            texts << a->text();
        QCOMPARE(texts,
                 (QStringList{"Search", "Switch Off", "Insert New Variable", "Delete Variable",
                              "Rename", "List of values", "Select Fields"}));
        // Codings have no variables: those commands are not offered.
        QVERIFY(menu->actions()[0]->isEnabled() && menu->actions()[1]->isEnabled());
        QVERIFY(!menu->actions()[2]->isEnabled() && !menu->actions()[3]->isEnabled());
        delete menu;
        // Without a column under the mouse every command is disabled.
        QMenu* none = view->headerMenu(-1);
        for (QAction* a : none->actions())
            QVERIFY(!a->isEnabled());
        delete none;

        const int text = view->grid().columnOfField(CodingField::Text);
        view->runHeaderCommand(shell::ListGridView::SwitchOff, text);
        QCOMPARE(view->model()->columnCount(), 5);
        QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(), QString("Code"));

        view->askColumns = [](std::vector<bool>& shown) {
            shown.assign(6, false);
            shown[4] = true; // Weight Score
            return true;
        };
        view->runHeaderCommand(shell::ListGridView::SelectFields, 0);
        QCOMPARE(view->model()->columnCount(), 1);
        QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(), QString("Weight Score"));

        // Search sorts by the column and finds a typed value in it.
        view->runHeaderCommand(shell::ListGridView::SelectFields, 0);
        view->askColumns = [](std::vector<bool>& shown) {
            shown.assign(6, true);
            return true;
        };
        view->runHeaderCommand(shell::ListGridView::SelectFields, 0);
        view->runHeaderCommand(shell::ListGridView::Search, text);
        QCOMPARE(view->grid().sortColumn(), text);
        QVERIFY(view->searchField() && view->searchField()->isVisible());
        QTest::keyClicks(view->searchField(), "be");
        QCOMPARE(view->currentIndex().row(), 1);
    }

    void editingRefusesAWeightAndSortsByHeaderClick() {
        Project p;
        shell::ObjList* w = p.index();
        shell::ListGridView* view = w->view();
        QAbstractItemModel* m = view->model();
        const int weight =
            view->gridModel()->modelColumn(view->grid().columnOfField(CodingField::Weight));
        const QModelIndex cell = m->index(0, weight);
        QVERIFY(m->flags(cell) & Qt::ItemIsEditable);
        QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!m->setData(cell, "101"));
        QCOMPARE(cell.data().toString(), QString("40"));
        QCOMPARE(p.doc.store().GetInt(TopicId::Codings, p.c1, CodingField::Weight), 40);
        QVERIFY(m->setData(cell, "60"));
        QCOMPARE(p.doc.store().GetInt(TopicId::Codings, p.c1, CodingField::Weight), 60);
        // The edit is one step of the undo history.
        QVERIFY(p.doc.canUndo());
        QCOMPARE(QString::fromStdString(p.doc.undoText()), QString("Undo Edit Value"));

        // The in-place editor offers the field's values when its list of values is on.
        view->edit(cell);
        QVERIFY(view->findChild<QComboBox*>("listOfValues"));

        // A click on the weight header sorts ascending, a second one descending.
        QHeaderView* header = view->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(weight) + header->sectionSize(weight) / 2,
                        header->height() / 2);
        w->show();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(view->grid().rows(), (std::vector<std::int32_t>{p.c1, p.c2}));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(view->grid().rows(), (std::vector<std::int32_t>{p.c2, p.c1}));
        QCOMPARE(m->index(0, weight).data().toString(), QString("100"));
        QCOMPARE(header->sortIndicatorSection(), weight);
    }

    void exportsTextAndHtmlAndOffersTheLastTypeFirst() {
        Project p;
        shell::ObjList* w = p.index();
        QCOMPARE(w->exportFilters(), (QStringList{"Text (*.txt)", "HTML (*.htm)"}));
        QString opened;
        w->openDocument = [&](const QString& path) { opened = path; };
        QStringList offered;
        QString answer, filter;
        w->chooseExportPath = [&](const QStringList& filters, QString& chosen) {
            offered = filters;
            chosen = filter;
            return answer;
        };
        answer = QString::fromStdString(p.dir.file("index"));
        filter = "HTML (*.htm)";
        w->exportList();
        const std::string htm = p.dir.file("index.htm");
        QCOMPARE(opened, QString::fromStdString(htm));
        QVERIFY(test::readAll(htm).find("<FONT face=\"Verdana\" size=\"1\">Anna</FONT>") !=
                std::string::npos);
        QCOMPARE(w->exportType(), std::string("htm"));
        QCOMPARE(w->exportFilters().front(), QString("HTML (*.htm)"));

        opened.clear();
        answer = QString::fromStdString(p.dir.file("index.txt"));
        filter = "Text (*.txt)";
        w->exportList();
        QCOMPARE(offered.front(), QString("HTML (*.htm)"));
        QVERIFY(opened.isEmpty());
        QCOMPARE(test::readAll(p.dir.file("index.txt")).substr(0, 5), std::string("Text\t"));
        // A name typed with ".htm" under the text filter is HTML, not "named.htm.txt".
        answer = QString::fromStdString(p.dir.file("named.htm"));
        w->exportList();
        QVERIFY(test::readAll(p.dir.file("named.htm")).find("<HTML>") != std::string::npos);
        QVERIFY(!platform::fileExists(p.dir.file("named.htm.txt")));
        // A folder that is not there: said, and nothing opened.
        answer = QString::fromStdString(p.dir.file("gone/list.txt"));
        w->exportList();
        QVERIFY(p.ui.said("The list could not be exported to " + p.dir.file("gone/list.txt") +
                          ": the folder does not exist."));
        // Other kinds offer text only.
        const analysis::Overview f = p.retrieval->FrequencyOfCodes();
        QCOMPARE(shell::showObjectList(&p.main, p.doc, p.settings, f.topic, f.title, f.ids)
                     ->exportFilters(),
                 QStringList{"Text (*.txt)"});
    }

    void aClosedProjectClosesTheWindow() {
        Project p;
        QPointer<shell::ObjList> w = p.index();
        p.doc.CloseProject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(w.isNull());
    }
};

QTEST_MAIN(ObjListTest)
#include "ObjListTest.moc"
