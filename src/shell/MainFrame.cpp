#include "MainFrame.h"

#include "CommandScope.h"
#include "Panes.h"
#include "ParagraphColumn.h"
#include "StripeColumn.h"
#include "TextDocument.h"
#include "WeightFilterDialog.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/ContextCommands.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

namespace vexana::shell {

using namespace store;

namespace {

analysis::ContextMenu menuOf(int kind) {
    switch (kind) {
    case TopicId::GroupsRoot:
        return analysis::ContextMenu::TextGroups;
    case TopicId::TextGroups:
        return analysis::ContextMenu::TextGroup;
    case TopicId::Texts:
        return analysis::ContextMenu::Text;
    case TopicId::SetsRoot:
        return analysis::ContextMenu::Sets;
    case TopicId::TextSets:
        return analysis::ContextMenu::Set;
    case TopicId::TextLinks:
        return analysis::ContextMenu::Textlink;
    case TopicId::CodesRoot:
        return analysis::ContextMenu::CodeSystem;
    default:
        return analysis::ContextMenu::Code;
    }
}

} // namespace

CMainFrame::CMainFrame(CVexDoc& doc, analysis::Workspace& ws, analysis::Retrieval& retrieval,
                       AppSettings& settings)
    : doc_(doc), ws_(ws), retrieval_(retrieval), settings_(settings), documents_(new CBlauView),
      codes_(new CGreenView), browser_(new CWhiteView(settings)),
      segments_(new CBlackView(settings)), steps_(std::make_unique<CommandStack>(doc)) {
    setWindowTitle("VEXANA");
    viewState_ = validViewState(settings.viewState());
    oldViewState_ = validViewState(settings.oldViewState());
    buttonState_ = settings.buttonState();
    for (int i = 0; i < 3; ++i) {
        // Splitters off any screen are replaced by their defaults.
        const int v = settings.splitter(i + 1);
        splitters_[i] = v >= 50 && v <= 10000 ? v : 350;
        toolbars_[i] = settings.toolbarWidth(i + 1);
    }
    analysis::ContextHost host;
    host.openText = [this](std::int32_t t) { openText(t); };
    host.selection = [this](analysis::CodingTemplate& t) { return selection(t); };
    host.functionDialog = [this](analysis::FunctionDialogValues& v) {
        // The parameters the function needs: its number and the code from the Quick-List.
        const int fn = retrieval_.settings.function;
        bool ok = true;
        if (fn == analysis::AtLeast || fn >= analysis::FollowedBy)
            v.number = QInputDialog::getInt(
                this, QString::fromStdString(std::string(analysis::functionName(fn))),
                fn == analysis::AtLeast ? "At Least" : "max. Distance", v.number,
                fn == analysis::AtLeast ? 2 : 0, 10000, 1, &ok);
        if (ok && fn >= analysis::Difference) {
            const auto choices = retrieval_.QuickListChoices();
            QStringList names;
            for (const auto& c : choices)
                names << q(c.second.empty() ? "?" : c.second);
            if (!names.isEmpty()) {
                const QString pick =
                    QInputDialog::getItem(this, "Code", "Code", names, 0, false, &ok);
                if (ok)
                    retrieval_.PickFromQuickList(v, static_cast<std::size_t>(names.indexOf(pick)));
            }
        }
        return ok;
    };
    host.weightFilterDialog = [this](int& low, int& high) {
        WeightFilterDialog dialog(low, high, this);
        if (dialog.exec() != QDialog::Accepted) return false;
        low = dialog.low();
        high = dialog.high();
        return true;
    };
    host.selectCode = [this](std::int32_t code) {
        selectInTree(codes_->tree(), TopicId::Codes, code);
    };
    host.importFiles = [this](std::int32_t group, const std::vector<std::string>& files,
                              bool preprocess) {
        exchange::TextImport import(ws_);
        return preprocess ? import.PreprocessFiles(group, files) : import.ImportFiles(group, files);
    };
    commands_ = std::make_unique<analysis::ContextCommands>(ws_, retrieval_, host);
    steps_->whenIdle = [this] { updateCommands(); };
    for (QTreeWidget* tree : {static_cast<QTreeWidget*>(documents_->tree()), codes_->tree()}) {
        tree->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(tree, &QTreeWidget::customContextMenuRequested, this,
                [this, tree](const QPoint& at) { showContextMenu(tree, at); });
        connect(tree, &QTreeWidget::itemChanged, this,
                [this](QTreeWidgetItem* item) { finishRename(item); });
        // An editor closed without a change (Escape) gives the item its label back.
        connect(tree->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
            if (renaming_.first) onViewEvent(ViewEvent::Changed, 0, 0);
        });
        auto* rename = new QAction(tree);
        rename->setShortcut(Qt::Key_F2);
        rename->setShortcutContext(Qt::WidgetShortcut);
        tree->addAction(rename);
        connect(rename, &QAction::triggered, this, [this, tree] {
            if (QTreeWidgetItem* item = tree->currentItem())
                ws_.documents().StartRename(item->data(0, Qt::UserRole).toInt(),
                                            item->data(0, Qt::UserRole + 1).toInt());
        });
        connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
            const int kind = item->data(0, Qt::UserRole).toInt();
            const std::int32_t id = item->data(0, Qt::UserRole + 1).toInt();
            if (kind == TopicId::Texts) openText(id);
            if (kind == TopicId::TextLinks)
                openText(doc_.store().GetInt(TopicId::TextLinks, id, LinkField::Text));
        });
    }
    browser_->stripes()->clicked = [this](std::int32_t coding, Qt::MouseButton button, bool twice,
                                          QPoint at) { stripeClicked(coding, button, twice, at); };
    documents_->tree()->accepts = [this](ObjectTree::Object what, ObjectTree::Object target) {
        return dropObject(what.kind, what.id, target.kind, target.id, false);
    };
    documents_->tree()->dropped = [this](ObjectTree::Object what, ObjectTree::Object target) {
        dropObject(what.kind, what.id, target.kind, target.id, true);
    };
    browser_->memoBar()->activated = [this](std::int32_t memo) {
        // Until memos have their own window, a memo icon takes the cursor to its place.
        QTextCursor c = browser_->edit()->textCursor();
        c.setPosition(browser_->stripes()->toControl(
            doc_.store().GetInt(TopicId::Memos, memo, MemoField::Pos)));
        browser_->edit()->setTextCursor(c);
    };
    browser_->stripes()->tooltipOf = [this](std::int32_t coding) {
        return q(doc_.store().GetAnnotation(TopicId::Codings, coding));
    };
    segments_->segmentChosen = [this](std::int32_t coding) { selectCoding(coding); };
    segments_->column()->clicked = segments_->segmentChosen;
    browser_->edit()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(browser_->edit(), &QTextEdit::customContextMenuRequested, this,
            [this](const QPoint& at) { showBrowserMenu(at); });
    buildMenus();
    buildToolbars();
    rebuildPanes();
    updateCommands();
    resize(1100, 760);
    doc_.addView(this);
}

