#include "CGreenView.h"
#include "CWhiteView.h"
#include "CommandScope.h"
#include "MainFrame.h"
#include "QtText.h"
#include "StripeColumn.h"
#include "TextDocument.h"
#include "analysis/CodingOperations.h"
#include "analysis/ContextCommands.h"
#include "analysis/Workspace.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTreeWidget>

namespace vexana::shell {

using namespace store;

bool CMainFrame::selection(analysis::CodingTemplate& t) const {
    if (!openText_ || editMode()) return false;
    const QTextCursor c = browser_->edit()->textCursor();
    if (!c.hasSelection()) return false;
    const std::int32_t a = browser_->stripes()->fromControl(c.selectionStart());
    const std::int32_t b = browser_->stripes()->fromControl(c.selectionEnd());
    // From the body the window holds: parsing a long text again for each coding is most of
    // the time a coding takes.
    if (!analysis::CodingOperations::TemplateFor(browser_->body(), a, b, t)) return false;
    t.text = openText_;
    return true;
}

bool CMainFrame::codeSelection() {
    const CommandScope step(*steps_, "Code");
    analysis::CodingTemplate t;
    return selection(t) && ws_.codings().CodeSelection(t);
}

bool CMainFrame::inVivo() {
    const CommandScope step(*steps_, "In-Vivo");
    analysis::CodingTemplate t;
    return selection(t) && ws_.codings().InVivo(t);
}

void CMainFrame::chooseCode(std::int32_t code) {
    if (!doc_.store().GetTopic(TopicId::Codes)->contains(code)) return;
    ws_.quickList.use(code);
    updateQuickList();
    updateCommands();
}

std::int32_t CMainFrame::passageDropTarget(const QDropEvent* e) const {
    // Only the Text Browser's own selection, dragged out of it.
    const QTextCursor c = browser_->edit()->textCursor();
    if (!openText_ || editMode() || !c.hasSelection() || !e->mimeData()->hasText()) return 0;
    const QObject* from = e->source();
    if (from != browser_->edit() && from != browser_->edit()->viewport() &&
        e->mimeData()->text() != c.selection().toPlainText())
        return 0;
    const QTreeWidgetItem* item = codes_->tree()->itemAt(e->position().toPoint());
    if (!item || item->data(0, Qt::UserRole).toInt() != TopicId::Codes) return 0;
    return item->data(0, Qt::UserRole + 1).toInt();
}

bool CMainFrame::confirmUndoBatch(int k) {
    const auto batches = ws_.codings().UndoBatches();
    if (k < 0 || static_cast<std::size_t>(k) >= batches.size()) return false;
    const auto& b = batches[static_cast<std::size_t>(k)];
    // More than one coding goes at once: say which before it happens.
    if (b.count > 1 && !ws_.ui().question("Undo Code removes the " + std::to_string(b.count) +
                                              " codings made in one step with the code \"" +
                                              (b.codeName.empty() ? "?" : b.codeName) + "\".",
                                          "Remove", "Cancel"))
        return false;
    return undoBatch(k);
}

bool CMainFrame::undoBatch(int k) {
    const CommandScope step(*steps_, "Undo Code");
    return ws_.codings().UndoBatch(static_cast<std::size_t>(k)) > 0;
}

bool CMainFrame::editMode() const {
    return browser_->editMode();
}

bool CMainFrame::setEditMode(bool on) {
    if (on) {
        if (!openText_) return false;
        browser_->setEditMode(true);
        updateCommands();
        return true;
    }
    if (!browser_->editMode()) return true;
    if (browser_->modified()) {
        // Its own step even when another command left edit mode on its way.
        const CommandScope step(*steps_, "Edit Text", CommandScope::Kind::Apart);
        std::vector<analysis::EditedCoding> codings;
        for (const auto& st : browser_->stripes()->strip().stripes())
            codings.push_back({st.codingId, st.startChar, st.finishChar,
                               (st.flags & browser::CodingStripe::Changed) != 0, st.deleted()});
        std::vector<analysis::EditedMemo> memos;
        for (const auto& m : browser_->memos())
            if (m.flags & browser::CodingStripe::Changed) memos.push_back({m.memoId, m.pos});
        if (!ws_.codings().SaveEditedText(openText_, richTextOf(*browser_->edit()->document()),
                                          codings, memos)) {
            // The edits stay in the window; nothing half-written is left in the file.
            ws_.ui().message("The text could not be saved.", MessageIcon::Stop);
            return false;
        }
    }
    browser_->setEditMode(false);
    if (browser_->modified()) browser_->keepShownBody(doc_.store());
    refreshAll();
    return true;
}

void CMainFrame::selectCoding(std::int32_t coding) {
    const TopicStore& s = doc_.store();
    if (!s.GetTopic(TopicId::Codings)->contains(coding)) return;
    const std::int32_t text = s.GetInt(TopicId::Codings, coding, CodingField::Text);
    if (text != openText_) openText(text);
    if (text != openText_) return;
    StripeColumn* strip = browser_->stripes();
    QTextCursor c = browser_->edit()->textCursor();
    c.setPosition(strip->toControl(s.GetInt(TopicId::Codings, coding, CodingField::StartChar)));
    c.setPosition(strip->toControl(s.GetInt(TopicId::Codings, coding, CodingField::FinishChar)),
                  QTextCursor::KeepAnchor);
    browser_->edit()->setTextCursor(c);
    browser_->edit()->ensureCursorVisible();
}

void CMainFrame::stripeClicked(std::int32_t coding, Qt::MouseButton button, bool twice, QPoint at) {
    if (button == Qt::LeftButton) {
        if (coding == 0) return;
        if (twice) {
            const CommandScope step(*steps_, "Modify Weight");
            ws_.codings().ModifyWeight(coding);
        } else
            selectCoding(coding);
        return;
    }
    if (button != Qt::RightButton) return;
    QMenu menu(this);
    if (coding == 0) {
        QAction* a = menu.addAction("Show Title", [this] {
            StripeColumn* strip = browser_->stripes();
            strip->setLabelsShown(!strip->labelsShown());
            if (openText_ && !editMode()) refreshAll();
        });
        a->setCheckable(true);
        a->setChecked(browser_->stripes()->labelsShown());
    } else {
        for (const auto& c : analysis::commandsOf(analysis::ContextMenu::Coding)) {
            const int command = c.id;
            menu.addAction(q(std::string(c.text)),
                           [this, command, coding] { contextCommand(command, coding); })
                ->setEnabled(!editMode());
        }
    }
    menu.exec(at);
}

} // namespace vexana::shell
