#include "MainFrame.h"

#include "ActivationDialog.h"
#include "CBlackView.h"
#include "CBlauView.h"
#include "CGreenView.h"
#include "CWhiteView.h"
#include "CommandScope.h"
#include "LexaCommands.h"
#include "MemoBar.h"
#include "MemoDialog.h"
#include "ObjList.h"
#include "ObjListWindows.h"
#include "ObjectTree.h"
#include "ParagraphColumn.h"
#include "QtText.h"
#include "SegmentColumn.h"
#include "StripeColumn.h"
#include "WeightFilterDialog.h"
#include "analysis/CodingOperations.h"
#include "analysis/ContextCommands.h"
#include "analysis/DocumentSystem.h"
#include "analysis/MemoOperations.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "exchange/Teamwork.h"
#include "exchange/TextImport.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "variables/VariableTable.h"
#include "variables/VariablesGridOwner.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QMimeData>
#include <QScrollBar>
#include <QSplitter>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <algorithm>

namespace vexana::shell {

using namespace store;

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
    host.teamwork = [this](int id, std::int32_t object) {
        exchange::Teamwork team(ws_);
        switch (id) {
        case 20027:
            return team.ExportTextCommand(object);
        case 20028:
            return team.ImportTextCommand(object);
        case 20058:
            return team.ExportCodeSystemCommand();
        default:
            return team.ImportCodeSystemCommand();
        }
    };
    host.showOverview = [this](const analysis::Overview& o) { showList(o.topic, o.title, o.ids); };
    storeFields_ = std::make_unique<browser::StoreGridOwner>(doc_.store());
    fields_ = std::make_unique<variables::VariablesGridOwner>(doc_, *storeFields_);
    lists_ = new ObjListWindows(doc_, settings_, this);
    lists_->prepare = [this](ObjList& w) {
        w.setGridOwner(fields_.get());
        w.setCommandStack(steps_.get());
        // A memo list exports the memos, selected or all, as RTF.
        if (w.kind() == TopicId::Memos)
            w.ownerExport = [this, &w](int, const std::vector<std::int32_t>& selected) {
                const std::string path = ws_.ui().chooseFile(FileDialog::ExportRtf);
                if (path.empty()) return true;
                const std::string error = analysis::MemoOperations(ws_).ExportList(
                    selected.empty() ? w.ids() : selected, path);
                if (!error.empty())
                    ws_.ui().message("The memos could not be exported to " + path + ": " + error +
                                         ".",
                                     MessageIcon::Stop);
                return true;
            };
        // The variables' list exports as the variables' table.
        if (w.kind() == TopicId::Texts)
            w.ownerExport = [this](int, const std::vector<std::int32_t>&) {
                variables::VariableTable(doc_).ExportCommand();
                return true;
            };
    };
    host.activationDialog = [this] { showActivationDialog(this, ws_, settings_); };
    host.openMemo = [this](std::int32_t memo, bool isNew) {
        showMemo(this, ws_, settings_, memo, isNew);
    };
    host.memoBarPlace = [this](std::int32_t& text, std::int32_t& pos) {
        // "New Memo" from the bar's menu: at the line of the caret in the open text.
        if (!openText_ || editMode()) return false;
        text = openText_;
        const QPoint caret = browser_->edit()->cursorRect().center();
        QTextCursor c = browser_->edit()->cursorForPosition(caret);
        c.movePosition(QTextCursor::StartOfLine);
        pos = browser_->stripes()->fromControl(c.position());
        return true;
    };
    lexa_ = new LexaCommands(this, ws_, settings_, steps_.get());
    lexa_->runContextCommand = [this](int id) { return contextCommand(id, 0, 0); };
    host.wordAnalysis = [this](int id, std::int32_t object) {
        return lexa_->contextCommand(id, contextKind_, object);
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
        // Double-click or Return: a text opens; a code becomes the one the Code command uses.
        connect(tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
            const int kind = item->data(0, Qt::UserRole).toInt();
            const std::int32_t id = item->data(0, Qt::UserRole + 1).toInt();
            if (kind == TopicId::Texts) openText(id);
            if (kind == TopicId::TextLinks)
                openText(doc_.store().GetInt(TopicId::TextLinks, id, LinkField::Text));
            if (kind == TopicId::Codes) chooseCode(id);
        });
    }
    connect(codes_->tree(), &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (item->data(0, Qt::UserRole).toInt() == TopicId::Codes)
            chooseCode(item->data(0, Qt::UserRole + 1).toInt());
    });
    // A passage dragged from the text onto a code is coded with it.
    codes_->tree()->setAcceptDrops(true);
    codes_->tree()->viewport()->setAcceptDrops(true);
    codes_->tree()->viewport()->installEventFilter(this);
    browser_->stripes()->clicked = [this](std::int32_t coding, Qt::MouseButton button, bool twice,
                                          QPoint at) { stripeClicked(coding, button, twice, at); };
    documents_->tree()->accepts = [this](ObjectTree::Object what, ObjectTree::Object target) {
        return dropObject(what.kind, what.id, target.kind, target.id, false);
    };
    documents_->tree()->dropped = [this](ObjectTree::Object what, ObjectTree::Object target) {
        dropObject(what.kind, what.id, target.kind, target.id, true);
    };
    browser_->memoBar()->activated = [this](std::int32_t memo) {
        showMemo(this, ws_, settings_, memo, false);
    };
    browser_->memoBar()->emptyActivated = [this](std::int32_t lineStart) {
        if (!openText_ || readOnly()) return;
        const CommandScope step(*steps_, "New Memo");
        if (const std::int32_t memo =
                analysis::MemoOperations(ws_).NewTextMemo(openText_, lineStart))
            showMemo(this, ws_, settings_, memo, true);
    };
    browser_->stripes()->tooltipOf = [this](std::int32_t coding) {
        // The label may be cut short in the column: the code's whole path comes first.
        const TopicStore& s = doc_.store();
        const std::string path =
            s.GetName(TopicId::Codes, s.GetInt(TopicId::Codings, coding, CodingField::Code), true);
        const std::string note = s.GetAnnotation(TopicId::Codings, coding);
        if (note.rfind(path, 0) == 0) return q(note);
        return q(note.empty() ? path : path + "\n" + note);
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

ObjList* CMainFrame::showList(int kind, const std::string& title, std::vector<std::int32_t> ids) {
    return lists_->show(kind, title, std::move(ids));
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

bool CMainFrame::readOnly() const {
    return doc_.isOpen() && doc_.database()->isReadOnly();
}

QString CMainFrame::windowTitleOf(const std::string& project, bool readOnly) {
    if (project.empty()) return "VEXANA";
    return q("VEXANA - " + project) + (readOnly ? " (read-only)" : "");
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Resize)
        if (auto* split = qobject_cast<QSplitter*>(watched)) applyDivider(split);
    if (watched == codes_->tree()->viewport() &&
        (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove ||
         e->type() == QEvent::Drop)) {
        auto* d = static_cast<QDropEvent*>(e);
        const std::int32_t code = passageDropTarget(d);
        if (!code) return false; // not ours: the tree does what it does
        d->acceptProposedAction();
        if (e->type() == QEvent::Drop) contextCommand(20060, code);
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
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
