#include "StopListDialog.h"

#include "QtUserInterface.h"
#include "WindowPlace.h"
#include "store/UserInterface.h"

#include <QAbstractItemDelegate>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

namespace vexana::shell {

using namespace store;

namespace {

constexpr int oldWord = Qt::UserRole;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string folderOf(const std::string& path) {
    const std::filesystem::path p(path);
    return p.has_parent_path() ? (p.parent_path() / "").string() : std::string();
}

} // namespace

StopListDialog::StopListDialog(wordanalysis::StopList& list,
                               const browser::WordDelimiters& delimiters, AppSettings& settings,
                               UserInterface& ui, std::string filePath, QWidget* parent)
    : QDialog(parent), stopList_(list), delimiters_(delimiters), settings_(settings), ui_(ui),
      filePath_(std::move(filePath)) {
    setWindowTitle("Stop-List");
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::DoubleClicked);
    auto* buttons = new QVBoxLayout;
    for (const char* text : {"New", "Delete", "Open", "Add", "Save"}) {
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    auto* close = new QPushButton("Close", this);
    close->setAutoDefault(false);
    buttons->addWidget(close);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Excluded Words", this));
    left->addWidget(list_, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(button("New"), &QPushButton::clicked, this, &StopListDialog::newEntry);
    connect(button("Delete"), &QPushButton::clicked, this, &StopListDialog::deleteSelected);
    connect(button("Open"), &QPushButton::clicked, this, [this] { openFile(false); });
    connect(button("Add"), &QPushButton::clicked, this, [this] { openFile(true); });
    connect(button("Save"), &QPushButton::clicked, this, &StopListDialog::saveFile);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    // Delete is only offered while something is selected to delete.
    button("Delete")->setEnabled(false);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { button("Delete")->setEnabled(!list_->selectedItems().isEmpty()); });
    // An entry's edit ends however the editor closes: Return, Escape or a click elsewhere.
    connect(list_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        if (QListWidgetItem* item = list_->currentItem()) finishEdit(item);
    });

    const WindowPlacement place =
        settings_.windowPos(wordanalysis::stopListSection,
                            WindowPlacement{0, 1, 0, 0, 0, 0, 120, 120, 120 + 360, 120 + 420});
    resize(std::max(place.right - place.left, 300), std::max(place.bottom - place.top, 260));
    move(place.left, place.top);
    fill();
}

QPushButton* StopListDialog::button(const QString& text) const {
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void StopListDialog::fill(const std::string& select) {
    list_->clear();
    for (const std::string& w : stopList_.words()) {
        auto* item = new QListWidgetItem(q(w), list_);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setData(oldWord, q(w));
        if (w == select) list_->setCurrentItem(item);
    }
}

void StopListDialog::newEntry() {
    auto* item = new QListWidgetItem;
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    list_->insertItem(0, item);
    list_->setCurrentItem(item);
    list_->editItem(item);
}

void StopListDialog::finishEdit(QListWidgetItem* item) {
    const std::string before = item->data(oldWord).toString().toStdString();
    const std::string typed = item->text().trimmed().toStdString();
    if (typed == before) {
        if (typed.empty()) delete item; // a new entry left empty
        return;
    }
    if (!typed.empty()) {
        if (const std::string why = wordanalysis::StopList::refusal(typed); !why.empty()) {
            ui_.message(why, MessageIcon::Warning);
            fill(before);
            return;
        }
    }
    if (!before.empty()) stopList_.remove(before);
    if (!typed.empty()) stopList_.add(typed);
    changed_ = true;
    std::string folded = typed;
    for (const std::string& w : stopList_.words())
        if (QString::fromStdString(w).compare(q(typed), Qt::CaseInsensitive) == 0) folded = w;
    fill(folded);
}

void StopListDialog::deleteSelected() {
    bool any = false;
    for (QListWidgetItem* item : list_->selectedItems())
        any = stopList_.remove(item->data(oldWord).toString().toStdString()) || any;
    if (!any) return;
    changed_ = true;
    fill();
}

void StopListDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && !list_->indexWidget(list_->currentIndex())) {
        deleteSelected();
        return;
    }
    QDialog::keyPressEvent(event);
}

void StopListDialog::openFile(bool merge) {
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_))
        qt->setStartFolder(wordanalysis::storedStopListFolder(settings_));
    const std::string path =
        ui_.chooseFile(merge ? FileDialog::AddStopList : FileDialog::OpenStopList);
    if (path.empty()) return;
    wordanalysis::storeStopListFolder(settings_, folderOf(path));
    if (stopList_.load(path, delimiters_, ui_, merge)) changed_ = true;
    fill();
}

void StopListDialog::saveFile() {
    if (auto* qt = dynamic_cast<QtUserInterface*>(&ui_))
        qt->setStartFolder(wordanalysis::storedStopListFolder(settings_));
    const std::string path = ui_.chooseFile(FileDialog::SaveStopList);
    if (path.empty()) return;
    wordanalysis::storeStopListFolder(settings_, folderOf(path));
    if (const std::string why = stopList_.write(path); !why.empty())
        ui_.message(why, MessageIcon::Stop);
}

void StopListDialog::done(int result) {
    if (closing_) return QDialog::done(result);
    closing_ = true;
    // An entry still in its editor is taken as typed.
    if (QWidget* editor = list_->indexWidget(list_->currentIndex())) {
        emit list_->itemDelegate()->commitData(editor);
        finishEdit(list_->currentItem());
    }
    settings_.setWindowPos(wordanalysis::stopListSection, framePlace(*this));
    if (changed_ && !filePath_.empty())
        if (const std::string why = stopList_.write(filePath_); !why.empty())
            ui_.message(why, MessageIcon::Stop);
    QDialog::done(result);
}

} // namespace vexana::shell
