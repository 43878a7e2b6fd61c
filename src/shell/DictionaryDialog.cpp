#include "DictionaryDialog.h"

#include "QtUserInterface.h"
#include "WindowPlace.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "store/UserInterface.h"
#include "wordanalysis/Dictionary.h"

#include <QAbstractItemDelegate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

namespace vexana::shell {

using namespace store;

namespace {

constexpr int idRole = Qt::UserRole;
constexpr int flagFields[3] = {DictItemField::Exact, DictItemField::Case, DictItemField::Start};

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QPushButton* button(QWidget* parent, const char* text, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

DictionaryDialog::DictionaryDialog(wordanalysis::Dictionary& dictionary, AppSettings& settings,
                                   UserInterface& ui, QWidget* parent)
    : QDialog(parent), dictionary_(dictionary), settings_(settings), ui_(ui) {
    setWindowTitle("Dictionary");
    categories_ = new QListWidget(this);
    items_ = new QTableWidget(0, 4, this);
    items_->setHorizontalHeaderLabels(
        {"Search Items", "Only Exact Matches", "Case Sensitivity", "Starting Letters"});
    items_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    items_->horizontalHeader()->setMinimumSectionSize(60);
    for (int c = 1; c < 4; ++c)
        items_->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    items_->verticalHeader()->hide();
    items_->setSelectionBehavior(QAbstractItemView::SelectRows);
    items_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Categories", this));
    left->addWidget(categories_, 1);
    auto* leftButtons = new QHBoxLayout;
    leftButtons->addWidget(button(this, "New", "newCategory"));
    leftButtons->addWidget(button(this, "Delete", "deleteCategory"));
    left->addLayout(leftButtons);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel("Search Items", this));
    right->addWidget(items_, 1);
    auto* rightButtons = new QHBoxLayout;
    rightButtons->addWidget(button(this, "New", "newItem"));
    rightButtons->addWidget(button(this, "Delete", "deleteItems"));
    rightButtons->addStretch();
    right->addLayout(rightButtons);
    auto* lists = new QHBoxLayout;
    lists->addLayout(left, 1);
    lists->addLayout(right, 3);
    auto* bottom = new QHBoxLayout;
    for (const auto& [text, name] :
         {std::pair{"Open", "open"}, {"Add", "add"}, {"Save", "save"}, {"Delete All", "deleteAll"}})
        bottom->addWidget(button(this, text, name));
    bottom->addStretch();
    bottom->addWidget(button(this, "Close", "close"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(bottom);

    const auto on = [this](const char* name, auto slot) {
        connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, slot);
    };
    on("newCategory", [this] { newCategory(); });
    on("deleteCategory", [this] { deleteCategory(); });
    on("newItem", [this] { newItem(); });
    on("deleteItems", [this] { deleteItems(); });
    on("open", [this] { openFile(false); });
    on("add", [this] { openFile(true); });
    on("save", [this] { saveFile(); });
    on("deleteAll", [this] { deleteAll(); });
    on("close", [this] { accept(); });
    connect(categories_, &QListWidget::currentRowChanged, this, [this] {
        if (!filling_) fillItems();
    });
    connect(items_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    connect(categories_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this] { finishCategory(); });
    connect(items_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this] { finishItem(); });
    connect(items_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* cell) {
        if (filling_ || cell->column() == 0) return;
        const std::int32_t id = items_->item(cell->row(), 0)->data(idRole).toInt();
        if (id != 0)
            dictionary_.setItemFlag(id, flagFields[cell->column() - 1],
                                    cell->checkState() == Qt::Checked);
    });

