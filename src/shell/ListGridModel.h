#pragma once

#include "browser/ListGrid.h"

#include <QAbstractTableModel>

namespace vexana::shell {

// The list grid as a table model: rows and shown columns are read from the grid when asked,
// so a list of any length costs only what is on the screen.
class ListGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ListGridModel(browser::ListGrid& grid, QObject* parent = nullptr);

    browser::ListGrid& grid() { return grid_; }
    // The grid's column shown at a model column, -1 for none.
    int gridColumn(int modelColumn) const;
    int modelColumn(int gridColumn) const;
    // After the grid's rows or columns changed.
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Stores through the grid; a refused value leaves the cell as it was.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    void sort(int column, Qt::SortOrder order) override;

    // The result of the last edit, for the window to act on.
    browser::ListGrid::Edit lastEdit() const { return lastEdit_; }

signals:
    void cellStored(std::int32_t id);
    // setData runs inside these, so that an edit is one command of the undo history.
    void editStarting();
    void editEnded();
    // Text that is not a value of the variable: what to tell the user.
    void editUnreadable(const QString& why);

private:
    browser::ListGrid& grid_;
    std::vector<int> shown_;
    browser::ListGrid::Edit lastEdit_ = browser::ListGrid::Edit::NotEditable;
};

} // namespace vexana::shell
