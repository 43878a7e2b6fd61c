#pragma once

#include "ListGridModel.h"

#include <QTableView>
#include <functional>

class QLineEdit;
class QMenu;

namespace vexana::shell {

// The list grid on the screen: header clicks sort, the header's menu "Field" changes the
// columns, cells are edited in place (from a drop-down of the values the field has when its
// list of values is on).
class ListGridView : public QTableView {
    Q_OBJECT
public:
    enum HeaderCommand {
        Search = 22001,
        SwitchOff = 22002,
        InsertVariable = 22003,
        DeleteVariable = 22004,
        Rename = 22005,
        ListOfValues = 22006,
        SelectFields = 22007,
    };

    ListGridView(ListGridModel* model, browser::GridOwner& owner, QWidget* parent = nullptr);

    ListGridModel* gridModel() const { return model_; }
    browser::ListGrid& grid() const { return model_->grid(); }
    // The menu for the column at a model column (-1: none, every command disabled).
    QMenu* headerMenu(int modelColumn);
    // Runs a header command on a grid column; with no column it does nothing.
    void runHeaderCommand(int id, int gridColumn);
    bool commandEnabled(int id, int gridColumn) const;
    // A click on a header: by that column, or the other way round.
    void sortByHeader(int modelColumn);
    // Widths and the sort mark from the grid, after the grid changed.
    void reload();
    QLineEdit* searchField() const { return search_; }

    // The dialogs, answered by tests without a window.
    std::function<bool(std::string& name, int& type)> askNewVariable;
    std::function<bool(std::string& name)> askRename;
    std::function<bool(const std::string& variable)> confirmDelete;
    std::function<bool(std::vector<bool>& shown)> askColumns;

signals:
    // A variable was added, renamed or removed: other lists of the topic follow.
    void fieldsChanged();

private:
    void openSearch(int gridColumn);
    void findInColumn(const QString& text);

    ListGridModel* model_;
    browser::GridOwner& owner_;
    QLineEdit* search_ = nullptr;
    int searchColumn_ = -1;
    bool reloading_ = false;
};

} // namespace vexana::shell
