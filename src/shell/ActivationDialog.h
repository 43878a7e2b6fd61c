#pragma once

#include "store/AppSettings.h"
#include "store/ViewListener.h"
#include "variables/VariableActivation.h"

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vexana::analysis {
class Workspace;
}

namespace vexana::shell {

// "Activation by Variables": the condition as formula rows, edited in place, kept in the
// settings between openings, saved to and opened from ".loa" files, and the texts activated
// by it. Modal to its main window.
class ActivationDialog : public QDialog, public store::ViewListener {
    Q_OBJECT
public:
    ActivationDialog(analysis::Workspace& ws, store::AppSettings& settings,
                     QWidget* parent = nullptr);
    ~ActivationDialog() override;

    variables::VariableActivation& condition() { return act_; }

    QListWidget* formulas() const { return formulas_; }
    QPushButton* newButton() const { return new_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* resetButton() const { return reset_; }
    QRadioButton* combinationButton(int combination) const;
    QRadioButton* operatorButton(int op) const;
    QLineEdit* valueEdit() const { return value_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* activateButton() const { return activate_; }
    QPushButton* closeButton() const { return close_; }

    // The buttons' work, as they do it.
    void addRows();
    void deleteRow();
    void resetRows();
    void openCondition();
    void saveCondition();
    void activate();

    void onViewEvent(store::ViewEvent event, int topic, std::int32_t id) override;
    void onContentsReplaced() override;
    void onProjectClosed() override;

    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fill(int select);
    void refreshTexts();
    void showRow();
    void updateButtons();
    // The radio buttons and the value edit into the selected row.
    void storeRow();
    void writeSettings();
    // The file dialogs start in the folder of the last saved condition.
    void startInFolder();

    analysis::Workspace& ws_;
    store::AppSettings& settings_;
    variables::VariableActivation act_;
    bool settingsWritten_ = false;

    QListWidget* formulas_;
    QPushButton* new_;
    QPushButton* delete_;
    QPushButton* reset_;
    QButtonGroup* combinations_;
    QButtonGroup* operators_;
    QLineEdit* value_;
    QPushButton* open_;
    QPushButton* save_;
    QPushButton* activate_;
    QPushButton* close_;
};

// What the main window's "Activation by Variables" commands call: opens the dialog as a
// child of mainWindow, or brings the open one to the front.
ActivationDialog* showActivationDialog(QWidget* mainWindow, analysis::Workspace& ws,
                                       store::AppSettings& settings);

} // namespace vexana::shell
