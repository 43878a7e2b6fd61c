#include "ListGridModel.h"

#include "store/Schema.h"

namespace vexana::shell {

using browser::ListGrid;
using namespace vexana::store;

ListGridModel::ListGridModel(ListGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), shown_(grid.displayedColumns()) {}

int ListGridModel::gridColumn(int modelColumn) const {
    return modelColumn >= 0 && modelColumn < static_cast<int>(shown_.size()) ? shown_[modelColumn]
                                                                             : -1;
}

int ListGridModel::modelColumn(int gridColumn) const {
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if (shown_[i] == gridColumn) return static_cast<int>(i);
    return -1;
}

void ListGridModel::reload() {
    beginResetModel();
    shown_ = grid_.displayedColumns();
    endResetModel();
}

int ListGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.rowCount();
}

int ListGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

QVariant ListGridModel::data(const QModelIndex& index, int role) const {
    const int column = gridColumn(index.column());
    if (!index.isValid() || column < 0) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(grid_.cellText(index.row(), column));
    case Qt::TextAlignmentRole: {
        const int type = grid_.columns()[column].type;
        if (grid_.columns()[column].parentTopic == 0 &&
            (type == TypeInteger || type == TypeFloat || type == TypeDateTime))
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (type == TypeBoolean) return QVariant::fromValue(Qt::AlignCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant ListGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const int column = gridColumn(section);
    return column < 0 ? QVariant() : QString::fromStdString(grid_.columns()[column].name);
}

Qt::ItemFlags ListGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (grid_.editable(gridColumn(index.column()))) f |= Qt::ItemIsEditable;
    return f;
}

bool ListGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int column = gridColumn(index.column());
    if (role != Qt::EditRole || column < 0) return false;
    const std::string text = value.toString().toStdString();
    if (text == grid_.cellText(index.row(), column)) return false;
    emit editStarting();
    lastEdit_ = grid_.setCell(index.row(), column, text);
    emit editEnded();
    if (lastEdit_ == ListGrid::Edit::Unreadable)
        emit editUnreadable(QString::fromStdString(grid_.refusal(column, text)));
    if (lastEdit_ != ListGrid::Edit::Stored) return false;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    emit cellStored(grid_.rows()[index.row()]);
    return true;
}

void ListGridModel::sort(int modelCol, Qt::SortOrder order) {
    const int column = gridColumn(modelCol);
    if (column < 0) return;
    beginResetModel();
    grid_.setSort(column, order == Qt::AscendingOrder);
    grid_.sort();
    endResetModel();
}

} // namespace vexana::shell
