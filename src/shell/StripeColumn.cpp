#include "StripeColumn.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <memory>

namespace vexana::shell {

void relayoutAfterLayoutBursts(QWidget* owner, QTextEdit* edit, std::function<void()> relayout) {
    auto pending = std::make_shared<bool>(false);
    QObject::connect(edit->document()->documentLayout(), &QAbstractTextDocumentLayout::update,
                     owner, [owner, pending, relayout = std::move(relayout)] {
                         if (*pending) return;
                         *pending = true;
                         QTimer::singleShot(0, owner, [pending, relayout] {
                             *pending = false;
                             relayout();
                         });
                     });
}

StripeColumn::StripeColumn(QTextEdit* edit, QWidget* parent) : QWidget(parent), edit_(edit) {
    setMinimumWidth(23);
    setMouseTracking(true);
    connect(edit_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { relayout(); });
    // The lines are walked again only when the text or its wrapping changed, not for every
    // coding or scroll: on a long text that walk is most of a refresh.
    connect(edit_->document(), &QTextDocument::contentsChanged, this,
            [this] { linesValid_ = false; });
    connect(edit_->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged,
            this, [this] { linesValid_ = false; });
    relayoutAfterLayoutBursts(this, edit_, [this] { relayout(); });
}

void StripeColumn::setText(const platform::RichText& text) {
    textEdited(text.chars());
    strip_.clear();
}

void StripeColumn::textEdited(std::u32string_view chars) {
    linesValid_ = false;
    astral_.clear();
    for (std::size_t i = 0; i < chars.size(); ++i)
        if (chars[i] > 0xFFFF) astral_.push_back(static_cast<std::int32_t>(i));
}

int StripeColumn::toControl(std::int32_t offset) const {
    return offset + static_cast<int>(std::lower_bound(astral_.begin(), astral_.end(), offset) -
                                     astral_.begin());
}

std::int32_t StripeColumn::fromControl(int position) const {
    std::int32_t offset = position;
    for (std::int32_t a : astral_) {
        if (toControl(a) >= position) break;
        --offset;
    }
    return offset;
}

void StripeColumn::collectLines() {
    if (linesValid_ && lineWidth_ == edit_->viewport()->width()) return;
    linesValid_ = true;
    lineWidth_ = edit_->viewport()->width();
    lineStarts_.clear();
    lineTops_.clear();
    for (QTextBlock b = edit_->document()->begin(); b.isValid(); b = b.next()) {
        const QTextLayout* layout = b.layout();
        const QRectF box = edit_->document()->documentLayout()->blockBoundingRect(b);
        for (int i = 0; layout && i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            lineStarts_.push_back(b.position() + line.textStart());
            lineTops_.push_back(static_cast<int>(box.top() + line.y()));
        }
        if (!layout || layout->lineCount() == 0) {
            lineStarts_.push_back(b.position());
            lineTops_.push_back(static_cast<int>(box.top()));
        }
    }
}

void StripeColumn::relayout() {
    collectLines();
    auto lineOf = [this](std::int32_t c) {
        const int p = toControl(c);
        const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), p);
        return std::max(0, static_cast<int>(it - lineStarts_.begin()) - 1);
    };
    strip_.updateLines(lineOf);
    browser::TextGeometry g;
    g.lineOf = lineOf;
    const int scroll = edit_->verticalScrollBar()->value();
    g.yOfLine = [this, scroll](int line) {
        return line >= 0 && line < static_cast<int>(lineTops_.size())
                   ? lineTops_[static_cast<std::size_t>(line)] - scroll
                   : 0;
    };
    g.yOfChar = [&](std::int32_t c) { return g.yOfLine(lineOf(c)); };
    g.lineCount = static_cast<int>(lineStarts_.size());
    g.firstVisibleChar = fromControl(edit_->cursorForPosition(QPoint(0, 0)).position());
    g.height = edit_->viewport()->height();
    strip_.layOut(g);
    update();
}

void StripeColumn::setLabelsShown(bool on) {
    labels_ = on;
    update();
}

void StripeColumn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const int offsetY = viewportOffset();
    for (const auto& s : strip_.stripes()) {
        if (s.deleted() || !s.laidOut()) continue;
        const std::uint32_t rgb = s.flags & browser::CodingStripe::Highlighted
                                      ? browser::StripeStrip::lighten(s.colour)
                                      : s.colour;
        const QColor colour((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255);
        const int x = browser::StripeStrip::columnX(s.column);
        const int top = s.top + offsetY, bottom = s.bottom + offsetY;
        const int mid = top + (bottom - top) / 2;
        p.setPen(QPen(colour, 2));
        p.drawLine(x, top, x, mid - 4);
        p.drawLine(x, mid + 4, x, bottom);
        p.drawRect(x - 3, mid - 3, 7, 7);
        p.drawLine(x - 1, top, x + 1, top);
        p.drawLine(x - 1, bottom, x + 1, bottom);
        if (labels_) {
            QFont f = font();
            f.setPixelSize(11);
            p.setFont(f);
            const int lx = browser::StripeStrip::columnX(s.labelColumn) + 9;
            // Cut to the column; the tooltip names the whole code.
            const QString label = p.fontMetrics().elidedText(QString::fromStdString(s.label),
                                                             Qt::ElideRight, width() - lx - 2);
            p.drawText(
                QRect(lx, s.labelY + offsetY, width() - lx, browser::StripeStrip::LabelHeight),
                Qt::AlignLeft | Qt::AlignVCenter, label);
        }
    }
}

int StripeColumn::viewportOffset() const {
    // The viewport is a sibling's child: compare both through screen coordinates.
    return edit_->viewport()->mapToGlobal(QPoint(0, 0)).y() - mapToGlobal(QPoint(0, 0)).y();
}

int StripeColumn::stripeAt(QPoint p) const {
    return strip_.hitTest(p.x(), p.y() - viewportOffset());
}

void StripeColumn::highlight(int index) {
    bool changed = false;
    auto& stripes = strip_.stripes();
    for (std::size_t i = 0; i < stripes.size(); ++i) {
        const bool on = static_cast<int>(i) == index;
        if (on != bool(stripes[i].flags & browser::CodingStripe::Highlighted)) {
            stripes[i].flags ^= browser::CodingStripe::Highlighted;
            changed = true;
        }
    }
    if (changed) update();
}

void StripeColumn::mousePressEvent(QMouseEvent* e) {
    if (!clicked) return;
    const int i = stripeAt(e->position().toPoint());
    const std::int32_t coding = i < 0 ? 0 : strip_.stripes()[static_cast<std::size_t>(i)].codingId;
    clicked(coding, e->button(), false, e->globalPosition().toPoint());
}

void StripeColumn::mouseDoubleClickEvent(QMouseEvent* e) {
    if (!clicked) return;
    const int i = stripeAt(e->position().toPoint());
    if (i >= 0)
        clicked(strip_.stripes()[static_cast<std::size_t>(i)].codingId, e->button(), true,
                e->globalPosition().toPoint());
}

void StripeColumn::mouseMoveEvent(QMouseEvent* e) {
    const int i = stripeAt(e->position().toPoint());
    highlight(i);
    if (i >= 0 && tooltipOf)
        QToolTip::showText(e->globalPosition().toPoint(),
                           tooltipOf(strip_.stripes()[static_cast<std::size_t>(i)].codingId), this);
    else
        QToolTip::hideText();
}

void StripeColumn::leaveEvent(QEvent*) {
    highlight(-1);
}

} // namespace vexana::shell
