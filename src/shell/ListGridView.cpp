#include "ListGridView.h"

#include "ColumnsDialog.h"
#include "NewVariableDialog.h"
#include "RenameVariableDialog.h"
#include "store/Schema.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>

namespace vexana::shell {

using browser::ListGrid;
using namespace vexana::store;

namespace {

// A drop-down of the field's values when the column's list of values is on.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(ListGridModel* model, QObject* parent)
        : QStyledItemDelegate(parent), model_(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const int column = model_->gridColumn(index.column());
        if (column < 0 || !model_->grid().columns()[column].listOfValues)
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto* box = new QComboBox(parent);
        box->setEditable(true);
        box->setObjectName("listOfValues");
        for (const std::string& v : model_->grid().distinctValues(column))
            box->addItem(QString::fromStdString(v));
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor))
            box->setCurrentText(index.data(Qt::EditRole).toString());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* box = qobject_cast<QComboBox*>(editor))
            model->setData(index, box->currentText(), Qt::EditRole);
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    ListGridModel* model_;
};

} // namespace

ListGridView::ListGridView(ListGridModel* model, browser::GridOwner& owner, QWidget* parent)
    : QTableView(parent), model_(model), owner_(owner) {
    setModel(model_);
    setItemDelegate(new CellDelegate(model_, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->hide();
    // Rows of one height: the view then never measures the rows it does not show.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSectionsMovable(true);
    header->setSortIndicatorShown(true);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::sectionClicked, this, &ListGridView::sortByHeader);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](QPoint pos) {
        QMenu* menu = headerMenu(header->logicalIndexAt(pos));
        menu->exec(header->mapToGlobal(pos));
        menu->deleteLater();
    });
    connect(header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        if (!reloading_) grid().setWidth(model_->gridColumn(logical), size);
    });
    connect(header, &QHeaderView::sectionMoved, this, [this](int logical, int, int visual) {
        if (reloading_) return;
        grid().moveColumn(model_->gridColumn(logical), visual);
        // The model takes the new order once the header has finished its move.
        QTimer::singleShot(0, this, [this] {
            model_->reload();
            reload();
        });
    });
    askNewVariable = [this](std::string& name, int& type) {
        NewVariableDialog dialog(this);
        if (dialog.exec() != QDialog::Accepted) return false;
        name = dialog.name();
        type = dialog.type();
        return true;
    };
    askRename = [this](std::string& name) {
        RenameVariableDialog dialog(name, this);
        if (dialog.exec() != QDialog::Accepted) return false;
        name = dialog.name();
        return true;
    };
    confirmDelete = [this](const std::string& variable) {
        QMessageBox box(QMessageBox::Question, "Delete Variable",
                        QString::fromStdString("Delete the variable \"" + variable +
                                               "\" and its values in every text?"),
                        QMessageBox::NoButton, this);
        QPushButton* yes = box.addButton("Delete", QMessageBox::AcceptRole);
        box.addButton("Cancel", QMessageBox::RejectRole);
        box.exec();
        return box.clickedButton() == yes;
    };
    askColumns = [this](std::vector<bool>& shown) {
        ColumnsDialog dialog(grid().columns(), this);
        if (dialog.exec() != QDialog::Accepted) return false;
        shown = dialog.shown();
        return true;
    };
    reload();
}

