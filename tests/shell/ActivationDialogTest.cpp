#include "shell/ActivationDialog.h"

#include "TestSupport.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "platform/richtext/RichText.h"
#include "shell/QtUserInterface.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "variables/Variables.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

using namespace vexana;
using namespace vexana::store;

namespace {

// Three texts with an Integer "Age" and a String "Gender", the main window's stand-in and
// its settings.
struct Project {
    test::TempDir dir;
    test::ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;
    std::unique_ptr<analysis::Retrieval> retrieval;
    std::unique_ptr<variables::Variables> vars;
    AppSettings settings{dir.file("vexapp.ini")};
    QWidget main;
    std::int32_t anna = 0, ben = 0, cleo = 0;
    int age = -1, gender = -1;

    Project() {
        if (!doc.OpenPath(dir.file("p.vxp"), false)) return;
        ws = std::make_unique<analysis::Workspace>(doc);
        retrieval = std::make_unique<analysis::Retrieval>(*ws);
        vars = std::make_unique<variables::Variables>(doc);
        const std::int32_t group = ws->documents().NewTextGroup();
        const auto text = [&](const char* name, const char* age, const char* gender) {
            const std::int32_t t = ws->documents().CreateTextWith(
                group, name, platform::RichText::fromPlain("Body.").toRtf());
            vars->SetValue(t, this->age, age);
            vars->SetValue(t, this->gender, gender);
            return t;
        };
        age = vars->Add("Age", TypeInteger);
        gender = vars->Add("Gender", TypeString);
        anna = text("Anna", "34", "female");
        ben = text("Ben", "28", "male");
        cleo = text("Cleo", "51", "FEMALE");
    }
    bool ready() const { return cleo > 0 && age >= 0 && gender >= 0; }
    shell::ActivationDialog* dialog() { return shell::showActivationDialog(&main, *ws, settings); }
    bool active(std::int32_t text) const { return ws->IsActive(TopicId::Texts, text); }
};

QStringList rowTexts(shell::ActivationDialog* d) {
    QStringList out;
    for (int i = 0; i < d->formulas()->count(); ++i)
        out << d->formulas()->item(i)->text();
    return out;
}

// New, with the named fields ticked in the list it offers; what it offered.
QStringList addRows(shell::ActivationDialog* d, const QStringList& tick) {
    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto* choice = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!choice || choice->objectName() != "fieldsDialog") return;
        auto* list = choice->findChild<QListWidget*>("fields");
        for (int i = 0; i < list->count(); ++i) {
            offered << list->item(i)->text();
            if (tick.contains(list->item(i)->text())) list->item(i)->setCheckState(Qt::Checked);
        }
        choice->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    d->newButton()->click();
    return offered;
}

void typeValue(shell::ActivationDialog* d, const QString& text) {
    d->valueEdit()->selectAll();
    QTest::keyClicks(d->valueEdit(), text);
}

// Age > 30, AND Gender = female.
void writeCondition(shell::ActivationDialog* d) {
    addRows(d, {"Age", "Gender"});
    d->formulas()->setCurrentRow(0);
    d->operatorButton(variables::Operator::Greater)->click();
    typeValue(d, "30 years");
    d->formulas()->setCurrentRow(1);
    d->combinationButton(variables::Combination::And)->click();
    typeValue(d, "female");
}

