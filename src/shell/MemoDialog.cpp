#include "MemoDialog.h"

#include "PrintEngine.h"
#include "QtText.h"
#include "TextDocument.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>

namespace vexana::shell {

using namespace store;

namespace {

constexpr const char* section = "MemoDialog";
constexpr const char* defaultTextFormat = "Arial, 200, 0, 0, 0, 0, 0, 0";

// A sheet with a folded corner in the type's colour and its number: eleven that tell apart.
QPixmap typePixmap(int type) {
    static const QColor colours[analysis::MemoTypeCount] = {
        {255, 236, 120}, {255, 170, 90},  {240, 110, 110}, {230, 120, 210},
        {160, 130, 240}, {110, 160, 250}, {100, 210, 230}, {110, 210, 140},
        {170, 220, 90},  {200, 200, 200}, {150, 120, 90}};
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPolygonF sheet({{1.5, 1.5}, {10.5, 1.5}, {14.5, 5.5}, {14.5, 14.5}, {1.5, 14.5}});
    p.setPen(QColor(60, 60, 60));
    p.setBrush(colours[type]);
    p.drawPolygon(sheet);
    p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 5.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(14.5, 5.5));
    QFont f = p.font();
    f.setPixelSize(8);
    p.setFont(f);
    p.drawText(QRectF(1, 5, 13, 10), Qt::AlignCenter, QString::number(type));
    return pm;
}

} // namespace

QIcon memoTypeIcon(int type) {
    return QIcon(typePixmap(std::clamp(type, 0, analysis::MemoTypeCount - 1)));
}

MemoDialog::MemoDialog(analysis::Workspace& ws, AppSettings& settings, QWidget* parent)
    : QDialog(parent), ws_(ws), settings_(settings), ops_(ws), editor_(ops_, 0) {
    setObjectName("memoDialog");
    setWindowTitle("Memo");
    setModal(false);
    title_ = new QLineEdit(this);
    author_ = new QLineEdit(this);
    title_->setMaxLength(static_cast<int>(analysis::MemoTextLimit));
    author_->setMaxLength(static_cast<int>(analysis::MemoTextLimit));
    date_ = new QLabel(this);
    owner_ = new QLabel(this);
    body_ = new QTextEdit(this);
    body_->setAcceptRichText(true);
    codes_ = new QListWidget(this);
    codes_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    codes_->installEventFilter(this);
    link_ = new QPushButton("Link to", this);
    removeCodes_ = new QPushButton("Delete", this);
    print_ = new QPushButton("Print", this);
    export_ = new QPushButton("Export", this);
    delete_ = new QPushButton("Delete", this);
    close_ = new QPushButton("Close", this);
    types_ = new QButtonGroup(this);
    types_->setExclusive(true);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel("Title", this), 0, 0);
    fields->addWidget(title_, 0, 1);
    fields->addWidget(new QLabel("Author", this), 1, 0);
    fields->addWidget(author_, 1, 1);
    fields->addWidget(new QLabel("Date and Time", this), 2, 0);
    fields->addWidget(date_, 2, 1);
    fields->addWidget(new QLabel("Groups, Textname and Location", this), 3, 0);
    fields->addWidget(owner_, 3, 1);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(new QLabel("Memo Type", this));
    for (int t = 0; t < analysis::MemoTypeCount; ++t) {
        auto* b = new QToolButton(this);
        b->setCheckable(true);
        b->setIcon(memoTypeIcon(t));
        b->setToolTip(QString::number(t));
        types_->addButton(b, t);
        typeRow->addWidget(b);
    }
    typeRow->addStretch();
    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel("Codes", this));
    side->addWidget(codes_);
    side->addWidget(link_);
    side->addWidget(removeCodes_);
    auto* middle = new QHBoxLayout;
    middle->addWidget(body_, 3);
    middle->addLayout(side, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(print_);
    buttons->addWidget(export_);
    buttons->addWidget(delete_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(typeRow);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);

    connect(title_, &QLineEdit::textEdited, this, [this] { takeEdits(); });
    connect(author_, &QLineEdit::textEdited, this, [this] { takeEdits(); });
    connect(body_, &QTextEdit::textChanged, this, [this] {
        if (!loading_) bodyChanged_ = true;
    });
    connect(types_, &QButtonGroup::idClicked, this, [this](int type) {
        editor_.setType(type);
        setWindowIcon(memoTypeIcon(type));
    });
    connect(link_, &QPushButton::clicked, this, &MemoDialog::linkTo);
    connect(removeCodes_, &QPushButton::clicked, this, &MemoDialog::removeSelectedCodes);
    connect(print_, &QPushButton::clicked, this, &MemoDialog::printMemo);
    connect(export_, &QPushButton::clicked, this, &MemoDialog::exportMemo);
    connect(delete_, &QPushButton::clicked, this, &MemoDialog::deleteMemo);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);

    // The body's default character format: face and height in twips; the rest rides along.
    const std::string format = settings_.profile().readString(section, "TextFormat", defaultTextFormat);
    char face[64] = {};
    int twips = 200;
    if (std::sscanf(format.c_str(), "%63[^,], %d", face, &twips) < 2 || twips <= 0 ||
        twips > 2000) {
        std::snprintf(face, sizeof face, "Arial");
        twips = 200;
    }
    QFont font(face);
    font.setPointSizeF(twips / 20.0);
    body_->document()->setDefaultFont(font);

    const WindowPlacement place = settings_.windowPos(section, WindowPlacement{});
    resize(std::max(place.right - place.left, 300), std::max(place.bottom - place.top, 240));
    if (QGuiApplication::screenAt(QPoint(place.left, place.top) + QPoint(width(), height()) / 2))
        move(place.left, place.top);
    ws_.doc().addView(this);
}