bool CMainFrame::selection(analysis::CodingTemplate& t) const {
    if (!openText_ || editMode()) return false;
    const QTextCursor c = browser_->edit()->textCursor();
    if (!c.hasSelection()) return false;
    const std::int32_t a = browser_->stripes()->fromControl(c.selectionStart());
    const std::int32_t b = browser_->stripes()->fromControl(c.selectionEnd());
    return ws_.codings().TemplateFor(openText_, a, b, t);
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

bool CMainFrame::undoBatch(int k) {
    const CommandScope step(*steps_, "Undo Code");
    return ws_.codings().UndoBatch(static_cast<std::size_t>(k)) > 0;
}

bool CMainFrame::contextCommand(int id, std::int32_t object) {
    const analysis::ContextCommand* c = analysis::findContextCommand(id);
    // The colours are named by the submenu that holds them.
    const std::string name = id >= 20069 && id <= 20073 ? "Color Attribute"
                             : c ? CommandStack::nameOf(q(std::string(c->text)))
                                 : std::string();
    const CommandScope step(*steps_, name);
    return commands_->Execute(id, object);
}

void CMainFrame::showContextMenu(QTreeWidget* tree, const QPoint& at) {
    QTreeWidgetItem* item = tree->itemAt(at);
    if (!item) return;
    const int kind = item->data(0, Qt::UserRole).toInt();
    if (kind == 0) return;
    const std::int32_t id = item->data(0, Qt::UserRole + 1).toInt();
    QMenu menu(this);
    QMenu* colours = nullptr;
    for (const auto& c : analysis::commandsOf(menuOf(kind))) {
        QMenu* into = &menu;
        if (c.id >= 20069 && c.id <= 20073) {
            if (!colours) colours = menu.addMenu("Color Attribute");
            into = colours;
        }
        QAction* a = into->addAction(q(std::string(c.text)));
        a->setEnabled(commands_->Enabled(c.id, id));
        const int command = c.id;
        connect(a, &QAction::triggered, this, [this, command, id] { contextCommand(command, id); });
    }
    menu.exec(tree->viewport()->mapToGlobal(at));
}

QTreeWidgetItem* CMainFrame::findItem(QTreeWidget* tree, int kind, std::int32_t id) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == kind &&
            (*it)->data(0, Qt::UserRole + 1).toInt() == id)
            return *it;
    return nullptr;
}

