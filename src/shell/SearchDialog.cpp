#include "SearchDialog.h"

#include "QtText.h"
#include "QtUserInterface.h"
#include "WindowPlace.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vexana::shell {

using store::MessageIcon;
using store::WindowPlacement;

namespace {
constexpr int textRole = Qt::UserRole + 1; // the accepted text, kept while a label is edited
}

SearchDialog::SearchDialog(store::AppSettings& settings, store::UserInterface& ui, QWidget* parent)
    : QDialog(parent), settings_(settings), ui_(ui), strings_(new QListWidget),
      new_(new QPushButton("New")), delete_(new QPushButton("Delete")),
      inTexts_(new QRadioButton("in Texts")), inMemos_(new QRadioButton("in Memos")),
      or_(new QRadioButton("OR")), and_(new QRadioButton("AND")), within_(new QCheckBox("Within")),
      paragraphs_(new QSpinBox), paragraphsLabel_(new QLabel("Paragraphs")),
      wholeWords_(new QCheckBox("Find Whole Words")), case_(new QCheckBox("Case Sensitive")),
      onlyActive_(new QCheckBox("Only in Active Texts")),
      onlyRetrieved_(new QCheckBox("Only in Retrieved Segments")), open_(new QPushButton("Open")),
      save_(new QPushButton("Save")), run_(new QPushButton("Run Search")),
      close_(new QPushButton("Close")) {
    setWindowTitle("Search");
    setObjectName("searchDialog");
    strings_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    strings_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    strings_->setToolTip("Search Strings");
    paragraphs_->setRange(1, browser::SearchSettings::maxWithinParagraphs);
    run_->setDefault(true);
    auto* where = new QButtonGroup(this);
    where->addButton(inTexts_);
    where->addButton(inMemos_);
    auto* how = new QButtonGroup(this);
    how->addButton(or_);
    how->addButton(and_);

    auto* list = new QVBoxLayout;
    list->addWidget(new QLabel("Search Strings"));
    list->addWidget(strings_, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(new_);
    listButtons->addWidget(delete_);
    list->addLayout(listButtons);

    auto* options = new QGridLayout;
    options->addWidget(inTexts_, 0, 0);
    options->addWidget(inMemos_, 0, 1);
    options->addWidget(or_, 1, 0);
    options->addWidget(and_, 1, 1);
    auto* withinRow = new QHBoxLayout;
    withinRow->addWidget(within_);
    withinRow->addWidget(paragraphs_);
    withinRow->addWidget(paragraphsLabel_);
    withinRow->addStretch();
    options->addLayout(withinRow, 2, 0, 1, 2);
    options->addWidget(wholeWords_, 3, 0, 1, 2);
    options->addWidget(case_, 4, 0, 1, 2);
    options->addWidget(onlyActive_, 5, 0, 1, 2);
    options->addWidget(onlyRetrieved_, 6, 0, 1, 2);
    options->setRowStretch(7, 1);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {run_, close_, open_, save_})
        buttons->addWidget(b);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(list, 1);
    layout->addLayout(options);
    layout->addLayout(buttons);

    connect(new_, &QPushButton::clicked, this, &SearchDialog::addString);
    connect(delete_, &QPushButton::clicked, this, &SearchDialog::deleteStrings);
    connect(open_, &QPushButton::clicked, this, &SearchDialog::openSettings);
    connect(save_, &QPushButton::clicked, this, &SearchDialog::saveSettings);
    connect(run_, &QPushButton::clicked, this, &QDialog::accept);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    connect(strings_, &QListWidget::itemChanged, this, &SearchDialog::labelEdited);
    connect(strings_, &QListWidget::itemSelectionChanged, this, &SearchDialog::updateEnabling);
    for (QAbstractButton* b :
         std::initializer_list<QAbstractButton*>{inTexts_, inMemos_, or_, and_, within_})
        connect(b, &QAbstractButton::toggled, this, &SearchDialog::updateEnabling);
    // Every click on "Only in Active Texts" clears "Only in Retrieved Segments".
    connect(onlyActive_, &QCheckBox::clicked, this, [this] {
        onlyRetrieved_->setChecked(false);
        updateEnabling();
    });

    folder_ = browser::storedSearchFolder(settings_);
    if (const auto place = WindowPlacement::parse(
            settings_.profile().readString(browser::lookForSection, "WindowPos"))) {
        resize(std::max(place->right - place->left, 200),
               std::max(place->bottom - place->top, 150));
        if (QGuiApplication::screenAt(QPoint(place->left, place->top) +
                                      QPoint(width(), height()) / 2))
            move(place->left, place->top);
    }
    fill(browser::storedSearchSettings(settings_));
}

browser::SearchSettings SearchDialog::searchSettings() const {
    browser::SearchSettings s;
    for (int i = 0; i < strings_->count(); ++i)
        s.strings.push_back(strings_->item(i)->data(textRole).toString().toStdString());
    s.inMemos = inMemos_->isChecked();
    s.useAnd = and_->isChecked();
    s.within = within_->isChecked();
    s.withinParagraphs = paragraphs_->value();
    s.wholeWords = wholeWords_->isChecked();
    s.caseSensitive = case_->isChecked();
    s.onlyActiveTexts = onlyActive_->isChecked();
    s.onlyRetrievedSegments = onlyRetrieved_->isChecked();
    return s;
}