MemoDialog::~MemoDialog() {
    ws_.doc().removeView(this);
}

QAbstractButton* MemoDialog::typeButton(int type) const {
    return types_->button(type);
}

bool MemoDialog::showMemo(std::int32_t id, bool isNew) {
    saveMemo();
    if (!editor_.switchTo(id, isNew)) return false;
    load();
    return true;
}

void MemoDialog::load() {
    loading_ = true;
    const analysis::Memo& m = editor_.memo();
    title_->setText(q(m.title));
    author_->setText(q(m.author));
    int y, mo, d, h, mi, s;
    date_->setText(
        m.date.toCivil(y, mo, d, h, mi, s)
            ? QLocale().toString(QDateTime(QDate(y, mo, d), QTime(h, mi, s)), QLocale::ShortFormat)
            : QString());
    owner_->setText(q(ops_.OwnerName(m.id)));
    if (QAbstractButton* b = types_->button(m.type)) b->setChecked(true);
    setWindowIcon(memoTypeIcon(m.type));
    fillDocument(*body_->document(), m.body);
    fillCodes();
    bodyChanged_ = false;
    loading_ = false;
}

void MemoDialog::fillCodes() {
    codes_->clear();
    for (std::int32_t code : editor_.memo().codes)
        codes_->addItem(q(ws_.store().GetName(TopicId::Codes, code, false)));
}

void MemoDialog::takeEdits() {
    if (loading_) return;
    editor_.setTitle(title_->text().toStdString());
    editor_.setAuthor(author_->text().toStdString());
}

void MemoDialog::linkTo() {
    if (!editor_.valid()) return;
    const std::vector<std::int32_t> choices = ops_.LinkChoices();
    if (choices.empty()) return;
    QMenu menu(this);
    for (std::int32_t code : choices)
        menu.addAction(q(ws_.store().GetName(TopicId::Codes, code, false)))->setData(code);
    if (QAction* chosen = menu.exec(link_->mapToGlobal(QPoint(0, link_->height()))))
        linkCode(chosen->data().toInt());
}

void MemoDialog::linkCode(std::int32_t code) {
    if (!ws_.store().GetTopic(TopicId::Codes)->contains(code)) return;
    editor_.linkCode(code);
    fillCodes();
}

