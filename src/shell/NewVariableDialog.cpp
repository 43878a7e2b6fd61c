#include "NewVariableDialog.h"

#include "store/Schema.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace vexana::shell {

using namespace vexana::store;

NewVariableDialog::NewVariableDialog(QWidget* parent)
    : QDialog(parent), name_(new QLineEdit(this)), type_(new QComboBox(this)) {
    setWindowTitle("New Variable");
    name_->setMaxLength(63);
    // Long strings, byte blocks and memos are never offered.
    type_->addItem("String", TypeString);
    type_->addItem("Integer", TypeInteger);
    type_->addItem("Floating point", TypeFloat);
    type_->addItem("Date/Time", TypeDateTime);
    type_->addItem("Boolean", TypeBoolean);
    auto* form = new QFormLayout(this);
    form->addRow("Name :", name_);
    form->addRow("Type :", type_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::string NewVariableDialog::name() const {
    return name_->text().trimmed().toStdString();
}

int NewVariableDialog::type() const {
    return type_->currentData().toInt();
}

} // namespace vexana::shell
