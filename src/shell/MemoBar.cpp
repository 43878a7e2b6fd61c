#include "MemoBar.h"

#include "StripeColumn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolTip>
#include <algorithm>

namespace vexana::shell {

MemoBar::MemoBar(QTextEdit* edit, const StripeColumn* offsets, QWidget* parent)
    : QWidget(parent), edit_(edit), offsets_(offsets) {
    setFixedWidth(23);
    setMouseTracking(true);
    connect(edit_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
    relayoutAfterLayoutBursts(this, edit_, [this] { relayout(); });
}

void MemoBar::setMarks(std::vector<MemoMark> marks) {
    marks_ = std::move(marks);
    std::stable_sort(marks_.begin(), marks_.end(),
                     [](const MemoMark& a, const MemoMark& b) { return a.pos < b.pos; });
    relayout();
}

int MemoBar::top() const {
    return edit_->viewport()->mapToGlobal(QPoint(0, 0)).y() - mapToGlobal(QPoint(0, 0)).y() -
           edit_->verticalScrollBar()->value();
}

void MemoBar::relayout() {
    const int scroll = edit_->verticalScrollBar()->value();
    int lineY = -1, place = 0, most = 0;
    for (MemoMark& m : marks_) {
        QTextCursor c(edit_->document());
        c.setPosition(std::clamp(offsets_->toControl(m.pos), 0,
                                 std::max(0, edit_->document()->characterCount() - 1)));
        const int y = edit_->cursorRect(c).top() + scroll;
        place = y == lineY ? place + 1 : 0;
        lineY = y;
        m.x = (IconWidth + 5) * place + 5;
        m.y = y;
        most = std::max(most, place + 1);
    }
    setFixedWidth(std::max(23, (IconWidth + 5) * most + 5));
    update();
}

int MemoBar::markAt(QPoint p) const {
    const int t = top();
    for (std::size_t i = 0; i < marks_.size(); ++i) {
        const QRect r(marks_[i].x, marks_[i].y + t, IconWidth, IconHeight);
        if (r.contains(p)) return static_cast<int>(i);
    }
    return -1;
}

void MemoBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    static const QColor kinds[] = {QColor(255, 230, 120), QColor(150, 210, 255),
                                   QColor(170, 230, 160), QColor(255, 180, 180)};
    const int t = top();
    for (const MemoMark& m : marks_) {
        const int y = m.y + t;
        if (y + IconHeight < 0 || y > height()) continue;
        const QRect r(m.x, y, IconWidth, IconHeight);
        p.fillRect(r, kinds[static_cast<std::size_t>(std::abs(m.type)) % std::size(kinds)]);
        p.setPen(QColor(90, 90, 90));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        for (int line = 4; line < IconHeight - 2; line += 3)
            p.drawLine(r.left() + 3, r.top() + line, r.right() - 3, r.top() + line);
    }
}

void MemoBar::mouseMoveEvent(QMouseEvent* e) {
    const int i = markAt(e->position().toPoint());
    if (i >= 0)
        QToolTip::showText(e->globalPosition().toPoint(), marks_[static_cast<std::size_t>(i)].tip,
                           this);
    else
        QToolTip::hideText();
}

void MemoBar::mouseDoubleClickEvent(QMouseEvent* e) {
    const int i = markAt(e->position().toPoint());
    if (i >= 0) {
        if (activated) activated(marks_[static_cast<std::size_t>(i)].memo);
        return;
    }
    const std::int32_t start = lineStartAt(e->position().toPoint().y());
    if (start >= 0 && emptyActivated) emptyActivated(start);
}

std::int32_t MemoBar::lineStartAt(int y) const {
    if (edit_->document()->isEmpty()) return -1;
    // The bar's height is the text's: the character at the left edge of that line.
    const QPoint inViewport(0, y + mapTo(window(), QPoint()).y() -
                                   edit_->viewport()->mapTo(window(), QPoint()).y());
    QTextCursor c = edit_->cursorForPosition(inViewport);
    c.movePosition(QTextCursor::StartOfLine);
    return offsets_->fromControl(c.position());
}

} // namespace vexana::shell
