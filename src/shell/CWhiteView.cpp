#include "CWhiteView.h"

#include "CodeColour.h"
#include "MemoBar.h"
#include "ParagraphColumn.h"
#include "QtText.h"
#include "StripeColumn.h"
#include "TextDocument.h"
#include "ViewLayout.h"
#include "browser/SegmentsDocument.h"
#include "store/RecordCursor.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLocale>
#include <QScrollBar>
#include <QSplitter>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace vexana::shell {

using namespace store;

namespace {

// The divider between the text and the stripes: a double-click fits the column to its labels.
class DividerHandle : public QSplitterHandle {
public:
    DividerHandle(Qt::Orientation o, QSplitter* parent, std::function<void()> fit)
        : QSplitterHandle(o, parent), fit_(std::move(fit)) {}

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override { fit_(); }

private:
    std::function<void()> fit_;
};

class Divider : public QSplitter {
public:
    explicit Divider(std::function<void()> fit) : QSplitter(Qt::Horizontal), fit_(std::move(fit)) {
        setChildrenCollapsible(false);
        setHandleWidth(4);
    }

protected:
    QSplitterHandle* createHandle() override {
        return new DividerHandle(orientation(), this, [this] { fit_(); });
    }

private:
    std::function<void()> fit_;
};

} // namespace

CWhiteView::CWhiteView(const AppSettings& settings)
    : CBaseView(ViewBit::TextBrowser), edit_(new QTextEdit), stripes_(new StripeColumn(edit_)),
      memoBar_(new MemoBar(edit_, stripes_)), numbers_(new ParagraphColumn(edit_, stripes_)) {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* divider = new Divider([this] { setStripeWidth(neededStripeWidth(), true); });
    divider_ = divider;
    outer->addWidget(divider);
    auto* page = new QWidget;
    auto* l = new QHBoxLayout(page);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(1);
    side_ = settings.textCoderWindow();
    stripeWidth_ = std::max(23, side_.width);
    // A width other than the first one was set by the user in an earlier session.
    userWidth_ = side_.width > 23;
    stripes_->setMinimumWidth(23);
    stripes_->setLabelsShown(side_.labels != 0);
    l->addWidget(memoBar_);
    l->addWidget(numbers_);
    l->addWidget(edit_, 1);
    if (side_.stripesFirst) divider->addWidget(stripes_);
    divider->addWidget(page);
    if (!side_.stripesFirst) divider->addWidget(stripes_);
    divider->setStretchFactor(divider->indexOf(page), 1);
    divider->setStretchFactor(divider->indexOf(stripes_), 0);
    connect(divider, &QSplitter::splitterMoved, this, [this] {
        // Dragged by the user: kept, within the bounds.
        setStripeWidth(stripes_->width(), true);
    });
    setReadOnlyWithCaret(true);
    connect(edit_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { tintPassages(); });
    // Only edits are undone in the editor, never the loading of a text.
    edit_->document()->setUndoRedoEnabled(false);
    setStripeWidth(stripeWidth_, false);
}

int CWhiteView::neededStripeWidth() const {
    QFont f = stripes_->font();
    f.setPixelSize(11);
    const QFontMetrics metrics(f);
    // Labels are code names: a few, each repeated many times.
    std::unordered_map<std::string, int> widths;
    return stripes_->strip().neededWidth(stripes_->labelsShown(), [&](const std::string& label) {
        auto [it, fresh] = widths.try_emplace(label, 0);
        if (fresh) it->second = metrics.horizontalAdvance(QString::fromStdString(label));
        return it->second;
    }) + 6;
}

int CWhiteView::stripeWidth() const {
    return stripes_->width();
}

void CWhiteView::setStripeWidth(int wanted, bool byUser) {
    // At least 23 pixels; at most half the window, so the text stays readable.
    const int most = width() > 161 ? std::max(23, width() / 2) : std::max(23, wanted);
    const int w = std::clamp(wanted, 23, most);
    if (byUser) {
        stripeWidth_ = w;
        userWidth_ = true;
    }
    auto* divider = static_cast<QSplitter*>(divider_);
    QList<int> sizes = divider->sizes();
    const int at = divider->indexOf(stripes_);
    const int total = sizes.value(0) + sizes.value(1);
    if (total <= 0 || sizes.size() != 2) {
        stripes_->resize(w, stripes_->height());
        return;
    }
    sizes[at] = w;
    sizes[1 - at] = std::max(0, total - w);
    divider->setSizes(sizes);
}

void CWhiteView::resizeEvent(QResizeEvent* e) {
    CBaseView::resizeEvent(e);
    // A narrower window never squeezes the text below half of it; until the user sets the
    // width, the labels get their share of a wider one.
    if (!userWidth_ && !stripes_->strip().stripes().empty())
        autoWidth_ = std::clamp(neededStripeWidth(), 23, std::clamp(width() / 4, 23, 200));
    setStripeWidth(userWidth_ ? stripeWidth_ : autoWidth_, false);
    // More or less of the text shows once the window has laid itself out.
    QTimer::singleShot(0, this, [this] { tintPassages(); });
}