    const WindowPlacement place =
        settings_.windowPos(wordanalysis::dictionarySection,
                            WindowPlacement{0, 1, 0, 0, 0, 0, 100, 100, 100 + 800, 100 + 440});
    resize(std::max(place.right - place.left, 640), std::max(place.bottom - place.top, 300));
    move(place.left, place.top);
    reload();
}

std::int32_t DictionaryDialog::currentCategory() const {
    const QListWidgetItem* item = categories_->currentItem();
    return item ? item->data(idRole).toInt() : 0;
}

void DictionaryDialog::setCurrentCategory(std::int32_t category) {
    for (int i = 0; i < categories_->count(); ++i)
        if (categories_->item(i)->data(idRole).toInt() == category) categories_->setCurrentRow(i);
}

void DictionaryDialog::reload(std::int32_t select) {
    const std::int32_t keep = select ? select : currentCategory();
    {
        const QSignalBlocker quiet(categories_);
        categories_->clear();
        const TopicStore& st = dictionary_.store();
        for (std::int32_t c : dictionary_.categories()) {
            auto* item = new QListWidgetItem(
                q(st.GetText(TopicId::DictCategories, c, DictCategoryField::Name)), categories_);
            item->setData(idRole, c);
        }
        if (categories_->count()) categories_->setCurrentRow(0);
        setCurrentCategory(keep);
    }
    fillItems();
}

void DictionaryDialog::fillItems(const std::vector<std::int32_t>& select) {
    filling_ = true;
    items_->setRowCount(0);
    const TopicStore& st = dictionary_.store();
    const std::int32_t category = currentCategory();
    const auto ids = category ? dictionary_.items(category) : std::vector<std::int32_t>{};
    items_->setRowCount(static_cast<int>(ids.size()));
    for (int row = 0; row < static_cast<int>(ids.size()); ++row) {
        const std::int32_t id = ids[static_cast<std::size_t>(row)];
        auto* text =
            new QTableWidgetItem(q(st.GetText(TopicId::DictItems, id, DictItemField::Text)));
        text->setData(idRole, id);
        text->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        items_->setItem(row, 0, text);
        for (int c = 0; c < 3; ++c) {
            auto* flag = new QTableWidgetItem;
            flag->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            flag->setCheckState(st.GetInt(TopicId::DictItems, id, flagFields[c]) ? Qt::Checked
                                                                                 : Qt::Unchecked);
            items_->setItem(row, c + 1, flag);
        }
        if (std::find(select.begin(), select.end(), id) != select.end())
            items_->selectionModel()->select(items_->model()->index(row, 0),
                                             QItemSelectionModel::Select |
                                                 QItemSelectionModel::Rows);
    }
    filling_ = false;
    updateButtons();
}

void DictionaryDialog::updateButtons() {
    const bool any = !dictionary_.categories().empty();
    findChild<QPushButton*>("newItem")->setEnabled(currentCategory() != 0);
    findChild<QPushButton*>("deleteCategory")->setEnabled(currentCategory() != 0);
    findChild<QPushButton*>("deleteItems")->setEnabled(items_->selectionModel()->hasSelection());
    findChild<QPushButton*>("deleteAll")->setEnabled(any);
}

void DictionaryDialog::newCategory() {
    beforeNew_ = currentCategory();
    auto* item = new QListWidgetItem;
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setData(idRole, 0);
    {
        const QSignalBlocker quiet(categories_);
        categories_->insertItem(0, item);
        categories_->setCurrentItem(item);
    }
    categories_->editItem(item);
}

void DictionaryDialog::finishCategory() {
    for (int i = 0; i < categories_->count(); ++i) {
        QListWidgetItem* item = categories_->item(i);
        if (item->data(idRole).toInt() != 0) continue;
        const std::string name = item->text().trimmed().toStdString();
        {
            const QSignalBlocker quiet(categories_);
            delete item;
        }
        std::string why;
        std::int32_t made = 0;
        if (!name.empty()) {
            made = dictionary_.newCategory(name, 0, &why);
            if (!made) ui_.message(why, MessageIcon::Warning);
        }
        reload(made ? made : beforeNew_);
        return;
    }
}

void DictionaryDialog::newItem() {
    if (!currentCategory()) return;
    filling_ = true;
    items_->insertRow(0);
    auto* text = new QTableWidgetItem;
    text->setData(idRole, 0);
    text->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    items_->setItem(0, 0, text);
    for (int c = 1; c < 4; ++c) {
        auto* flag = new QTableWidgetItem;
        flag->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        flag->setCheckState(Qt::Unchecked);
        items_->setItem(0, c, flag);
    }
    filling_ = false;
    items_->setCurrentCell(0, 0);
    items_->editItem(text);
}

void DictionaryDialog::finishItem() {
    for (int row = 0; row < items_->rowCount(); ++row) {
        QTableWidgetItem* text = items_->item(row, 0);
        if (!text || text->data(idRole).toInt() != 0) continue;
        const std::string typed = text->text().trimmed().toStdString();
        bool flags[3];
        for (int c = 0; c < 3; ++c)
            flags[c] = items_->item(row, c + 1)->checkState() == Qt::Checked;
        std::int32_t made = 0;
        if (!typed.empty()) {
            std::string why;
            made = dictionary_.newItem(currentCategory(), typed, 0, flags[0], flags[1], flags[2],
                                       &why);
            if (!made) ui_.message(why, MessageIcon::Warning);
        }
        fillItems(made ? std::vector<std::int32_t>{made} : std::vector<std::int32_t>{});
        return;
    }
}

bool DictionaryDialog::confirm(const char* question) {
    return ui_.question(question, "Yes", "No");
}

void DictionaryDialog::deleteCategory() {
    const std::int32_t category = currentCategory();
    if (!category || !confirm("Delete Category?")) return;
    dictionary_.deleteCategory(category);
    reload();
}

void DictionaryDialog::deleteItems() {
    std::vector<std::int32_t> chosen;
    for (const QModelIndex& i : items_->selectionModel()->selectedRows())
        if (const std::int32_t id = items_->item(i.row(), 0)->data(idRole).toInt())
            chosen.push_back(id);
    if (chosen.empty() || !confirm("Delete Search Item(s)?")) return;
    for (std::int32_t id : chosen)
        dictionary_.deleteItem(id);
    fillItems();
}

void DictionaryDialog::deleteAll() {
    if (dictionary_.categories().empty() || !confirm("Delete All Categories?")) return;
    dictionary_.clear();
    reload();
}

void DictionaryDialog::pathChanged(const std::string& path) {
    settings_.profile().writeString("QNT", "Dictionar", path);
    const std::filesystem::path p(path);
    if (p.has_parent_path())
        wordanalysis::storeDictionaryFolder(settings_, (p.parent_path() / "").string());
}

void DictionaryDialog::openFile(bool merge) {
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_))
        qt->setStartFolder(wordanalysis::storedDictionaryFolder(settings_));
    const std::string path =
        ui_.chooseFile(merge ? FileDialog::AddDictionary : FileDialog::OpenDictionary);
    if (path.empty()) return;
    std::string why;
    if (merge) {
        why = dictionary_.add(path);
        const std::filesystem::path p(path);
        if (p.has_parent_path())
            wordanalysis::storeDictionaryFolder(settings_, (p.parent_path() / "").string());
    } else {
        // The dictionary that goes is kept in its file first, as closing the project would.
        if (const std::string lost = dictionary_.writeBack(); !lost.empty()) {
            ui_.message(lost, MessageIcon::Stop);
            return;
        }
        why = dictionary_.open(path);
        pathChanged(path);
    }
    if (why.empty()) why = dictionary_.warning();
    if (!why.empty()) ui_.message(why, MessageIcon::Warning);
    reload();
}

void DictionaryDialog::saveFile() {
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_))
        qt->setStartFolder(wordanalysis::storedDictionaryFolder(settings_));
    const std::string path = ui_.chooseFile(FileDialog::SaveDictionary);
    if (path.empty()) return;
    if (const std::string why = dictionary_.save(path); !why.empty()) {
        ui_.message(why, MessageIcon::Stop);
        return;
    }
    pathChanged(path);
}

bool DictionaryDialog::addWords(const std::vector<std::string>& words) {
    const std::int32_t category = currentCategory();
    if (!category) {
        ui_.message("Choose a category of the dictionary first.", MessageIcon::Information);
        return false;
    }
    std::string why;
    const std::vector<std::int32_t> made = dictionary_.addWords(category, words, &why);
    if (!why.empty()) ui_.message(why, MessageIcon::Warning);
    fillItems(made);
    return !made.empty();
}

void DictionaryDialog::done(int result) {
    settings_.setWindowPos(wordanalysis::dictionarySection, framePlace(*this));
    QDialog::done(result);
}

} // namespace vexana::shell
