#include "ActivationDialog.h"

#include "QtText.h"
#include "QtUserInterface.h"
#include "WindowPlace.h"
#include "analysis/Workspace.h"
#include "store/Schema.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace vexana::shell {

using store::MessageIcon;
namespace TopicId = store::TopicId;
using store::WindowPlacement;
using variables::FormulaRow;

namespace {

constexpr int leastWidth = 420, leastHeight = 300;

} // namespace

ActivationDialog::ActivationDialog(analysis::Workspace& ws, store::AppSettings& settings,
                                   QWidget* parent)
    : QDialog(parent), ws_(ws), settings_(settings), act_(ws), formulas_(new QListWidget),
      new_(new QPushButton("New")), delete_(new QPushButton("Delete")),
      reset_(new QPushButton("Reset")), combinations_(new QButtonGroup(this)),
      operators_(new QButtonGroup(this)), value_(new QLineEdit), open_(new QPushButton("Open")),
      save_(new QPushButton("Save")), activate_(new QPushButton("Activate")),
      close_(new QPushButton("Close")) {
    setWindowTitle("Activation by Variables");
    setObjectName("activationDialog");
    setMinimumSize(leastWidth, leastHeight);

    auto* listBox = new QGroupBox("Formulas");
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->addWidget(formulas_);
    auto* rowButtons = new QHBoxLayout;
    for (QPushButton* b : {new_, delete_, reset_})
        rowButtons->addWidget(b);
    rowButtons->addStretch();
    listLayout->addLayout(rowButtons);

    auto* joins = new QHBoxLayout;
    const char* joinTexts[] = {"OR", "AND"};
    for (int c : {variables::Combination::Or, variables::Combination::And}) {
        auto* b = new QRadioButton(joinTexts[c]);
        combinations_->addButton(b, c);
        joins->addWidget(b);
    }
    joins->addStretch();
    auto* ops = new QHBoxLayout;
    for (int op = variables::Operator::Equal; op <= variables::Operator::Greater; ++op) {
        auto* b = new QRadioButton(q(std::string(variables::operatorText(op))));
        operators_->addButton(b, op);
        ops->addWidget(b);
    }
    ops->addStretch();
    auto* rowBox = new QGridLayout;
    rowBox->addLayout(joins, 0, 0, 1, 2);
    rowBox->addLayout(ops, 1, 0, 1, 2);
    auto* valueLabel = new QLabel("Value");
    valueLabel->setBuddy(value_);
    rowBox->addWidget(valueLabel, 2, 0);
    rowBox->addWidget(value_, 2, 1);

    auto* fileButtons = new QHBoxLayout;
    fileButtons->addWidget(open_);
    fileButtons->addWidget(save_);
    fileButtons->addStretch();
    fileButtons->addWidget(activate_);
    fileButtons->addWidget(close_);
    activate_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listBox, 1);
    layout->addLayout(rowBox);
    layout->addLayout(fileButtons);

    connect(formulas_, &QListWidget::currentRowChanged, this, [this] {
        showRow();
        updateButtons();
    });
    connect(new_, &QPushButton::clicked, this, &ActivationDialog::addRows);
    connect(delete_, &QPushButton::clicked, this, &ActivationDialog::deleteRow);
    connect(reset_, &QPushButton::clicked, this, &ActivationDialog::resetRows);
    connect(combinations_, &QButtonGroup::idClicked, this, [this] { storeRow(); });
    connect(operators_, &QButtonGroup::idClicked, this, [this] { storeRow(); });
    // Only the user's typing rewrites the row; loading a row into the edit does not.
    connect(value_, &QLineEdit::textEdited, this, [this] { storeRow(); });
    connect(open_, &QPushButton::clicked, this, &ActivationDialog::openCondition);
    connect(save_, &QPushButton::clicked, this, &ActivationDialog::saveCondition);
    connect(activate_, &QPushButton::clicked, this, &ActivationDialog::activate);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    act_.LoadSettings(settings_);
    // A stored place counts only when all of it reads back; else the dialog opens where
    // Qt puts it, over its main window.
    if (const auto place = WindowPlacement::parse(settings_.profile().readString(
            store::AppSettings::logActivationSection, "WindowPos"))) {
        resize(std::max(place->right - place->left, leastWidth),
               std::max(place->bottom - place->top, leastHeight));
        // A place on a screen that is gone would hide the dialog.
        if (QGuiApplication::screenAt(QPoint(place->left, place->top) +
                                      QPoint(width(), height()) / 2))
            move(place->left, place->top);
    }
    fill(act_.rows.empty() ? -1 : 0);
    ws_.doc().addView(this);
}

ActivationDialog::~ActivationDialog() {
    ws_.doc().removeView(this);
}

QRadioButton* ActivationDialog::combinationButton(int combination) const {
    return qobject_cast<QRadioButton*>(combinations_->button(combination));
}

QRadioButton* ActivationDialog::operatorButton(int op) const {
    return qobject_cast<QRadioButton*>(operators_->button(op));
}

void ActivationDialog::fill(int select) {
    const QSignalBlocker quiet(formulas_);
    formulas_->clear();
    for (std::size_t i = 0; i < act_.rows.size(); ++i)
        formulas_->addItem(q(variables::rowText(ws_.store(), act_.rows[i], i == 0)));
    formulas_->setCurrentRow(std::min(select, formulas_->count() - 1));
    showRow();
    updateButtons();
}

void ActivationDialog::refreshTexts() {
    for (int i = 0; i < formulas_->count(); ++i)
        formulas_->item(i)->setText(
            q(variables::rowText(ws_.store(), act_.rows[static_cast<std::size_t>(i)], i == 0)));
}