void CWhiteView::show(TopicStore& s, std::int32_t text) {
    RecordCursor record;
    if (!s.GetRecord(TopicId::Texts, text, record, true)) return;
    const auto& rtf = record.block(TextField::Body);
    const std::size_t bodyHash = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(rtf.data()), rtf.size()));
    // The same text with the same body (coding, renaming, a new colour): only the stripes and
    // memo marks are renewed, so the view keeps its place and the selection stays.
    const bool sameBody = shownText_ == text && shownBody_ == bodyHash && text != 0;
    if (!sameBody) {
        body_ = browser::fieldBody(record, TextField::Body);
        stripes_->setText(body_);
    }
    stripes_->strip().clear();
    for (std::int32_t id : s.FindIds(TopicId::Codings, TopicId::Texts, text)) {
        const std::int32_t code = s.GetInt(TopicId::Codings, id, CodingField::Code);
        if (code == 0) continue; // a retrieval's temporary result
        browser::CodingStripe st;
        st.codingId = id;
        st.code = code;
        st.startChar = s.GetInt(TopicId::Codings, id, CodingField::StartChar);
        st.finishChar = s.GetInt(TopicId::Codings, id, CodingField::FinishChar);
        st.weight = s.GetInt(TopicId::Codings, id, CodingField::Weight);
        st.label = s.GetName(TopicId::Codings, id, false);
        st.colour = codeColour(s, code).rgb() & 0xFFFFFF;
        stripes_->strip().add(st);
    }
    // Until the user sets the width, the column fits its labels, at most a quarter of the
    // window, and only grows while a text is shown: a new coding does not reflow the text
    // under the mouse by shrinking it back. Set before the text is filled in, so a long text
    // is wrapped once, at its final width.
    if (!userWidth_) {
        const int cap = std::clamp(width() / 4, 23, 200);
        const int fit = std::clamp(neededStripeWidth(), 23, cap);
        autoWidth_ = sameBody ? std::max(autoWidth_, fit) : fit;
        setStripeWidth(autoWidth_, false);
    } else {
        setStripeWidth(stripeWidth_, false);
    }
    if (!sameBody) {
        {
            // The cursor moves with every insert; its listeners hear of the result once.
            const QSignalBlocker quiet(edit_);
            fillDocument(*edit_->document(), body_);
            edit_->moveCursor(QTextCursor::Start);
        }
        numbers_->setText(body_.chars());
        shownText_ = text;
        shownBody_ = bodyHash;
    }
    stripes_->relayout();
    tintPassages();
    loadMemos(s, text);
}

void CWhiteView::setReadOnlyWithCaret(bool readOnly) {
    edit_->setReadOnly(readOnly);
    if (readOnly)
        edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void CWhiteView::setTinted(bool on) {
    side_.tint = on;
    tintPassages();
}

void CWhiteView::tintPassages() {
    QList<QTextEdit::ExtraSelection> tints;
    if (side_.tint && !stripes_->strip().stripes().empty()) {
        // Only what can be seen: thousands of passages would make every refresh slow, and
        // scrolling tints the ones that come into view.
        const QRect view = edit_->viewport()->rect();
        const int from = edit_->cursorForPosition(view.topLeft()).position();
        const int to = edit_->cursorForPosition(view.bottomRight()).position() + 1;
        const int end = edit_->document()->characterCount() - 1;
        for (const auto& st : stripes_->strip().stripes()) {
            const int a = std::clamp(stripes_->toControl(st.startChar), 0, end);
            if (a > to) break; // ordered by start
            const int b = std::clamp(stripes_->toControl(st.finishChar), 0, end);
            if (st.deleted() || b < from) continue;
            QTextEdit::ExtraSelection x;
            x.cursor = QTextCursor(edit_->document());
            x.cursor.setPosition(a);
            x.cursor.setPosition(b, QTextCursor::KeepAnchor);
            // A light wash of the colour: overlapping passages darken a little where they meet.
            QColor ground((st.colour >> 16) & 255, (st.colour >> 8) & 255, st.colour & 255);
            ground.setAlpha(45);
            x.format.setBackground(ground);
            tints.push_back(x);
        }
    }
    edit_->setExtraSelections(tints);
}

void CWhiteView::keepShownBody(TopicStore& s) {
    RecordCursor record;
    if (!shownText_ || !s.GetRecord(TopicId::Texts, shownText_, record, true)) return;
    const auto& rtf = record.block(TextField::Body);
    shownBody_ = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(rtf.data()), rtf.size()));
    body_ = browser::fieldBody(record, TextField::Body);
}

