#include "CoderDialog.h"

#include "store/Schema.h"
#include "store/TopicStore.h"
#include "wordanalysis/DictionaryCoder.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace vexana::shell {

using namespace store;

CoderDialog::CoderDialog(const TopicStore& store, const std::vector<std::int32_t>& ticked,
                         int level, QWidget* parent)
    : QDialog(parent), store_(store) {
    setWindowTitle("VEXLexa Coder");
    codes_ = new QListWidget(this);
    for (std::int32_t code : store.ListIds(TopicId::Codes)) {
        if (store.GetInt(TopicId::Codes, code, CodeField::Parent) != 0) continue;
        auto* item = new QListWidgetItem(
            QString::fromStdString(store.GetName(TopicId::Codes, code, false)), codes_);
        item->setData(Qt::UserRole, code);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        const bool on = std::find(ticked.begin(), ticked.end(), code) != ticked.end();
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    auto* all = new QPushButton("Activate all", this);
    auto* none = new QPushButton("Deactivate all", this);
    for (QPushButton* b : {all, none})
        b->setAutoDefault(false);
    level_ = new QSpinBox(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* side = new QHBoxLayout;
    side->addWidget(all);
    side->addWidget(none);
    side->addStretch();
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(new QLabel("Level", this));
    levelRow->addWidget(level_);
    levelRow->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Codes", this));
    layout->addWidget(codes_, 1);
    layout->addLayout(side);
    layout->addLayout(levelRow);
    layout->addWidget(buttons);

    connect(all, &QPushButton::clicked, this, [this] { setAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { setAll(false); });
    connect(codes_, &QListWidget::itemChanged, this, [this] { updateBound(); });
    connect(level_, &QSpinBox::valueChanged, this, [this](int v) { codes_->setEnabled(v > 0); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateBound();
    level_->setValue(std::max(level, 0));
    codes_->setEnabled(level_->value() > 0);
    resize(320, 380);
}

std::vector<std::int32_t> CoderDialog::codes() const {
    std::vector<std::int32_t> out;
    for (int i = 0; i < codes_->count(); ++i)
        if (codes_->item(i)->checkState() == Qt::Checked)
            out.push_back(codes_->item(i)->data(Qt::UserRole).toInt());
    return out;
}

int CoderDialog::level() const {
    return level_->value();
}

void CoderDialog::setAll(bool ticked) {
    {
        const QSignalBlocker quiet(codes_);
        for (int i = 0; i < codes_->count(); ++i)
            codes_->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    updateBound();
}

void CoderDialog::updateBound() {
    // The spin box clamps its value into the new range itself.
    level_->setRange(0, wordanalysis::DictionaryCoder::levelBound(store_, codes()));
}

} // namespace vexana::shell
