#include "RenameVariableDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace vexana::shell {

RenameVariableDialog::RenameVariableDialog(const std::string& current, QWidget* parent)
    : QDialog(parent), name_(new QLineEdit(QString::fromStdString(current), this)) {
    setWindowTitle("Rename Variable");
    name_->setMaxLength(63);
    name_->selectAll();
    auto* form = new QFormLayout(this);
    form->addRow("Name :", name_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::string RenameVariableDialog::name() const {
    return name_->text().trimmed().toStdString();
}

} // namespace vexana::shell