void CWhiteView::clear() {
    setEditMode(false);
    edit_->clear();
    shownText_ = 0;
    body_ = {};
    autoWidth_ = 23;
    setStripeWidth(userWidth_ ? stripeWidth_ : autoWidth_, false);
    stripes_->strip().clear();
    edit_->setExtraSelections({});
    memos_.clear();
    memoBar_->setMarks({});
    numbers_->setText({});
    stripes_->update();
}

void CWhiteView::loadMemos(TopicStore& s, std::int32_t text) {
    memos_.clear();
    std::vector<MemoMark> marks;
    for (std::int32_t id : s.FindIds(TopicId::Memos, TopicId::Texts, text)) {
        const std::int32_t pos = s.GetInt(TopicId::Memos, id, MemoField::Pos);
        memos_.push_back({id, pos, 0});
        RecordCursor c;
        if (!s.GetRecord(TopicId::Memos, id, c, true)) continue;
        MemoMark m;
        m.memo = id;
        m.pos = pos;
        m.type = c.getInt(MemoField::Type);
        QString date;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
        if (c.getDate(MemoField::Date).toCivil(y, mo, d, h, mi, se))
            date = QLocale().toString(QDate(y, mo, d), QLocale::ShortFormat);
        m.tip = q(browser::memoHeading(c.getText(MemoField::Title), c.getText(MemoField::Author),
                                       date.toStdString())) +
                "\n" + q(browser::fieldBody(c, MemoField::Body).plainText()).replace('\r', '\n');
        marks.push_back(std::move(m));
    }
    memoBar_->setMarks(std::move(marks));
}

void CWhiteView::setEditMode(bool on) {
    if (on == editMode_) return;
    editMode_ = on;
    setReadOnlyWithCaret(!on);
    edit_->document()->setUndoRedoEnabled(on);
    if (on) {
        modified_ = false;
        before_ = plainText();
        states_.assign(1,
                       {stripes_->strip().stripes(), memos_, std::hash<std::u32string>{}(before_)});
        steps_ = 0;
        watch_ =
            connect(edit_->document(), &QTextDocument::contentsChange, this,
                    [this](int pos, int removed, int added) { followChange(pos, removed, added); });
    } else {
        disconnect(watch_);
        states_.clear();
    }
}

AppSettings::TextCoder CWhiteView::sideSettings() const {
    AppSettings::TextCoder t = side_;
    t.labels = stripes_->labelsShown() ? 1 : 0;
    if (userWidth_) t.width = stripeWidth_;
    return t;
}

std::u32string CWhiteView::plainText() const {
    return edit_->document()->toPlainText().toStdU32String();
}

void CWhiteView::followChange(int pos, int removed, int added) {
    std::u32string after = plainText();
    const std::size_t hash = std::hash<std::u32string>{}(after);
    // The editor's undo stack counts its steps; an undo or redo lands on a count seen before,
    // and the stripes go back to where they stood then. Following the reinserted text instead
    // would leave a coding short of the characters that came back.
    const auto n = static_cast<std::size_t>(edit_->document()->availableUndoSteps());
    const bool replay =
        n < states_.size() && n != steps_ && (n < steps_ || states_[n].textHash == hash);
    auto& stripes = stripes_->strip().stripes();
    if (replay) {
        std::vector<std::int32_t> changed;
        for (const auto& st : stripes)
            if (st.flags & browser::CodingStripe::Changed) changed.push_back(st.codingId);
        stripes = states_[n].stripes;
        memos_ = states_[n].memos;
        // A coding whose characters were re-formatted on the way keeps its new RTF to save.
        for (auto& st : stripes)
            if (std::find(changed.begin(), changed.end(), st.codingId) != changed.end())
                st.flags |= browser::CodingStripe::Changed;
    } else {
        browser::ChangedRange r = browser::changedRange(before_, after);
        if (after == before_) {
            if (removed == 0 && added == 0) return;
            // Only formats changed: the codings over it carry new RTF.
            r.start = stripes_->fromControl(pos);
            r.end = stripes_->fromControl(pos + std::max(removed, added));
        }
        browser::followEdit(stripes, memos_, static_cast<std::int32_t>(before_.size()),
                            static_cast<std::int32_t>(after.size()), r.start, r.end);
        // A new edit drops the steps that could have been redone; a step made of several parts
        // leaves counts between that no undo lands on.
        if (states_.size() > n + 1) states_.resize(n + 1);
        while (states_.size() < n + 1)
            states_.push_back(states_.back());
        states_[n] = {stripes, memos_, hash};
    }
    steps_ = n;
    modified_ = true;
    stripes_->textEdited(after);
    numbers_->setText(after);
    followMemos();
    before_ = std::move(after);
    stripes_->relayout();
}

void CWhiteView::followMemos() {
    std::vector<MemoMark> marks = memoBar_->marks();
    for (MemoMark& m : marks)
        for (const browser::MemoPlace& place : memos_)
            if (place.memoId == m.memo) m.pos = place.pos;
    memoBar_->setMarks(std::move(marks));
}

} // namespace vexana::shell
