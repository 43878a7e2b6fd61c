#include "CBlackView.h"

#include "CodeColour.h"
#include "QtText.h"
#include "SegmentColumn.h"
#include "TextDocument.h"
#include "ViewLayout.h"
#include "browser/SegmentsDocument.h"
#include "platform/Utf8.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTextEdit>
#include <QTextFrame>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_map>

namespace vexana::shell {

using namespace store;

CBlackView::CBlackView(const AppSettings& settings)
    : CBaseView(ViewBit::RetrievedSegments), edit_(new QTextEdit),
      column_(new SegmentColumn(edit_)), heading_(new QLabel) {
    // The analysis and its count above the list, the segments with their marks below.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(1);
    heading_->setContentsMargins(4, 2, 4, 2);
    heading_->setWordWrap(true);
    outer->addWidget(heading_);
    auto* l = new QHBoxLayout;
    outer->addLayout(l, 1);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(1);
    const auto [first, width] = settings.segmentsCtrl();
    columnFirst_ = first != 0;
    column_->setFixedWidth(std::max(10, width));
    if (columnFirst_) l->addWidget(column_);
    l->addWidget(edit_, 1);
    if (!columnFirst_) l->addWidget(column_);
    edit_->setReadOnly(true);
    edit_->viewport()->installEventFilter(this);
}

void CBlackView::fill(TopicStore& s, const std::vector<std::int32_t>& codings) {
    // Built apart from the window: a shown document lays itself out after every insert.
    auto* document = new QTextDocument(edit_);
    document->setUndoRedoEnabled(false);
    QTextFrameFormat frame = document->rootFrame()->frameFormat();
    frame.setLeftMargin(10);
    document->rootFrame()->setFrameFormat(frame);
    std::vector<SegmentBlock> blocks;
    blocks.reserve(codings.size());
    int at = 0; // control positions count UTF-16 units
    std::unordered_map<std::int32_t, std::pair<QString, QString>> sources; // name, full
    for (std::int32_t id : codings) {
        SegmentBlock b;
        b.coding = id;
        platform::RichText body = browser::segmentBody(s, id);
        b.start = at;
        b.end = at + static_cast<int>(platform::utf16Length(body.chars()));
        at = b.end + 5;
        body.replace(body.length(), body.length(), "\r\r\r\r\r");
        appendToDocument(*document, body);
        const std::int32_t text = s.GetInt(TopicId::Codings, id, CodingField::Text);
        auto [source, fresh] = sources.try_emplace(text);
        if (fresh)
            source->second = {q(s.GetName(TopicId::Texts, text, false)),
                              q(s.GetName(TopicId::Texts, text, true))};
        b.source = source->second.first;
        b.paragraphs = QString("%1-%2")
                           .arg(s.GetInt(TopicId::Codings, id, CodingField::StartPara))
                           .arg(s.GetInt(TopicId::Codings, id, CodingField::FinishPara));
        const std::int32_t code = s.GetInt(TopicId::Codings, id, CodingField::Code);
        b.colour = codeColour(s, code);
        b.note = source->second.second + "\nParagraphs " + b.paragraphs;
        if (code != 0) b.note += "\n" + q(s.GetName(TopicId::Codes, code, true));
        blocks.push_back(std::move(b));
    }
    // The control deletes its own first document itself; later ones are ours.
    QTextDocument* old = edit_->document();
    const bool ours = old->parent() == edit_;
    edit_->setDocument(document);
    if (ours) old->deleteLater();
    edit_->moveCursor(QTextCursor::Start);
    column_->setBlocks(std::move(blocks));
}

void CBlackView::setHeading(const QString& text) {
    heading_->setText(text);
}

QString CBlackView::heading() const {
    return heading_->text();
}

std::pair<int, int> CBlackView::layoutSettings() const {
    return {columnFirst_ ? 1 : 0, column_->width()};
}

bool CBlackView::eventFilter(QObject* watched, QEvent* e) {
    const bool mouse = e->type() == QEvent::MouseButtonPress ||
                       e->type() == QEvent::MouseButtonRelease ||
                       e->type() == QEvent::MouseButtonDblClick;
    if (watched != edit_->viewport() || !segmentChosen || !mouse)
        return CBaseView::eventFilter(watched, e);
    const auto* m = static_cast<QMouseEvent*>(e);
    if (e->type() == QEvent::MouseButtonPress && m->button() == Qt::LeftButton)
        pressedAt_ = m->position().toPoint();
    // A click (no selection dragged out) or a double click in a segment's text opens it.
    const bool click = e->type() == QEvent::MouseButtonRelease && m->button() == Qt::LeftButton &&
                       (m->position().toPoint() - pressedAt_).manhattanLength() <
                           QApplication::startDragDistance() &&
                       !edit_->textCursor().hasSelection();
    if (click || e->type() == QEvent::MouseButtonDblClick) {
        const int i =
            column_->blockAt(edit_->cursorForPosition(m->position().toPoint()).position());
        if (i >= 0) {
            segmentChosen(column_->blocks()[static_cast<std::size_t>(i)].coding);
            return e->type() == QEvent::MouseButtonDblClick;
        }
    }
    return CBaseView::eventFilter(watched, e);
}

} // namespace vexana::shell
