#include "SegmentColumn.h"

#include <QAbstractTextDocumentLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolTip>
#include <algorithm>

namespace vexana::shell {

SegmentColumn::SegmentColumn(QTextEdit* edit, QWidget* parent) : QWidget(parent), edit_(edit) {
    connect(edit_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
}

void SegmentColumn::setBlocks(std::vector<SegmentBlock> blocks) {
    blocks_ = std::move(blocks);
    // A new document lays itself out later; the marks follow it.
    disconnect(layoutWatch_);
    layoutWatch_ =
        connect(edit_->document()->documentLayout(),
                &QAbstractTextDocumentLayout::documentSizeChanged, this, [this] { update(); });
    update();
}

int SegmentColumn::blockAt(int pos) const {
    const auto it = std::upper_bound(blocks_.begin(), blocks_.end(), pos,
                                     [](int p, const SegmentBlock& b) { return p < b.start; });
    if (it == blocks_.begin()) return -1;
    const auto i = static_cast<int>(it - blocks_.begin()) - 1;
    return pos <= blocks_[static_cast<std::size_t>(i)].end ? i : -1;
}

std::pair<int, int> SegmentColumn::extent(std::size_t i) const {
    QTextDocument* d = edit_->document();
    QAbstractTextDocumentLayout* layout = d->documentLayout();
    const int scroll = edit_->verticalScrollBar()->value();
    // Siblings: only global coordinates relate the two.
    const int offset =
        edit_->viewport()->mapToGlobal(QPoint(0, 0)).y() - mapToGlobal(QPoint(0, 0)).y();
    const QTextBlock first = d->findBlock(blocks_[i].start);
    const QTextBlock last = d->findBlock(std::max(blocks_[i].start, blocks_[i].end - 1));
    const QRectF a = layout->blockBoundingRect(first), b = layout->blockBoundingRect(last);
    return {static_cast<int>(a.top()) - scroll + offset,
            static_cast<int>(b.bottom()) - scroll + offset};
}

int SegmentColumn::blockAtY(int y) const {
    // Blocks lie in document order, so their extents rise with their index.
    std::size_t lo = 0, hi = blocks_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (extent(mid).second < y)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < blocks_.size() && extent(lo).first <= y) return static_cast<int>(lo);
    return -1;
}

void SegmentColumn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (blocks_.empty()) return;
    QFont f = font();
    f.setPixelSize(10);
    p.setFont(f);
    const QFontMetrics metrics(f);
    // The first block reaching into view, found by halving; then only the visible ones.
    std::size_t lo = 0, hi = blocks_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (extent(mid).second < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (std::size_t i = lo; i < blocks_.size(); ++i) {
        const auto [top, bottom] = extent(i);
        if (top > height()) break;
        const SegmentBlock& b = blocks_[i];
        p.fillRect(QRect(2, top, 3, std::max(3, bottom - top)), b.colour);
        p.setPen(palette().color(QPalette::WindowText));
        const int w = width() - 9;
        p.drawText(8, top + metrics.ascent(), metrics.elidedText(b.source, Qt::ElideRight, w));
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(8, top + metrics.height() + metrics.ascent(),
                   metrics.elidedText(b.paragraphs, Qt::ElideRight, w));
    }
}

// A mark shows only the start of its text's name: the whole of it is the tooltip.
bool SegmentColumn::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    const auto* help = static_cast<QHelpEvent*>(e);
    const int i = blockAtY(help->pos().y());
    if (i < 0) {
        QToolTip::hideText();
        e->ignore();
    } else {
        QToolTip::showText(help->globalPos(), blocks_[static_cast<std::size_t>(i)].note, this);
    }
    return true;
}

void SegmentColumn::mousePressEvent(QMouseEvent* e) {
    const int i = blockAtY(static_cast<int>(e->position().y()));
    if (i >= 0 && clicked) clicked(blocks_[static_cast<std::size_t>(i)].coding);
}

} // namespace vexana::shell
