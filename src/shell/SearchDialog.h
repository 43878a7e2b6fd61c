#pragma once

#include "browser/TextSearch.h"
#include "store/AppSettings.h"
#include "store/UserInterface.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vexana::shell {

// "Search": the search strings, edited in place, and how they combine; the options persist
// in section "LookFor" and in .sea files. "Run Search" accepts, "Close" rejects; both keep
// the options.
class SearchDialog : public QDialog {
    Q_OBJECT
public:
    SearchDialog(store::AppSettings& settings, store::UserInterface& ui, QWidget* parent = nullptr);

    // The options as the controls show them.
    browser::SearchSettings searchSettings() const;
    void fill(const browser::SearchSettings& s);

    QListWidget* strings() const { return strings_; }
    QPushButton* newButton() const { return new_; }
    QPushButton* deleteButton() const { return delete_; }
    QRadioButton* inTextsButton() const { return inTexts_; }
    QRadioButton* inMemosButton() const { return inMemos_; }
    QRadioButton* orButton() const { return or_; }
    QRadioButton* andButton() const { return and_; }
    QCheckBox* withinBox() const { return within_; }
    QSpinBox* paragraphsBox() const { return paragraphs_; }
    QCheckBox* wholeWordsBox() const { return wholeWords_; }
    QCheckBox* caseBox() const { return case_; }
    QCheckBox* onlyActiveBox() const { return onlyActive_; }
    QCheckBox* onlyRetrievedBox() const { return onlyRetrieved_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* runButton() const { return run_; }
    QPushButton* closeButton() const { return close_; }

    // The buttons' work, as they do it.
    void addString();
    void deleteStrings();
    void openSettings();
    void saveSettings();

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateEnabling();
    void labelEdited(QListWidgetItem* item);
    bool taken(const QString& text, const QListWidgetItem* except) const;
    void remember(const std::string& path);

    store::AppSettings& settings_;
    store::UserInterface& ui_;
    std::string folder_;
    bool filling_ = false;

    QListWidget* strings_;
    QPushButton* new_;
    QPushButton* delete_;
    QRadioButton* inTexts_;
    QRadioButton* inMemos_;
    QRadioButton* or_;
    QRadioButton* and_;
    QCheckBox* within_;
    QSpinBox* paragraphs_;
    QLabel* paragraphsLabel_;
    QCheckBox* wholeWords_;
    QCheckBox* case_;
    QCheckBox* onlyActive_;
    QCheckBox* onlyRetrieved_;
    QPushButton* open_;
    QPushButton* save_;
    QPushButton* run_;
    QPushButton* close_;
};

} // namespace vexana::shell