void SearchDialog::fill(const browser::SearchSettings& s) {
    filling_ = true;
    strings_->clear();
    for (const std::string& str : s.strings) {
        auto* item = new QListWidgetItem(q(str), strings_);
        item->setData(textRole, q(str));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    (s.inMemos ? inMemos_ : inTexts_)->setChecked(true);
    (s.useAnd ? and_ : or_)->setChecked(true);
    within_->setChecked(s.within);
    paragraphs_->setValue(s.withinParagraphs);
    wholeWords_->setChecked(s.wholeWords);
    case_->setChecked(s.caseSensitive);
    onlyActive_->setChecked(s.onlyActiveTexts);
    onlyRetrieved_->setChecked(s.onlyRetrievedSegments);
    filling_ = false;
    updateEnabling();
}

void SearchDialog::updateEnabling() {
    const int n = strings_->count();
    const bool any = n > 0, several = n > 1;
    delete_->setEnabled(!strings_->selectedItems().isEmpty());
    for (QWidget* w :
         std::initializer_list<QWidget*>{inTexts_, inMemos_, wholeWords_, case_, save_, run_})
        w->setEnabled(any);
    or_->setEnabled(several);
    and_->setEnabled(several);
    within_->setEnabled(several && and_->isChecked());
    const bool number = several && and_->isChecked() && within_->isChecked();
    paragraphs_->setEnabled(number);
    paragraphsLabel_->setEnabled(number);
    const bool texts = any && inTexts_->isChecked();
    onlyActive_->setEnabled(texts);
    onlyRetrieved_->setEnabled(texts && onlyActive_->isChecked());
}

bool SearchDialog::taken(const QString& text, const QListWidgetItem* except) const {
    for (int i = 0; i < strings_->count(); ++i) {
        const QListWidgetItem* item = strings_->item(i);
        if (item != except &&
            item->data(textRole).toString().compare(text, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void SearchDialog::addString() {
    QString name;
    for (int n = strings_->count() + 1;; ++n) {
        name = QString("%1 %2").arg("Search String").arg(n);
        if (!taken(name, nullptr)) break;
    }
    filling_ = true;
    auto* item = new QListWidgetItem(name, strings_);
    item->setData(textRole, name);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    filling_ = false;
    strings_->setCurrentItem(item);
    strings_->editItem(item);
    updateEnabling();
}

void SearchDialog::labelEdited(QListWidgetItem* item) {
    if (filling_) return;
    const QString old = item->data(textRole).toString();
    const QString edited = item->text();
    if (edited == old) return;
    QString accepted = old;
    if (const std::string why = browser::SearchSettings::refusal(edited.toStdString());
        !why.empty())
        ui_.message(why, MessageIcon::Stop);
    else if (!edited.isEmpty() && !taken(edited, item) && !edited.trimmed().isEmpty())
        accepted = edited.trimmed();
    filling_ = true;
    item->setData(textRole, accepted);
    item->setText(accepted);
    filling_ = false;
}

void SearchDialog::deleteStrings() {
    for (QListWidgetItem* item : strings_->selectedItems())
        delete item;
    updateEnabling();
}

void SearchDialog::keyPressEvent(QKeyEvent* event) {
    // An editor open on a label keeps its Delete key to itself.
    if (event->key() == Qt::Key_Delete) {
        deleteStrings();
        return;
    }
    QDialog::keyPressEvent(event);
}

void SearchDialog::remember(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos) folder_ = path.substr(0, slash + 1);
}

void SearchDialog::openSettings() {
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_)) qt->setStartFolder(folder_);
    const std::string path = ui_.chooseFile(store::FileDialog::OpenSearch);
    if (path.empty()) return;
    browser::SearchSettings s;
    if (const std::string why = browser::readSeaFile(path, s); !why.empty()) {
        ui_.message(why, MessageIcon::Stop);
        return;
    }
    fill(s);
    remember(path);
}

void SearchDialog::saveSettings() {
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_)) qt->setStartFolder(folder_);
    const std::string path = ui_.chooseFile(store::FileDialog::SaveSearch);
    if (path.empty()) return;
    if (const std::string why = browser::writeSeaFile(path, searchSettings()); !why.empty()) {
        ui_.message(why, MessageIcon::Stop);
        return;
    }
    remember(path);
}

// "Run Search", "Close" and Escape all keep the options.
void SearchDialog::done(int result) {
    browser::storeSearchSettings(settings_, searchSettings(), folder_);
    settings_.setWindowPos(browser::lookForSection, framePlace(*this));
    if (const std::string error = settings_.save(); !error.empty())
        ui_.message(error, MessageIcon::Warning);
    QDialog::done(result);
}

} // namespace vexana::shell
