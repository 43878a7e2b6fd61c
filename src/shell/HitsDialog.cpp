#include "HitsDialog.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace vexana::shell {

HitsDialog::HitsDialog(const browser::HitContext& context, QWidget* parent)
    : QDialog(parent), onlyString_(new QRadioButton("Only Search String")),
      paragraph_(new QRadioButton("Paragraph")), paragraphs_(new QSpinBox),
      plusMinus_(new QLabel("+/-")), paragraphLabel_(new QLabel("Paragraph")),
      close_(new QPushButton("Close")) {
    setWindowTitle("Hits");
    setObjectName("hitsDialog");
    paragraphs_->setRange(0, 100);
    paragraphs_->setValue(std::clamp(context.paragraphs, 0, 100));
    (context.mode == 1 ? paragraph_ : onlyString_)->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->addButton(onlyString_);
    group->addButton(paragraph_);

    auto* box = new QGroupBox("Code / Export");
    auto* inside = new QVBoxLayout(box);
    inside->addWidget(onlyString_);
    auto* row = new QHBoxLayout;
    row->addWidget(paragraph_);
    row->addWidget(plusMinus_);
    row->addWidget(paragraphs_);
    row->addWidget(paragraphLabel_);
    row->addStretch();
    inside->addLayout(row);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(box, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(close_);
    right->addStretch();
    layout->addLayout(right);

    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(paragraph_, &QRadioButton::toggled, this, &HitsDialog::updateEnabling);
    updateEnabling();
}

browser::HitContext HitsDialog::context() const {
    return {paragraph_->isChecked() ? 1 : 0, paragraphs_->value()};
}

void HitsDialog::updateEnabling() {
    const bool on = paragraph_->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{paragraphs_, plusMinus_, paragraphLabel_})
        w->setEnabled(on);
}

} // namespace vexana::shell
