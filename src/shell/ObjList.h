#pragma once

#include "ListGridView.h"
#include "store/AppSettings.h"
#include "store/CVexDoc.h"
#include "store/ViewListener.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;

namespace vexana::shell {

class CommandScope;
class CommandStack;

// The one window that lists objects of one topic (its kind): overviews, the Index of Coded
// Segments, the Frequency of Codes, variables. A title line, a counter line, the grid and
// the buttons Export, Code, Options and Close.
class ObjList : public QWidget, public store::ViewListener {
    Q_OBJECT
public:
    ObjList(store::CVexDoc& doc, store::AppSettings& settings, int kind, QWidget* parent = nullptr);
    ~ObjList() override;

    int kind() const { return kind_; }
    // A new list and title; the grid keeps its layout.
    void refill(const std::string& title, std::vector<std::int32_t> ids);
    const std::vector<std::int32_t>& ids() const { return grid_.rows(); }
    std::vector<std::int32_t> selectedIds() const;

    QLabel* titleLine() const { return title_; }
    QLabel* counterLine() const { return counter_; }
    ListGridView* view() const { return view_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* codeButton() const { return code_; }
    QPushButton* optionsButton() const { return options_; }
    QPushButton* closeButton() const { return close_; }

    // Where the field operations go; the store's own unless set (the variables' operations).
    void setGridOwner(browser::GridOwner* owner);
    // What a user edit is a step of, for the undo menu; without it the document's own.
    void setCommandStack(CommandStack* commands) { commands_ = commands; }

    // Export: the owner may export itself (true: done); otherwise the grid writes the file.
    void exportList();
    std::function<bool(int kind, const std::vector<std::int32_t>& selected)> ownerExport;
    // The save dialog "Export": the filters in order; gives the path (empty: cancelled) and
    // sets the filter chosen.
    std::function<QString(const QStringList& filters, QString& chosen)> chooseExportPath;
    // An HTML export is opened in the user's viewer.
    std::function<void(const QString& path)> openDocument;
    // "Options" and "Code" do something only when these are set.
    void setOptionsHandler(std::function<void(int command)> handler);
    void setCodeHandler(std::function<void()> handler);

    // The filters the save dialog offers, the stored export type's first.
    QStringList exportFilters() const;
    std::string exportType() const;

    void onViewEvent(store::ViewEvent event, int topic, std::int32_t id) override;
    void onContentsReplaced() override;
    void onProjectClosed() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void writeSettings();
    void updateCounter();
    void updateButtons();

    store::CVexDoc& doc_;
    store::AppSettings& settings_;
    int kind_;
    std::string titleText_;
    browser::ListGrid grid_;
    std::unique_ptr<browser::StoreGridOwner> storeOwner_;
    browser::GridOwner* owner_;
    CommandStack* commands_ = nullptr;
    std::unique_ptr<CommandScope> editScope_;
    ListGridModel* model_;
    ListGridView* view_;
    QLabel* title_;
    QLabel* counter_;
    QPushButton* export_;
    QPushButton* code_;
    QPushButton* options_;
    QPushButton* close_;
    std::function<void(int)> optionsHandler_;
    std::function<void()> codeHandler_;
    bool settingsWritten_ = false;
    bool closed_ = false;
};

} // namespace vexana::shell
