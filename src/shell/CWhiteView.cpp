#include "CWhiteView.h"

#include "CodeColour.h"
#include "MemoBar.h"
#include "ParagraphColumn.h"
#include "QtText.h"
#include "StripeColumn.h"
#include "TextDocument.h"
#include "ViewLayout.h"
#include "browser/SegmentsDocument.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLocale>
#include <QTextEdit>
#include <algorithm>

namespace vexana::shell {

using namespace store;

CWhiteView::CWhiteView(const AppSettings& settings)
    : CBaseView(ViewBit::TextBrowser), edit_(new QTextEdit), stripes_(new StripeColumn(edit_)),
      memoBar_(new MemoBar(edit_, stripes_)), numbers_(new ParagraphColumn(edit_, stripes_)) {
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(1);
    side_ = settings.textCoderWindow();
    const AppSettings::TextCoder& side = side_;
    stripes_->setFixedWidth(std::max(23, side.width));
    stripes_->setLabelsShown(side.labels != 0);
    if (side.stripesFirst) l->addWidget(stripes_);
    l->addWidget(memoBar_);
    l->addWidget(numbers_);
    l->addWidget(edit_, 1);
    if (!side.stripesFirst) l->addWidget(stripes_);
    edit_->setReadOnly(true);
    // Only edits are undone in the editor, never the loading of a text.
    edit_->document()->setUndoRedoEnabled(false);
}

void CWhiteView::show(TopicStore& s, std::int32_t text) {
    const platform::RichText body = browser::recordBody(s, TopicId::Texts, text, TextField::Body);
    {
        // The cursor moves with every insert; its listeners hear of the result once.
        const QSignalBlocker quiet(edit_);
        fillDocument(*edit_->document(), body);
        edit_->moveCursor(QTextCursor::Start);
    }
    stripes_->setText(body);
    numbers_->setText(body.chars());
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
    // Wide enough for the stripes and their labels, at most half the window.
    QFont f = stripes_->font();
    f.setPixelSize(11);
    const QFontMetrics metrics(f);
    const int needed =
        stripes_->strip().neededWidth(stripes_->labelsShown(), [&](const std::string& label) {
            return metrics.horizontalAdvance(QString::fromStdString(label));
        });
    stripes_->setFixedWidth(std::clamp(needed + 6, 23, std::max(23, width() / 2)));
    stripes_->relayout();
    loadMemos(s, text);
}

void CWhiteView::clear() {
    setEditMode(false);
    edit_->clear();
    stripes_->strip().clear();
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
    edit_->setReadOnly(!on);
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
