#pragma once

#include "browser/ListGrid.h"

#include <QDialog>

class QListWidget;

namespace vexana::shell {

// "Columns": a tick per field of the grid, which columns are shown.
class ColumnsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ColumnsDialog(const std::vector<browser::GridColumn>& columns,
                           QWidget* parent = nullptr);
    // Per column of the grid, in its order.
    std::vector<bool> shown() const;
    QListWidget* list() const { return list_; }
    void selectAll(bool on);
    // Ticks exactly the fields that are not user variables.
    void onlySystemFields();

private:
    QListWidget* list_;
    std::vector<int> states_;
};

} // namespace vexana::shell
