#pragma once

#include "analysis/MemoOperations.h"
#include "store/AppSettings.h"
#include "store/ViewListener.h"

#include <QDialog>
#include <QIcon>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPrinter;
class QPushButton;
class QTextEdit;

namespace vexana::analysis {
class Workspace;
}

namespace vexana::shell {

// The icon of a memo type (0 to 10), as the memo bar, the lists and the memo window show it.
QIcon memoTypeIcon(int type);

// The memo window: one memo at a time, not modal. Closing it or switching it to another
// memo saves a new or changed memo; an unchanged one writes nothing.
class MemoDialog : public QDialog, public store::ViewListener {
    Q_OBJECT
public:
    MemoDialog(analysis::Workspace& ws, store::AppSettings& settings, QWidget* parent = nullptr);
    ~MemoDialog() override;

    // Saves the memo shown (when new or changed) and shows id; false when id names no memo.
    bool showMemo(std::int32_t id, bool isNew = false);
    std::int32_t memoId() const { return editor_.memo().id; }
    const analysis::MemoEditor& editor() const { return editor_; }

    QLineEdit* titleEdit() const { return title_; }
    QLineEdit* authorEdit() const { return author_; }
    QLabel* dateLabel() const { return date_; }
    QLabel* ownerLabel() const { return owner_; }
    QAbstractButton* typeButton(int type) const;
    QTextEdit* bodyEdit() const { return body_; }
    QListWidget* codeList() const { return codes_; }
    QPushButton* linkButton() const { return link_; }
    QPushButton* removeCodesButton() const { return removeCodes_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* closeButton() const { return close_; }

    // The buttons' work. "Link to" offers the Quick-List in a menu; linkCode takes the choice.
    void linkTo();
    void linkCode(std::int32_t code);
    void removeSelectedCodes();
    void exportMemo();
    // The heading block and the body through the print dialog; printMemoTo prints them on the
    // printer given (empty, or what went wrong).
    void printMemo();
    std::string printMemoTo(QPrinter& printer);
    void deleteMemo();
    // The edits into the memo and the memo into the project, when it is new or changed.
    bool saveMemo();

    void onViewEvent(store::ViewEvent event, int topic, std::int32_t id) override;
    void onProjectClosed() override;

    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load();
    void fillCodes();
    void takeEdits();
    void writeSettings();

    analysis::Workspace& ws_;
    store::AppSettings& settings_;
    analysis::MemoOperations ops_;
    analysis::MemoEditor editor_;
    bool loading_ = false;
    bool bodyChanged_ = false;
    bool settingsWritten_ = false;
    bool deleting_ = false;

    QLineEdit* title_;
    QLineEdit* author_;
    QLabel* date_;
    QLabel* owner_;
    QButtonGroup* types_;
    QTextEdit* body_;
    QListWidget* codes_;
    QPushButton* link_;
    QPushButton* removeCodes_;
    QPushButton* export_;
    QPushButton* print_;
    QPushButton* delete_;
    QPushButton* close_;
};

// What the main window and the memo bar call to open a memo (isNew for one made for the
// window): the open memo window is switched to it, else one is made as a child of main.
MemoDialog* showMemo(QWidget* main, analysis::Workspace& ws, store::AppSettings& settings,
                     std::int32_t memoId, bool isNew = false);

} // namespace vexana::shell
