#include "ColumnsDialog.h"

#include "store/Schema.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vexana::shell {

ColumnsDialog::ColumnsDialog(const std::vector<browser::GridColumn>& columns, QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
    setWindowTitle("Columns");
    for (const browser::GridColumn& c : columns) {
        auto* item = new QListWidgetItem(QString::fromStdString(c.name), list_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(c.shown ? Qt::Checked : Qt::Unchecked);
        states_.push_back(c.state);
    }
    auto* all = new QPushButton("Select all Fields", this);
    auto* none = new QPushButton("Deselect all Fields", this);
    auto* system = new QPushButton("Only System Fields", this);
    connect(all, &QPushButton::clicked, this, [this] { selectAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { selectAll(false); });
    connect(system, &QPushButton::clicked, this, &ColumnsDialog::onlySystemFields);
    auto* side = new QVBoxLayout;
    side->addWidget(all);
    side->addWidget(none);
    side->addWidget(system);
    side->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(list_);
    row->addLayout(side);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

void ColumnsDialog::selectAll(bool on) {
    for (int i = 0; i < list_->count(); ++i)
        list_->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void ColumnsDialog::onlySystemFields() {
    for (int i = 0; i < list_->count(); ++i)
        list_->item(i)->setCheckState(states_[i] & store::FieldState::Variable ? Qt::Unchecked
                                                                               : Qt::Checked);
}

std::vector<bool> ColumnsDialog::shown() const {
    std::vector<bool> out;
    for (int i = 0; i < list_->count(); ++i)
        out.push_back(list_->item(i)->checkState() == Qt::Checked);
    return out;
}

} // namespace vexana::shell