void MemoDialog::removeSelectedCodes() {
    std::vector<int> rows;
    for (const QModelIndex& index : codes_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    if (rows.empty()) return;
    editor_.removeCodes(rows);
    fillCodes();
}

bool MemoDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == codes_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        removeSelectedCodes();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool MemoDialog::saveMemo() {
    if (!editor_.valid()) return true;
    takeEdits();
    if (bodyChanged_) {
        editor_.setBody(richTextOf(*body_->document()));
        bodyChanged_ = false;
    }
    return editor_.close();
}

void MemoDialog::exportMemo() {
    if (!editor_.valid()) return;
    takeEdits();
    analysis::Memo memo = editor_.memo();
    if (bodyChanged_) memo.body = richTextOf(*body_->document());
    const std::string path = ws_.ui().chooseFile(FileDialog::ExportRtf);
    if (path.empty()) return;
    if (const std::string error =
            platform::writeFileAtomic(path, ops_.ExportDocument(memo).toRtf());
        !error.empty())
        ws_.ui().message(error, MessageIcon::Stop);
}

std::string MemoDialog::printMemoTo(QPrinter& printer) {
    if (!editor_.valid()) return {};
    takeEdits();
    analysis::Memo memo = editor_.memo();
    if (bodyChanged_) memo.body = richTextOf(*body_->document());
    QTextDocument document;
    fillDocument(document, ops_.ExportDocument(memo));
    return CPrintEngine(document, "VEX.ANA", printDate()).print(printer);
}

void MemoDialog::printMemo() {
    if (!editor_.valid()) return;
    printInteractively(
        this, ws_.ui(), [this](QPrinter& p) { return printMemoTo(p); }, false);
}

void MemoDialog::deleteMemo() {
    if (!editor_.valid() || !ws_.ui().question("Delete Memo?", "Yes", "No")) return;
    deleting_ = true;
    const bool deleted = ops_.Delete(editor_.memo().id);
    deleting_ = false;
    if (!deleted) return;
    editor_.discard();
    close();
}

void MemoDialog::onViewEvent(ViewEvent event, int topic, std::int32_t id) {
    // The memo deleted elsewhere (its text or code went): nothing left to save.
    if (event == ViewEvent::Removed && topic == TopicId::Memos && id == editor_.memo().id &&
        !deleting_) {
        editor_.discard();
        close();
    }
}

void MemoDialog::onProjectClosed() {
    editor_.discard();
    close();
}

void MemoDialog::writeSettings() {
    if (settingsWritten_) return;
    settingsWritten_ = true;
    WindowPlacement place;
    place.showCmd = 1;
    place.left = pos().x();
    place.top = pos().y();
    place.right = place.left + width();
    place.bottom = place.top + height();
    settings_.setWindowPos(section, place);
    const QFont f = body_->document()->defaultFont();
    char format[128];
    std::snprintf(format, sizeof format, "%s, %d, %d, %d, %d, 0, 0, 0",
                  f.family().toStdString().c_str(), static_cast<int>(f.pointSizeF() * 20),
                  f.bold() ? 1 : 0, f.italic() ? 1 : 0, f.underline() ? 1 : 0);
    settings_.profile().writeString(section, "TextFormat", format);
    if (const std::string error = settings_.save(); !error.empty())
        ws_.ui().message(error, MessageIcon::Warning);
}

void MemoDialog::done(int result) {
    saveMemo();
    writeSettings();
    QDialog::done(result);
    if (parentWidget()) parentWidget()->activateWindow();
}

void MemoDialog::closeEvent(QCloseEvent* event) {
    saveMemo();
    writeSettings();
    QDialog::closeEvent(event);
    if (parentWidget()) parentWidget()->activateWindow();
}

MemoDialog* showMemo(QWidget* main, analysis::Workspace& ws, AppSettings& settings,
                     std::int32_t memoId, bool isNew) {
    auto* dialog = main->findChild<MemoDialog*>("memoDialog", Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new MemoDialog(ws, settings, main);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (!dialog->showMemo(memoId, isNew)) {
        if (!dialog->isVisible()) dialog->deleteLater();
        return nullptr;
    }
    if (dialog->isMinimized()) dialog->showNormal();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

} // namespace vexana::shell