void ActivationDialog::showRow() {
    const int row = formulas_->currentRow();
    if (row < 0) {
        // Nothing to show: no radio button stands for a row that is not there.
        for (QButtonGroup* group : {combinations_, operators_}) {
            group->setExclusive(false);
            for (QAbstractButton* b : group->buttons())
                b->setChecked(false);
            group->setExclusive(true);
        }
        value_->clear();
        return;
    }
    const FormulaRow& r = act_.rows[static_cast<std::size_t>(row)];
    if (QAbstractButton* b = combinations_->button(r.combination)) b->setChecked(true);
    if (QAbstractButton* b = operators_->button(r.op)) b->setChecked(true);
    value_->setText(q(r.value));
}

void ActivationDialog::updateButtons() {
    const int row = formulas_->currentRow();
    const bool selected = row >= 0;
    new_->setEnabled(!variables::offeredFields(ws_.store()).empty());
    delete_->setEnabled(selected);
    reset_->setEnabled(!act_.rows.empty());
    // The first row joins nothing above it.
    for (QAbstractButton* b : combinations_->buttons())
        b->setEnabled(row > 0);
    for (QAbstractButton* b : operators_->buttons())
        b->setEnabled(selected);
    value_->setEnabled(selected);
    save_->setEnabled(!act_.rows.empty());
    // An empty condition activates nothing.
    activate_->setEnabled(!act_.rows.empty());
}

void ActivationDialog::storeRow() {
    const int row = formulas_->currentRow();
    if (row < 0) return;
    FormulaRow& r = act_.rows[static_cast<std::size_t>(row)];
    if (row > 0 && combinations_->checkedId() >= 0) r.combination = combinations_->checkedId();
    if (operators_->checkedId() >= 0) r.op = operators_->checkedId();
    store::FieldInfo text;
    text.type = store::TypeString;
    const store::FieldInfo* field = ws_.store().GetField(TopicId::Texts, r.fieldId);
    r.value = variables::normaliseValue(field ? *field : text, value_->text().toStdString());
    formulas_->item(row)->setText(q(variables::rowText(ws_.store(), r, row == 0)));
}

void ActivationDialog::addRows() {
    const std::vector<int> fields = variables::offeredFields(ws_.store());
    if (fields.empty()) return;
    QDialog choice(this);
    choice.setObjectName("fieldsDialog");
    choice.setWindowTitle("New");
    auto* list = new QListWidget;
    list->setObjectName("fields");
    for (int id : fields) {
        const store::FieldInfo* f = ws_.store().GetField(TopicId::Texts, id);
        auto* item = new QListWidgetItem(q(f ? f->name : std::string()), list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setData(Qt::UserRole, id);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, &choice, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &choice, &QDialog::reject);
    auto* layout = new QVBoxLayout(&choice);
    layout->addWidget(list);
    layout->addWidget(buttons);
    if (choice.exec() != QDialog::Accepted) return;
    const std::size_t before = act_.rows.size();
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            act_.rows.push_back(
                variables::newRow(ws_.store(), list->item(i)->data(Qt::UserRole).toInt()));
    if (act_.rows.size() == before) return;
    fill(static_cast<int>(act_.rows.size()) - 1);
}

void ActivationDialog::deleteRow() {
    const int row = formulas_->currentRow();
    if (row < 0) return;
    act_.rows.erase(act_.rows.begin() + row);
    fill(std::min(row, static_cast<int>(act_.rows.size()) - 1));
}

void ActivationDialog::resetRows() {
    if (act_.rows.empty()) return;
    if (!ws_.ui().question("Remove every row of the condition?", "Yes", "No")) return;
    act_.rows.clear();
    fill(-1);
}

void ActivationDialog::startInFolder() {
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ws_.ui()))
        qt->setStartFolder(act_.defaultFolder());
}

void ActivationDialog::openCondition() {
    startInFolder();
    if (act_.OpenCommand()) fill(act_.rows.empty() ? -1 : 0);
}

void ActivationDialog::saveCondition() {
    startInFolder();
    act_.SaveCommand();
    // Saving takes each row's field name from its field.
    refreshTexts();
}

void ActivationDialog::activate() {
    if (act_.rows.empty()) return;
    ws_.ui().waitCursor(true);
    act_.Activate();
    ws_.ui().waitCursor(false);
    close();
}

void ActivationDialog::onViewEvent(store::ViewEvent, int topic, std::int32_t id) {
    // A variable made, renamed or deleted: the rows name it anew, New offers it.
    if (topic == TopicId::Texts && id == 0) {
        refreshTexts();
        updateButtons();
    }
}

void ActivationDialog::onContentsReplaced() {
    refreshTexts();
    updateButtons();
}

void ActivationDialog::onProjectClosed() {
    // The rows belong to this project's fields; they go to the settings while it is open.
    close();
}

void ActivationDialog::writeSettings() {
    if (settingsWritten_) return;
    settingsWritten_ = true;
    act_.StoreSettings(settings_);
    settings_.setWindowPos(store::AppSettings::logActivationSection, framePlace(*this));
    if (const std::string error = settings_.save(); !error.empty())
        ws_.ui().message(error, MessageIcon::Warning);
}

// Close, Activate and Escape all end here.
void ActivationDialog::done(int result) {
    writeSettings();
    QDialog::done(result);
}

void ActivationDialog::closeEvent(QCloseEvent* event) {
    writeSettings();
    QDialog::closeEvent(event);
}

ActivationDialog* showActivationDialog(QWidget* mainWindow, analysis::Workspace& ws,
                                       store::AppSettings& settings) {
    auto* dialog =
        mainWindow->findChild<ActivationDialog*>("activationDialog", Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new ActivationDialog(ws, settings, mainWindow);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowModality(Qt::WindowModal);
    }
    if (dialog->isMinimized()) dialog->showNormal();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

} // namespace vexana::shell
