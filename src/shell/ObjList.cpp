#include "ObjList.h"

#include "CommandScope.h"
#include "SavePath.h"
#include "WindowPlace.h"
#include "store/Schema.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace vexana::shell {

using browser::ListGrid;
using namespace vexana::store;

namespace {

constexpr int leastWidth = 476;
constexpr int leastHeight = 152;
constexpr int buttonGap = 7;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string positionSection(int kind) {
    return "ObjList " + std::to_string(kind);
}

QIcon kindIcon(const browser::ListKind& k) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setBrush(QColor::fromRgb(k.colour ? k.colour : 0xE8E8E8));
    p.setPen(Qt::darkGray);
    p.drawRect(1, 1, 13, 13);
    return QIcon(pixmap);
}

} // namespace

ObjList::ObjList(CVexDoc& doc, AppSettings& settings, int kind, QWidget* parent)
    : QWidget(parent, Qt::Window), doc_(doc), settings_(settings), kind_(kind),
      grid_(doc.store(), kind), storeOwner_(std::make_unique<browser::StoreGridOwner>(doc.store())),
      owner_(storeOwner_.get()) {
    const browser::ListKind& k = browser::listKind(kind);
    setWindowTitle(q(k.caption));
    setWindowIcon(kindIcon(k));
    if (k.colour) grid_.setTitleColour(k.colour);
    grid_.readLayout(settings_.profile());
    model_ = new ListGridModel(grid_, this);
    view_ = new ListGridView(model_, *owner_, this);
    if (k.colour) {
        QPalette pal = view_->palette();
        pal.setColor(QPalette::AlternateBase, QColor::fromRgb(k.colour));
        view_->setPalette(pal);
        view_->setAlternatingRowColors(true);
    }
    title_ = new QLabel(this);
    counter_ = new QLabel(this);
    counter_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    export_ = new QPushButton("Export", this);
    code_ = new QPushButton("Code", this);
    options_ = new QPushButton("Options", this);
    close_ = new QPushButton("Close", this);

    auto* top = new QHBoxLayout;
    top->addWidget(title_, 1);
    top->addWidget(counter_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(export_);
    bottom->addWidget(code_);
    bottom->addWidget(options_);
    bottom->addStretch();
    bottom->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addLayout(bottom);

    connect(export_, &QPushButton::clicked, this, &ObjList::exportList);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(options_, &QPushButton::clicked, this, [this] {
        if (optionsHandler_) optionsHandler_(browser::listKind(kind_).optionsCommand);
    });
    connect(code_, &QPushButton::clicked, this, [this] {
        if (codeHandler_) codeHandler_();
    });
    // An edit is one step of the undo history.
    connect(model_, &ListGridModel::editStarting, this, [this] {
        if (commands_)
            editScope_ = std::make_unique<CommandScope>(*commands_, "Edit Value");
        else
            doc_.beginCommand("Edit Value");
    });
    connect(model_, &ListGridModel::editEnded, this, [this] {
        if (commands_)
            editScope_.reset();
        else
            doc_.endCommand();
    });
    connect(model_, &ListGridModel::editUnreadable, this, [this](const QString& why) {
        doc_.ui().message(why.toStdString(), store::MessageIcon::Warning);
    });
    connect(model_, &ListGridModel::cellStored, this,
            [this](std::int32_t id) { doc_.notify(ViewEvent::Changed, kind_, id); });

    const WindowPlacement place = settings_.windowPos(
        positionSection(kind), WindowPlacement{0, 1, 0, 0, 0, 0, 80, 80, 80 + 640, 80 + 400});
    resize(std::max(place.right - place.left, leastWidth),
           std::max(place.bottom - place.top, leastHeight));
    QPoint at(place.left, place.top);
    // A place from another screen is brought onto this one.
    if (const QScreen* sc = screen(); sc && !sc->availableGeometry().isEmpty()) {
        const QRect area = sc->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(at);
    updateButtons();
    doc_.addView(this);
}

ObjList::~ObjList() {
    doc_.removeView(this);
    writeSettings();
    // The view reads the grid while it goes, and the grid goes before the child widgets.
    delete view_;
    delete model_;
}

void ObjList::setGridOwner(browser::GridOwner* owner) {
    owner_ = owner ? owner : storeOwner_.get();
    // The view holds the owner it was made with; a new view takes the new one.
    auto* view = new ListGridView(model_, *owner_, this);
    delete layout()->replaceWidget(view_, view); // the old item is ours to free
    view->setPalette(view_->palette());
    view->setAlternatingRowColors(view_->alternatingRowColors());
    delete view_;
    view_ = view;
}

void ObjList::setOptionsHandler(std::function<void(int)> handler) {
    optionsHandler_ = std::move(handler);
    updateButtons();
}

void ObjList::setCodeHandler(std::function<void()> handler) {
    codeHandler_ = std::move(handler);
    updateButtons();
}

void ObjList::updateButtons() {
    const browser::ListKind& k = browser::listKind(kind_);
    code_->setVisible(k.codeButton);
    options_->setVisible(k.optionsCommand != 0);
    // A button whose work is not there is offered disabled.
    code_->setEnabled(static_cast<bool>(codeHandler_));
    options_->setEnabled(static_cast<bool>(optionsHandler_));
    int width = leastWidth;
    if (!k.codeButton) width -= code_->sizeHint().width() + buttonGap;
    if (!k.optionsCommand) width -= options_->sizeHint().width() + buttonGap;
    setMinimumSize(width, leastHeight);
}

void ObjList::refill(const std::string& title, std::vector<std::int32_t> ids) {
    titleText_ = title;
    title_->setText(q("    " + title));
    grid_.fill(std::move(ids));
    model_->reload();
    view_->reload();
    updateCounter();
}

void ObjList::updateCounter() {
    counter_->setText(q(browser::counterLine(grid_.rowCount(), browser::listKind(kind_))));
}

std::vector<std::int32_t> ObjList::selectedIds() const {
    std::vector<std::int32_t> out;
    for (const QModelIndex& i : view_->selectionModel()->selectedRows())
        if (i.row() < grid_.rowCount()) out.push_back(grid_.rows()[i.row()]);
    return out;
}

std::string ObjList::exportType() const {
    const std::string t =
        settings_.profile().readString("ObjList" + std::to_string(kind_), "ExportType", "txt");
    return t.empty() ? "txt" : t;
}

QStringList ObjList::exportFilters() const {
    QStringList filters{"Text (*.txt)"};
    if (kind_ == TopicId::Codings) {
        if (exportType() == "htm")
            filters.prepend("HTML (*.htm)");
        else
            filters.append("HTML (*.htm)");
    }
    return filters;
}

void ObjList::exportList() {
    if (ownerExport && ownerExport(kind_, selectedIds())) return;
    const QStringList filters = exportFilters();
    QString chosen = filters.front();
    QString path;
    if (chooseExportPath) {
        path = chooseExportPath(filters, chosen);
    } else {
        QFileDialog dialog(this, "Export", {}, filters.join(";;"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (kind_ == TopicId::Texts) dialog.selectFile("Variables");
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedNameFilter();
            path = dialog.selectedFiles().front();
        }
    }
    if (path.isEmpty()) return;
    // A name typed with an ending the window offers says the type, whatever the filter.
    QString suffix = chosen.contains("*.htm") ? "htm" : "txt";
    for (const QString& offered : filters) {
        const QString ending = offered.contains("*.htm") ? "htm" : "txt";
        if (path.endsWith('.' + ending, Qt::CaseInsensitive)) suffix = ending;
    }
    path = finishSavePath(path, suffix, [this](const QString& text) {
        return doc_.ui().question(text.toStdString(), "Yes", "No");
    });
    if (path.isEmpty()) return;
    settings_.profile().writeString("ObjList" + std::to_string(kind_), "ExportType",
                                    suffix.toStdString());
    const std::string target = path.toStdString();
    const std::string error = grid_.exportTo(target, suffix == "htm", titleText_);
    if (!error.empty()) {
        doc_.ui().message("The list could not be exported to " + target + ": " + error + ".",
                          MessageIcon::Stop);
        return;
    }
    if (suffix != "htm") return;
    // Handed to the desktop, never to a command line made from the name.
    if (openDocument)
        openDocument(path);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void ObjList::writeSettings() {
    if (settingsWritten_) return;
    settingsWritten_ = true;
    settings_.setWindowPos(positionSection(kind_), framePlace(*this));
    grid_.writeLayout(settings_.profile());
}

void ObjList::closeEvent(QCloseEvent* event) {
    writeSettings();
    const std::string error = settings_.save();
    if (!error.empty()) doc_.ui().message(error, MessageIcon::Warning);
    event->accept();
    deleteLater();
}

void ObjList::onViewEvent(ViewEvent event, int topic, std::int32_t id) {
    if (closed_) return;
    if (topic == kind_ && event == ViewEvent::Removed) {
        std::vector<std::int32_t> rest = grid_.rows();
        const auto end = std::remove(rest.begin(), rest.end(), id);
        if (end == rest.end()) return;
        rest.erase(end, rest.end());
        refill(titleText_, std::move(rest));
    } else if (topic == kind_ || event == ViewEvent::Changed) {
        view_->viewport()->update();
    }
}

void ObjList::onContentsReplaced() {
    if (closed_) return;
    // Undo or redo may take records and fields away: keep what is still there.
    std::vector<std::int32_t> rest;
    const Topic* t = doc_.store().GetTopic(kind_);
    for (std::int32_t id : grid_.rows())
        if (id == ListGrid::lastRowId || (t && t->contains(id))) rest.push_back(id);
    refill(titleText_, std::move(rest));
}

void ObjList::onProjectClosed() {
    if (closed_) return;
    closed_ = true;
    // The store is emptied next: the grid must not read it any more.
    grid_.fill({});
    model_->reload();
    close();
}

} // namespace vexana::shell