void ListGridView::reload() {
    reloading_ = true;
    QHeaderView* header = horizontalHeader();
    for (int c = 0; c < model_->columnCount(); ++c) {
        const browser::GridColumn column = grid().columns()[model_->gridColumn(c)];
        // A column never sized yet is at least as wide as its caption, and stays so.
        int width = column.width;
        if (!column.widthKept) {
            const QString caption =
                model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            width = std::clamp(fontMetrics().horizontalAdvance(caption) + 28, column.width, 300);
            grid().setWidth(model_->gridColumn(c), width);
        }
        setColumnWidth(c, width);
    }
    const int sorted = model_->modelColumn(grid().sortColumn());
    if (sorted >= 0)
        header->setSortIndicator(sorted,
                                 grid().ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    else
        header->setSortIndicator(-1, Qt::AscendingOrder);
    reloading_ = false;
}

void ListGridView::sortByHeader(int modelColumn) {
    const int column = model_->gridColumn(modelColumn);
    if (column < 0) return;
    grid().headerClicked(column);
    model_->reload();
    reload();
}

bool ListGridView::commandEnabled(int id, int column) const {
    const auto& columns = grid().columns();
    if (column < 0 || column >= static_cast<int>(columns.size())) return false;
    const bool variable = (columns[column].state & FieldState::Variable) != 0;
    switch (id) {
    case Search:
    case SwitchOff:
    case SelectFields:
        return true;
    // Variables belong to the texts.
    case InsertVariable:
        return grid().topic() == TopicId::Texts;
    case DeleteVariable:
    case Rename:
        return variable;
    case ListOfValues:
        return grid().editable(column);
    default:
        return false;
    }
}

QMenu* ListGridView::headerMenu(int modelColumn) {
    const int column = model_->gridColumn(modelColumn);
    auto* menu = new QMenu("Field", this);
    const std::pair<int, const char*> items[] = {
        {Search, "Search"},
        {SwitchOff, "Switch Off"},
        {InsertVariable, "Insert New Variable"},
        {DeleteVariable, "Delete Variable"},
        {Rename, "Rename"},
        {ListOfValues, "List of values"},
        {SelectFields, "Select Fields"},
    };
    for (const auto& item : items) {
        const int id = item.first;
        const char* text = item.second;
        QAction* a = menu->addAction(text);
        a->setData(id);
        a->setEnabled(commandEnabled(id, column));
        if (id == ListOfValues) {
            a->setCheckable(true);
            a->setChecked(column >= 0 && grid().columns()[column].listOfValues);
        }
        connect(a, &QAction::triggered, this, [this, id, column] { runHeaderCommand(id, column); });
    }
    return menu;
}

void ListGridView::runHeaderCommand(int id, int column) {
    if (!commandEnabled(id, column)) return;
    ListGrid& g = grid();
    switch (id) {
    case Search:
        openSearch(column);
        return;
    case SwitchOff:
        g.switchOff(column);
        break;
    case InsertVariable: {
        std::string name;
        int type = TypeString;
        if (!askNewVariable(name, type) || name.empty()) return;
        if (!g.insertVariable(owner_, column, name, type)) return;
        emit fieldsChanged();
        break;
    }
    case DeleteVariable:
        if (!confirmDelete(g.columns()[column].name)) return;
        if (!g.deleteVariable(owner_, column)) return;
        emit fieldsChanged();
        break;
    case Rename: {
        std::string name = g.columns()[column].name;
        if (!askRename(name) || name.empty()) return;
        g.renameVariable(owner_, column, name);
        emit fieldsChanged();
        break;
    }
    case ListOfValues:
        g.toggleListOfValues(column);
        return;
    case SelectFields: {
        std::vector<bool> shown;
        if (!askColumns(shown)) return;
        for (std::size_t i = 0; i < shown.size() && i < g.columns().size(); ++i)
            g.setShown(static_cast<int>(i), shown[i]);
        g.sort();
        break;
    }
    }
    model_->reload();
    reload();
}

void ListGridView::openSearch(int column) {
    ListGrid& g = grid();
    if (g.sortColumn() != column || !g.ascending()) {
        g.setSort(column, true);
        g.sort();
        model_->reload();
        reload();
    }
    const int section = model_->modelColumn(column);
    if (section < 0) return;
    if (model_->rowCount() > 0) scrollTo(model_->index(rowAt(0) < 0 ? 0 : rowAt(0), section));
    if (!search_) {
        search_ = new QLineEdit(horizontalHeader());
        search_->setObjectName("columnSearch");
        connect(search_, &QLineEdit::textEdited, this, &ListGridView::findInColumn);
        connect(search_, &QLineEdit::editingFinished, search_, &QWidget::hide);
    }
    searchColumn_ = column;
    QHeaderView* header = horizontalHeader();
    search_->setGeometry(header->sectionViewportPosition(section), 0, header->sectionSize(section),
                         header->height());
    search_->clear();
    search_->show();
    search_->setFocus();
}

void ListGridView::findInColumn(const QString& text) {
    if (searchColumn_ < 0 || text.isEmpty()) return;
    const int section = model_->modelColumn(searchColumn_);
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QString cell = QString::fromStdString(grid().cellText(row, searchColumn_));
        if (cell.startsWith(text, Qt::CaseInsensitive)) {
            const QModelIndex at = model_->index(row, section);
            setCurrentIndex(at);
            scrollTo(at);
            return;
        }
    }
}

} // namespace vexana::shell
