#include "WeightFilterDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <algorithm>

namespace vexana::shell {

WeightFilterDialog::WeightFilterDialog(int low, int high, QWidget* parent)
    : QDialog(parent), low_(new QSpinBox), high_(new QSpinBox) {
    setWindowTitle("Weight Filter");
    for (QSpinBox* box : {low_, high_})
        box->setRange(1, 100);
    high_->setValue(std::clamp(high, 1, 100));
    low_->setValue(std::clamp(low, 1, high_->value()));
    connect(low_, &QSpinBox::valueChanged, this, [this](int v) {
        if (v > high_->value()) low_->setValue(high_->value());
    });
    connect(high_, &QSpinBox::valueChanged, this, [this](int v) {
        if (v < low_->value()) high_->setValue(low_->value());
    });
    auto* form = new QFormLayout(this);
    form->addRow("Min. Score", low_);
    form->addRow("Max. Score", high_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

int WeightFilterDialog::low() const {
    return low_->value();
}

int WeightFilterDialog::high() const {
    return high_->value();
}

} // namespace vexana::shell