void deleteClosed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class ActivationDialogTest : public QObject {
    Q_OBJECT

private slots:
    void rowsWrittenInTheDialogActivateTheTexts() {
        Project p;
        QVERIFY(p.ready());
        QPointer<shell::ActivationDialog> d = p.dialog();
        QCOMPARE(d->windowTitle(), QString("Activation by Variables"));
        QVERIFY(d->isVisible());
        // Without rows only New, Open and Close have work.
        QVERIFY(d->newButton()->isEnabled() && d->openButton()->isEnabled());
        for (QWidget* w : std::initializer_list<QWidget*>{
                 d->deleteButton(), d->resetButton(), d->saveButton(), d->activateButton(),
                 d->valueEdit(), d->operatorButton(0), d->combinationButton(1)})
            QVERIFY(!w->isEnabled());

        // New offers the texts' fields; cancelled or with nothing ticked it adds nothing.
        const QStringList offered = addRows(d, {});
        QVERIFY(offered.contains("Age") && offered.contains("Gender"));
        QCOMPARE(d->formulas()->count(), 0);
        addRows(d, {"Age", "Gender"});
        QCOMPARE(rowTexts(d), (QStringList{"[Age] = ", ".OR. [Gender] = "}));
        QCOMPARE(d->formulas()->currentRow(), 1);
        QVERIFY(d->combinationButton(variables::Combination::Or)->isChecked());
        QVERIFY(d->combinationButton(0)->isEnabled() && d->valueEdit()->isEnabled());

        // The first row joins nothing; the value is read by the field's type.
        d->formulas()->setCurrentRow(0);
        QVERIFY(!d->combinationButton(0)->isEnabled() && !d->combinationButton(1)->isEnabled());
        d->operatorButton(variables::Operator::Greater)->click();
        typeValue(d, "30 years");
        QCOMPARE(d->valueEdit()->text(), QString("30 years")); // what was typed stays put
        d->formulas()->setCurrentRow(1);
        QCOMPARE(d->valueEdit()->text(), QString());
        d->combinationButton(variables::Combination::And)->click();
        typeValue(d, "female");
        QCOMPARE(rowTexts(d), (QStringList{"[Age] > 30", ".And. [Gender] = female"}));
        d->formulas()->setCurrentRow(0);
        QCOMPARE(d->valueEdit()->text(), QString("30"));
        QVERIFY(d->operatorButton(variables::Operator::Greater)->isChecked());

        // Activate sets every text and closes the dialog; strings compare ignoring case.
        p.ws->documents().ActivateObjects(analysis::ActivationScope::Text, p.ben, true);
        d->move(70, 80);
        d->activateButton()->click();
        QVERIFY(p.active(p.anna) && !p.active(p.ben) && p.active(p.cleo));
        deleteClosed();
        QVERIFY(d.isNull());

        // The next opening shows the last condition again, and a second call the same dialog.
        AppSettings reread(p.dir.file("vexapp.ini"));
        reread.load();
        QVERIFY(WindowPlacement::parse(
            reread.profile().readString(AppSettings::logActivationSection, "WindowPos")));
        d = p.dialog();
        QCOMPARE(p.dialog(), d.data());
        QCOMPARE(rowTexts(d), (QStringList{"[Age] > 30", ".And. [Gender] = female"}));
        QCOMPARE(d->formulas()->currentRow(), 0);
        QCOMPARE(d->pos(), QPoint(70, 80));

        // Delete takes the selected row; Reset asks first.
        d->formulas()->setCurrentRow(1);
        d->deleteButton()->click();
        QCOMPARE(rowTexts(d), QStringList{"[Age] > 30"});
        QCOMPARE(d->formulas()->currentRow(), 0);
        d->resetButton()->click();
        QCOMPARE(p.ui.questions.size(), std::size_t{1});
        QCOMPARE(d->formulas()->count(), 1);
        p.ui.answers.push_back(true);
        d->resetButton()->click();
        QCOMPARE(d->formulas()->count(), 0);
        QVERIFY(!d->activateButton()->isEnabled() && !d->valueEdit()->isEnabled());

        // Escape closes without activating and keeps the (empty) condition.
        p.ws->documents().ActivateObjects(analysis::ActivationScope::Text, p.ben, true);
        QTest::keyClick(d, Qt::Key_Escape);
        deleteClosed();
        QVERIFY(d.isNull() && p.active(p.ben));
        d = p.dialog();
        QCOMPARE(d->formulas()->count(), 0);

        // A place off every screen, or one with a number missing, is not taken.
        for (const char* stored :
             {"0,1,0,0,0,0,-9000,-9000,-8400,-8600", "0,1,0,0,0,0,300,310,900"}) {
            d->close();
            deleteClosed();
            p.settings.profile().writeString(AppSettings::logActivationSection, "WindowPos",
                                             stored);
            d = p.dialog();
            QVERIFY2(d->x() > -1000 && d->pos() != QPoint(300, 310), stored);
        }
    }

    void conditionsGoToFilesAndComeBack() {
        Project p;
        QVERIFY(p.ready());
        shell::ActivationDialog* d = p.dialog();
        writeCondition(d);
        const QStringList written = rowTexts(d);

        const std::string loa = p.dir.file("women over 30.loa");
        p.ui.files.push_back(loa);
        d->saveButton()->click();
        QCOMPARE(p.ui.dialogs.back(), FileDialog::SaveCondition);
        QCOMPARE(test::readAll(loa), std::to_string(p.age) + "|Age|0|3|30~" +
                                         std::to_string(p.gender) + "|Gender|1|0|female~" +
                                         std::string(1, '\0'));
        QCOMPARE(d->condition().defaultFolder(), p.dir.path() + "/");

        p.ui.answers.push_back(true);
        d->resetButton()->click();
        p.ui.files.push_back(loa);
        d->openButton()->click();
        QCOMPARE(p.ui.dialogs.back(), FileDialog::OpenCondition);
        QCOMPARE(rowTexts(d), written);

        // A cancelled dialog, a damaged file, a file that cannot be written: the rows stay.
        d->openButton()->click();
        QCOMPARE(rowTexts(d), written);
        QVERIFY(p.ui.messages.empty());
        const std::string damaged = p.dir.file("damaged.loa");
        test::writeAll(damaged, std::to_string(p.age) + "|Age|7|0|30~");
        p.ui.files.push_back(damaged);
        d->openButton()->click();
        QCOMPARE(rowTexts(d), written);
        QCOMPARE(p.ui.messages.size(), std::size_t{1});
        QVERIFY(p.ui.messages.back().text.starts_with("The condition file " + damaged +
                                                      " is damaged: "));
        QVERIFY(p.ui.messages.back().text.ends_with("; the condition was not changed."));
        p.ui.files.push_back(p.dir.file("gone/c.loa"));
        d->saveButton()->click();
        QCOMPARE(p.ui.messages.size(), std::size_t{2});
        QVERIFY(p.ui.messages.back().text.starts_with("The condition cannot be written to "));
        QCOMPARE(rowTexts(d), written);

        // A file whose rows name a deleted variable opens without them.
        p.vars->Remove(p.gender);
        QCOMPARE(rowTexts(d), (QStringList{"[Age] > 30", ".And. [?] = female"}));
        p.ui.files.push_back(loa);
        d->openButton()->click();
        QCOMPARE(rowTexts(d), QStringList{"[Age] > 30"});
    }

    void aRenamedVariableIsShownAndTheProjectsEndClosesTheDialog() {
        Project p;
        QVERIFY(p.ready());
        QPointer<shell::ActivationDialog> d = p.dialog();
        writeCondition(d);
        p.vars->Rename(p.age, "Years");
        QCOMPARE(rowTexts(d), (QStringList{"[Years] > 30", ".And. [Gender] = female"}));
        p.doc.CloseProject();
        deleteClosed();
        QVERIFY(d.isNull());
        AppSettings reread(p.dir.file("vexapp.ini"));
        reread.load();
        QCOMPARE(reread.conditionData(), std::to_string(p.age) + "|Years|0|3|30~" +
                                             std::to_string(p.gender) + "|Gender|1|0|female~");
    }

    // The real file dialogs: titles, filters, the folder they start in, and the question
    // before a condition file is replaced.
    void theFileDialogsOfVariablesAndConditions() {
        test::TempDir dir;
        test::writeAll(dir.file("old.loa"), std::string(1, '\0'));
        QWidget main;
        shell::QtUserInterface ui(true);
        ui.setParent(&main);
        QString seen, asked;
        QTimer timer;
        timer.setInterval(10);
        QString name;
        bool replace = false;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* f = qobject_cast<QFileDialog*>(modal)) {
                seen = f->windowTitle() + "|" + f->nameFilters().join(";") + "|" +
                       f->defaultSuffix() + "|" + f->directory().absolutePath();
                if (auto* box = f->findChild<QLineEdit*>("fileNameEdit")) box->setText(name);
                static_cast<QDialog*>(f)->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                asked = box->text();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == (replace ? "Yes" : "No")) b->click();
            }
        });
        timer.start();
        const QString folder = QString::fromStdString(dir.path());

        name = "women";
        ui.setStartFolder(dir.path());
        QCOMPARE(ui.chooseFile(FileDialog::SaveCondition), dir.file("women.loa"));
        QCOMPARE(seen, "Save Logical Condition|Activation by Variables (*.loa)|loa|" + folder);
        QVERIFY(asked.isEmpty());
        // Asked on the name with its suffix; No keeps the file.
        name = "old";
        ui.setStartFolder(dir.path());
        QCOMPARE(ui.chooseFile(FileDialog::SaveCondition), std::string());
        QCOMPARE(asked, QString("old.loa already exists.\nDo you want to replace it?"));
        replace = true;
        ui.setStartFolder(dir.path());
        QCOMPARE(ui.chooseFile(FileDialog::SaveCondition), dir.file("old.loa"));

        name = "old.loa";
        ui.setStartFolder(dir.path());
        QCOMPARE(ui.chooseFile(FileDialog::OpenCondition), dir.file("old.loa"));
        QVERIFY(seen.startsWith("Open Logical Condition|Activation by Variables (*.loa)|"));
        test::writeAll(dir.file("vars.txt"), "Textgroup\tTextname\n");
        name = "vars.txt";
        ui.setStartFolder(dir.path());
        QCOMPARE(ui.chooseFile(FileDialog::ImportVariables), dir.file("vars.txt"));
        QVERIFY(seen.startsWith("Import Variables|*.txt|"));
        name = "table";
        ui.setStartFolder(dir.path());
        QCOMPARE(ui.chooseFile(FileDialog::ExportVariables), dir.file("table.txt"));
        QCOMPARE(seen, "Export Variables|*.txt|txt|" + folder);
    }
};

QTEST_MAIN(ActivationDialogTest)
#include "ActivationDialogTest.moc"