void CMainFrame::selectInTree(QTreeWidget* tree, int kind, std::int32_t id) {
    if (QTreeWidgetItem* item = findItem(tree, kind, id)) {
        tree->setCurrentItem(item);
        tree->scrollToItem(item);
    }
}

bool CMainFrame::dropObject(int kind, std::int32_t id, int targetKind, std::int32_t target,
                            bool apply) {
    const TopicStore& s = doc_.store();
    analysis::DocumentSystem& docs = ws_.documents();
    if (kind == TopicId::TextLinks) {
        kind = TopicId::Texts;
        id = s.GetInt(TopicId::TextLinks, id, LinkField::Text);
    }
    if (kind == TopicId::TextGroups && targetKind == TopicId::SetsRoot) {
        if (!s.GetTopic(TopicId::TextGroups)->contains(id)) return false;
        if (!apply) return true;
        const CommandScope step(*steps_, "New Set from Text Group");
        return docs.NewSetFromGroup(id) != 0;
    }
    if (kind != TopicId::Texts || !s.GetTopic(TopicId::Texts)->contains(id)) return false;
    if (targetKind == TopicId::TextLinks) {
        targetKind = TopicId::TextSets;
        target = s.GetInt(TopicId::TextLinks, target, LinkField::Set);
    }
    if (targetKind == TopicId::TextSets) {
        if (!s.GetTopic(TopicId::TextSets)->contains(target) || docs.SetHolds(target, id))
            return false;
        if (!apply) return true;
        const CommandScope step(*steps_, "Add Text to Set");
        return docs.AddTextToSet(target, id) != 0;
    }
    if (targetKind == TopicId::TextGroups || targetKind == TopicId::Texts) {
        if (!s.GetTopic(targetKind)->contains(target)) return false;
        if (!apply) return true;
        const CommandScope step(*steps_, "Copy Text");
        return docs.CopyText(id, targetKind, target) != 0;
    }
    return false;
}

