#include "ParagraphColumn.h"

#include "StripeColumn.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

namespace vexana::shell {

ParagraphColumn::ParagraphColumn(QTextEdit* edit, const StripeColumn* offsets, QWidget* parent)
    : QWidget(parent), edit_(edit), offsets_(offsets) {
    setFixedWidth(34);
    connect(edit_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { update(); });
    connect(edit_->document()->documentLayout(), &QAbstractTextDocumentLayout::update, this,
            [this] { update(); });
}

void ParagraphColumn::setText(std::u32string_view plain) {
    std::u32string text(plain);
    for (char32_t& c : text)
        if (c == U'\n' || c == U'\u2029') c = U'\r';
    table_ = platform::ParagraphTable(text);
    update();
}

int ParagraphColumn::yOf(int n) const {
    const int pos = offsets_->toControl(table_.paragraph(n).first);
    const QTextBlock block = edit_->document()->findBlock(pos);
    if (!block.isValid()) return -1;
    const QRectF box = edit_->document()->documentLayout()->blockBoundingRect(block);
    const int viewport =
        edit_->viewport()->mapToGlobal(QPoint(0, 0)).y() - mapToGlobal(QPoint(0, 0)).y();
    return static_cast<int>(box.top()) - edit_->verticalScrollBar()->value() + viewport;
}

int ParagraphColumn::lastAtOrAbove(int y) const {
    // Paragraph tops grow down the text, so a long text is searched, not walked.
    int lo = 1, hi = table_.count(), found = 0;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        if (yOf(mid) <= y)
            found = mid, lo = mid + 1;
        else
            hi = mid - 1;
    }
    return found;
}

void ParagraphColumn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    QFont f = font();
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(palette().color(QPalette::PlaceholderText));
    const int h = QFontMetrics(f).height();
    for (int n = std::max(1, lastAtOrAbove(-h)); n <= table_.count(); ++n) {
        const int y = yOf(n);
        if (y + h < 0) continue;
        if (y > height()) break;
        p.drawText(QRect(0, y, width() - 4, h), Qt::AlignRight | Qt::AlignTop,
                   QString::asprintf("%d", n));
    }
}

void ParagraphColumn::selectParagraph(int n, bool extend) {
    if (n < 1 || n > table_.count()) return;
    const auto [start, end] = table_.paragraph(n);
    QTextCursor c = edit_->textCursor();
    const int current = offsets_->fromControl(c.selectionStart());
    const int currentEnd = offsets_->fromControl(c.selectionEnd());
    std::int32_t a = start, b = end;
    if (extend && start >= current) {
        a = current;
        const int length = offsets_->fromControl(edit_->document()->characterCount() - 1);
        b = n < table_.count() ? table_.paragraph(n + 1).first : std::max(0, length - 1);
    } else if (extend) {
        b = currentEnd;
    }
    c.setPosition(offsets_->toControl(a));
    c.setPosition(offsets_->toControl(b), QTextCursor::KeepAnchor);
    edit_->setTextCursor(c);
}

void ParagraphColumn::mousePressEvent(QMouseEvent* e) {
    selectParagraph(lastAtOrAbove(e->position().toPoint().y()), e->modifiers() & Qt::ShiftModifier);
}

} // namespace vexana::shell
