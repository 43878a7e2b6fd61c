#pragma once

// The four windows of the main frame's panes.

#include "MainFrame.h"
#include "MemoBar.h"
#include "ObjectTree.h"
#include "ParagraphColumn.h"
#include "SegmentColumn.h"
#include "StripeColumn.h"
#include "TextDocument.h"
#include "analysis/CodeSystem.h"
#include "analysis/Workspace.h"
#include "browser/SegmentsDocument.h"
#include "platform/Utf8.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QDate>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QTextEdit>
#include <QTextFrame>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <unordered_map>

namespace vexana::shell {

using namespace store;

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Tree items know what they show: its kind (the topic, or a root's number) and its id.
inline void tag(QTreeWidgetItem* item, int kind, std::int32_t id) {
    item->setData(0, Qt::UserRole, kind);
    item->setData(0, Qt::UserRole + 1, id);
}

using browser::recordBody;

// The colour a code is drawn in, from its colour attribute.
inline QColor codeColour(const TopicStore& s, std::int32_t code) {
    const analysis::Rgb rgb =
        analysis::CodeSystem::DisplayColour(s.GetInt(TopicId::Codes, code, CodeField::Type));
    return QColor(rgb.red, rgb.green, rgb.blue);
}

// A tree filling its view, without a header.
inline void holdTree(QWidget* view, QTreeWidget* tree) {
    auto* l = new QVBoxLayout(view);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(tree);
    tree->setHeaderHidden(true);
}

class CBlauView : public CBaseView {
public:
    CBlauView() : CBaseView(ViewBit::DocumentSystem), tree_(new ObjectTree) {
        holdTree(this, tree_);
    }
    void fill(TopicStore& s, const analysis::Workspace& ws) {
        tree_->clear();
        const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
        const QIcon file = style()->standardIcon(QStyle::SP_FileIcon);
        const QIcon linkFolder = style()->standardIcon(QStyle::SP_DirLinkIcon);
        const QIcon linkFile = style()->standardIcon(QStyle::SP_FileLinkIcon);
        auto* groups = new QTreeWidgetItem(tree_, {"Text Groups"});
        tag(groups, TopicId::GroupsRoot, 0);
        for (std::int32_t g : s.ListIds(TopicId::TextGroups)) {
            auto* gi = new QTreeWidgetItem(groups, {q(s.GetName(TopicId::TextGroups, g, false))});
            tag(gi, TopicId::TextGroups, g);
            gi->setIcon(0, folder);
            for (std::int32_t t : s.FindIds(TopicId::Texts, TopicId::TextGroups, g)) {
                const QString label =
                    q(s.GetName(TopicId::Texts, t, false)) +
                    QString(" (%1)").arg(s.GetInt(TopicId::Texts, t, TextField::Codes));
                auto* ti = new QTreeWidgetItem(gi, {label});
                tag(ti, TopicId::Texts, t);
                ti->setIcon(0, file);
                if (ws.IsActive(TopicId::Texts, t)) ti->setForeground(0, QColor(200, 0, 0));
            }
        }
        auto* sets = new QTreeWidgetItem(tree_, {"Sets"});
        tag(sets, TopicId::SetsRoot, 0);
        for (std::int32_t set : s.ListIds(TopicId::TextSets)) {
            auto* si = new QTreeWidgetItem(sets, {q(s.GetName(TopicId::TextSets, set, false))});
            tag(si, TopicId::TextSets, set);
            si->setIcon(0, linkFolder);
            for (std::int32_t link : s.FindIds(TopicId::TextLinks, TopicId::TextSets, set)) {
                const std::int32_t t = s.GetInt(TopicId::TextLinks, link, LinkField::Text);
                auto* li = new QTreeWidgetItem(si, {q(s.GetName(TopicId::Texts, t, false))});
                tag(li, TopicId::TextLinks, link);
                li->setIcon(0, linkFile);
                if (ws.IsActive(TopicId::Texts, t)) li->setForeground(0, QColor(200, 0, 0));
            }
        }
        tree_->expandAll();
    }
    ObjectTree* tree() const { return tree_; }

private:
    ObjectTree* tree_;
};

class CGreenView : public CBaseView {
public:
    CGreenView() : CBaseView(ViewBit::CodeSystem), tree_(new QTreeWidget) { holdTree(this, tree_); }
    void fill(TopicStore& s, analysis::Workspace& ws) {
        tree_->clear();
        auto* root = new QTreeWidgetItem(tree_, {"Code System"});
        tag(root, TopicId::CodesRoot, 0);
        addChildren(s, ws, root, 0, 0);
        tree_->expandAll();
    }
    QTreeWidget* tree() const { return tree_; }

private:
    void addChildren(TopicStore& s, analysis::Workspace& ws, QTreeWidgetItem* parent,
                     std::int32_t code, int depth) {
        if (depth > 100) return;
        for (std::int32_t child : ws.codes().Children(code)) {
            const QString label =
                q(s.GetName(TopicId::Codes, child, false)) +
                QString(" (%1)").arg(s.GetInt(TopicId::Codes, child, CodeField::Codes));
            auto* item = new QTreeWidgetItem(parent, {label});
            tag(item, TopicId::Codes, child);
            const QColor colour = codeColour(s, child);
            item->setForeground(0, colour);
            item->setIcon(0, codeIcon(colour));
            if (ws.IsActive(TopicId::Codes, child)) {
                QFont f = item->font(0);
                f.setBold(true);
                item->setFont(0, f);
            }
            addChildren(s, ws, item, child, depth + 1);
        }
    }
    // A small tag in the code's colour; one pixmap per colour.
    QIcon codeIcon(const QColor& colour) {
        auto [it, fresh] = icons_.try_emplace(colour.rgb());
        if (fresh) {
            QPixmap p(12, 12);
            p.fill(Qt::transparent);
            QPainter painter(&p);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(colour);
            painter.setPen(colour.darker(140));
            painter.drawRoundedRect(QRectF(1.5, 2.5, 9, 7), 2, 2);
            it->second = QIcon(p);
        }
        return it->second;
    }
    QTreeWidget* tree_;
    std::unordered_map<QRgb, QIcon> icons_;
};

class CWhiteView : public CBaseView {
public:
    explicit CWhiteView(const AppSettings& settings)
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
    void show(TopicStore& s, std::int32_t text) {
        const platform::RichText body = recordBody(s, TopicId::Texts, text, TextField::Body);
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
    void clear() {
        setEditMode(false);
        edit_->clear();
        stripes_->strip().clear();
        memos_.clear();
        memoBar_->setMarks({});
        numbers_->setText({});
        stripes_->update();
    }
    void loadMemos(TopicStore& s, std::int32_t text) {
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
            m.tip = q(browser::memoHeading(c.getText(MemoField::Title),
                                           c.getText(MemoField::Author), date.toStdString())) +
                    "\n" +
                    q(browser::fieldBody(c, MemoField::Body).plainText()).replace('\r', '\n');
            marks.push_back(std::move(m));
        }
        memoBar_->setMarks(std::move(marks));
    }

    // While edit mode is on, stripes and memo places follow every change of the text.
    bool editMode() const { return editMode_; }
    bool modified() const { return modified_; }
    void setEditMode(bool on) {
        if (on == editMode_) return;
        editMode_ = on;
        edit_->setReadOnly(!on);
        edit_->document()->setUndoRedoEnabled(on);
        if (on) {
            modified_ = false;
            before_ = plainText();
            watch_ = connect(
                edit_->document(), &QTextDocument::contentsChange, this,
                [this](int pos, int removed, int added) { followChange(pos, removed, added); });
        } else {
            disconnect(watch_);
        }
    }
    const std::vector<browser::MemoPlace>& memos() const { return memos_; }
    // The side column's settings as read; its width follows the labels by itself.
    AppSettings::TextCoder sideSettings() const {
        AppSettings::TextCoder t = side_;
        t.labels = stripes_->labelsShown() ? 1 : 0;
        return t;
    }

private:
    std::u32string plainText() const { return edit_->document()->toPlainText().toStdU32String(); }
    void followChange(int pos, int removed, int added) {
        std::u32string after = plainText();
        browser::ChangedRange r = browser::changedRange(before_, after);
        if (after == before_) {
            if (removed == 0 && added == 0) return;
            // Only formats changed: the codings over it carry new RTF.
            r.start = stripes_->fromControl(pos);
            r.end = stripes_->fromControl(pos + std::max(removed, added));
        }
        browser::followEdit(stripes_->strip().stripes(), memos_,
                            static_cast<std::int32_t>(before_.size()),
                            static_cast<std::int32_t>(after.size()), r.start, r.end);
        modified_ = true;
        stripes_->textEdited(after);
        numbers_->setText(after);
        followMemos();
        before_ = std::move(after);
        stripes_->relayout();
    }

    // The memo icons go where the edit moved their places.
    void followMemos() {
        std::vector<MemoMark> marks = memoBar_->marks();
        for (MemoMark& m : marks)
            for (const browser::MemoPlace& place : memos_)
                if (place.memoId == m.memo) m.pos = place.pos;
        memoBar_->setMarks(std::move(marks));
    }

    AppSettings::TextCoder side_;
    bool editMode_ = false;
    bool modified_ = false;
    std::u32string before_;
    std::vector<browser::MemoPlace> memos_;
    QMetaObject::Connection watch_;

public:
    QTextEdit* edit() const { return edit_; }
    StripeColumn* stripes() const { return stripes_; }
    MemoBar* memoBar() const { return memoBar_; }

private:
    QTextEdit* edit_;
    StripeColumn* stripes_;
    MemoBar* memoBar_;
    ParagraphColumn* numbers_;
};

class CBlackView : public CBaseView {
public:
    explicit CBlackView(const AppSettings& settings)
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
    // The segments one after the other, each followed by five paragraph ends.
    void fill(TopicStore& s, const std::vector<std::int32_t>& codings) {
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
    QTextEdit* edit() const { return edit_; }
    SegmentColumn* column() const { return column_; }
    void setHeading(const QString& text) { heading_->setText(text); }
    QString heading() const { return heading_->text(); }
    // The settings that the window was laid out with, its column's width as it is now.
    std::pair<int, int> layoutSettings() const { return {columnFirst_ ? 1 : 0, column_->width()}; }

    // A double click in a segment's text, or a click on its mark, opens it in its text.
    std::function<void(std::int32_t coding)> segmentChosen;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == edit_->viewport() && e->type() == QEvent::MouseButtonDblClick &&
            segmentChosen) {
            const auto* m = static_cast<QMouseEvent*>(e);
            const int i =
                column_->blockAt(edit_->cursorForPosition(m->position().toPoint()).position());
            if (i >= 0) {
                segmentChosen(column_->blocks()[static_cast<std::size_t>(i)].coding);
                return true;
            }
        }
        return CBaseView::eventFilter(watched, e);
    }

private:
    QTextEdit* edit_;
    SegmentColumn* column_;
    QLabel* heading_;
    bool columnFirst_ = true;
};

} // namespace vexana::shell