void CMainFrame::beginRename(int topic, std::int32_t id) {
    QTreeWidget* tree = topic == TopicId::Codes ? codes_->tree() : documents_->tree();
    QTreeWidgetItem* item = findItem(tree, topic, id);
    if (!item) return;
    {
        const QSignalBlocker quiet(tree);
        item->setText(0, q(doc_.store().GetName(topic, id, false)));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    renaming_ = {topic, id};
    tree->setCurrentItem(item);
    tree->scrollToItem(item);
    tree->editItem(item, 0);
}

void CMainFrame::finishRename(QTreeWidgetItem* item) {
    const auto [topic, id] = renaming_;
    if (!topic || item->data(0, Qt::UserRole).toInt() != topic ||
        item->data(0, Qt::UserRole + 1).toInt() != id)
        return;
    renaming_ = {};
    const std::string name = item->text(0).trimmed().toStdString();
    // An emptied name keeps the old one; the tree gets its counts back either way.
    if (!name.empty() && name != doc_.store().GetName(topic, id, false)) {
        // Named as the context menus name renaming.
        const char* command = topic == TopicId::Codes        ? "Rename Code"
                              : topic == TopicId::Texts      ? "Rename Text"
                              : topic == TopicId::TextSets   ? "Rename Set"
                              : topic == TopicId::TextGroups ? "Rename Text Group"
                                                             : "Rename";
        const CommandScope step(*steps_, command);
        ws_.documents().RenameObject(topic, id, name);
    }
    onViewEvent(ViewEvent::Changed, topic, id);
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

CMainFrame::~CMainFrame() {
    // Hidden while still whole: hiding moves the focus, and the trees' editor signals that
    // this sets off reach slots of this frame (a window can be left open when its close was
    // refused at the end of the program).
    hide();
    doc_.removeView(this);
    // The four windows are kept across layouts; free those not in a pane now.
    for (CBaseView* v : {static_cast<CBaseView*>(documents_), static_cast<CBaseView*>(codes_),
                         static_cast<CBaseView*>(browser_), static_cast<CBaseView*>(segments_)})
        if (!v->parent()) delete v;
}

CBaseView* CMainFrame::view(int bit) const {
    switch (bit) {
    case ViewBit::DocumentSystem:
        return documents_;
    case ViewBit::CodeSystem:
        return codes_;
    case ViewBit::TextBrowser:
        return browser_;
    default:
        return segments_;
    }
}

void CMainFrame::readSplitters() {
    if (outer_ && outer_->count() == 2) splitters_[0] = outer_->sizes().value(0, splitters_[0]);
    if (right_ && right_->count() == 2) splitters_[1] = right_->sizes().value(0, splitters_[1]);
    if (left_ && left_->count() == 2) splitters_[2] = left_->sizes().value(0, splitters_[2]);
}

void CMainFrame::rebuildPanes() {
    // The windows survive the splitters that held them.
    for (CBaseView* v : {static_cast<CBaseView*>(documents_), static_cast<CBaseView*>(codes_),
                         static_cast<CBaseView*>(browser_), static_cast<CBaseView*>(segments_)})
        v->setParent(nullptr);
    delete outer_;
    const PaneArrangement a = arrange(viewState_);
    auto column = [&](const std::vector<int>& bits, int firstSize) -> QWidget* {
        if (bits.size() == 1) return view(bits[0]);
        auto* split = new QSplitter(Qt::Vertical);
        for (int bit : bits)
            split->addWidget(view(bit));
        split->setSizes({firstSize, 500});
        return split;
    };
    outer_ = new QSplitter(a.columns() == 2 ? Qt::Horizontal : Qt::Vertical);
    left_ = nullptr;
    right_ = nullptr;
    if (a.columns() == 2) {
        QWidget* l = column(a.left, splitters_[2]);
        QWidget* r = column(a.right, splitters_[1]);
        left_ = qobject_cast<QSplitter*>(l);
        right_ = qobject_cast<QSplitter*>(r);
        outer_->addWidget(l);
        outer_->addWidget(r);
        outer_->setSizes({splitters_[0], 500});
    } else {
        // One column: its windows stacked in the one splitter.
        for (int bit : a.left.empty() ? a.right : a.left)
            outer_->addWidget(view(bit));
        if (outer_->count() == 2)
            outer_->setSizes({a.left.empty() ? splitters_[1] : splitters_[2], 500});
        (a.left.empty() ? right_ : left_) = outer_;
    }
    setCentralWidget(outer_);
    outer_->show();
    for (CBaseView* v : {static_cast<CBaseView*>(documents_), static_cast<CBaseView*>(codes_),
                         static_cast<CBaseView*>(browser_), static_cast<CBaseView*>(segments_)})
        if (viewState_ & v->bit()) v->show();
}

void CMainFrame::toggleView(int bit) {
    readSplitters();
    oldViewState_ = viewState_;
    viewState_ = shell::toggleView(viewState_, bit);
    buttonState_ = 1;
    rebuildPanes();
    updateCommands();
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
    refreshAll();
    return true;
}

void CMainFrame::openText(std::int32_t text) {
    TopicStore& s = doc_.store();
    if (!s.GetTopic(TopicId::Texts)->contains(text)) return;
    if (!setEditMode(false)) return;
    openText_ = text;
    browser_->show(s, text);
    updateCommands();
}

void CMainFrame::refreshAll() {
    // The open text's stripes follow its codings; text being edited stays as it is.
    if (browser_->editMode() && doc_.store().GetTopic(TopicId::Texts)->contains(openText_)) {
    } else if (openText_ && doc_.store().GetTopic(TopicId::Texts)->contains(openText_)) {
        const int scroll = browser_->edit()->verticalScrollBar()->value();
        // As numbers: a cursor kept across the refill would be carried along by its inserts.
        const QTextCursor old = browser_->edit()->textCursor();
        const int anchor = old.anchor(), position = old.position();
        browser_->show(doc_.store(), openText_);
        QTextCursor keep(browser_->edit()->document());
        const int end = browser_->edit()->document()->characterCount() - 1;
        keep.setPosition(std::min(anchor, end));
        keep.setPosition(std::min(position, end), QTextCursor::KeepAnchor);
        browser_->edit()->setTextCursor(keep);
        browser_->edit()->verticalScrollBar()->setValue(scroll);
    } else if (openText_) {
        openText_ = 0;
        browser_->clear();
    }
    documents_->fill(doc_.store(), ws_);
    codes_->fill(doc_.store(), ws_);
    showRetrieved();
    updateQuickList();
    undoAvailable_ = doc_.isOpen() && !ws_.codings().UndoBatches().empty();
    updateCommands();
    setWindowTitle(windowTitleOf(doc_.title(), readOnly()));
    dirty_ = false;
    renaming_ = {}; // the refill took the editor's item
    if (pendingRename_.first) beginRename(pendingRename_.first, pendingRename_.second);
    pendingRename_ = {};
}

void CMainFrame::showRetrieved() {
    segments_->fill(doc_.store(), ws_.retrieved);
    segments_->setHeading(q(retrieval_.Heading(ws_.retrieved.size())));
}

void CMainFrame::onViewEvent(ViewEvent e, int topic, std::int32_t id) {
    if (e == ViewEvent::RenameStarted) pendingRename_ = {topic, id};
    // Many notifications come in a burst; the windows are refilled once it has passed.
    if (dirty_) return;
    dirty_ = true;
    QTimer::singleShot(0, this, [this] {
        if (dirty_) refreshAll();
    });
}

void CMainFrame::onProjectLoaded(bool) {
    refreshAll();
}

void CMainFrame::onProjectClosed() {
    setEditMode(false);
    openText_ = 0;
    browser_->clear();
    segments_->fill(doc_.store(), {});
    segments_->setHeading({});
}

void CMainFrame::saveSettings() {
    readSplitters();
    // Where the window stands, in its unmaximised rectangle, and whether it is maximised.
    store::WindowPlacement place;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    place.left = normal.left();
    place.top = normal.top();
    place.right = normal.right() + 1;
    place.bottom = normal.bottom() + 1;
    place.showCmd = isMaximized() ? 3 : 1;
    settings_.setWindowPos("MainWindow", place);
    for (std::size_t i = 0; i < 3; ++i)
        toolbars_[i] = bars_[i]->width();
    settings_.setMainWindow(buttonState_, viewState_, oldViewState_, splitters_, toolbars_);
    settings_.setRecentProjects(doc_.recent().entries());
    settings_.setProgramOptions(retrieval_.ProgramOptions());
    const auto [first, width] = segments_->layoutSettings();
    settings_.setSegmentsCtrl(first, width);
    settings_.setTextCoderWindow(browser_->sideSettings());
    const std::string error = settings_.save();
    if (!error.empty()) ws_.ui().message(error, MessageIcon::Warning);
}

void CMainFrame::showAtStoredPlace() {
    const store::WindowPlacement place =
        settings_.windowPos("MainWindow", store::AppSettings::mainWindowDefault());
    QRect r(place.left, place.top, place.right - place.left, place.bottom - place.top);
    // Kept on the screen it opens on: a place stored on a larger screen, or at another scale,
    // must not put the window beyond the edges.
    if (const QScreen* sc = screen(); sc && !sc->availableGeometry().isEmpty()) {
        const QRect area = sc->availableGeometry();
        r.setWidth(std::min(std::max(r.width(), 320), area.width()));
        r.setHeight(std::min(std::max(r.height(), 240), area.height()));
        r.moveLeft(std::clamp(r.left(), area.left(), area.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), area.top(), area.bottom() - r.height() + 1));
    }
    setGeometry(r);
    if (place.showCmd == 3)
        showMaximized();
    else
        show();
}

bool CMainFrame::readOnly() const {
    return doc_.isOpen() && doc_.database()->isReadOnly();
}

QString CMainFrame::windowTitleOf(const std::string& project, bool readOnly) {
    if (project.empty()) return "VEXANA";
    return q("VEXANA - " + project) + (readOnly ? " (read-only)" : "");
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!setEditMode(false)) {
        event->ignore();
        return;
    }
    doc_.CloseProject();
    saveSettings();
    event->accept();
}

} // namespace vexana::shell
