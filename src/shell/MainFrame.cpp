#include "MainFrame.h"
#include "Panes.h"

#include "ParagraphColumn.h"
#include "StripeColumn.h"
#include "TextDocument.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/ContextCommands.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <tuple>

namespace vexana::shell {

using namespace store;

namespace {

// The sixteen standard colours of the Font Color menu, in its order.
constexpr std::pair<const char*, QRgb> fontColours[16] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF}};

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
      codes_(new CGreenView), browser_(new CWhiteView(settings)), segments_(new CBlackView) {
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
    host.selectCode = [this](std::int32_t code) {
        selectInTree(codes_->tree(), TopicId::Codes, code);
    };
    commands_ = std::make_unique<analysis::ContextCommands>(ws_, retrieval_, host);
    for (QTreeWidget* tree : {documents_->tree(), codes_->tree()}) {
        tree->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(tree, &QTreeWidget::customContextMenuRequested, this,
                [this, tree](const QPoint& at) { showContextMenu(tree, at); });
        connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
            if (item->data(0, Qt::UserRole).toInt() == TopicId::Texts)
                openText(item->data(0, Qt::UserRole + 1).toInt());
        });
    }
    browser_->stripes()->clicked = [this](std::int32_t coding, Qt::MouseButton button, bool twice,
                                          QPoint at) { stripeClicked(coding, button, twice, at); };
    browser_->edit()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(browser_->edit(), &QTextEdit::customContextMenuRequested, this,
            [this](const QPoint& at) { showBrowserMenu(at); });
    buildMenus();
    rebuildPanes();
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
    analysis::CodingTemplate t;
    return selection(t) && ws_.codings().CodeSelection(t);
}

bool CMainFrame::inVivo() {
    analysis::CodingTemplate t;
    return selection(t) && ws_.codings().InVivo(t);
}

bool CMainFrame::undoBatch(int k) {
    return ws_.codings().UndoBatch(static_cast<std::size_t>(k)) > 0;
}

bool CMainFrame::contextCommand(int id, std::int32_t object) {
    return commands_->Execute(id, object);
}

void CMainFrame::showContextMenu(QTreeWidget* tree, const QPoint& at) {
    QTreeWidgetItem* item = tree->itemAt(at);
    if (!item) return;
    const int kind = item->data(0, Qt::UserRole).toInt();
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
        a->setEnabled(analysis::ContextCommands::Available(c.id));
        const int command = c.id;
        connect(a, &QAction::triggered, this, [this, command, id] { contextCommand(command, id); });
    }
    menu.exec(tree->viewport()->mapToGlobal(at));
}

void CMainFrame::selectInTree(QTreeWidget* tree, int kind, std::int32_t id) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == kind &&
            (*it)->data(0, Qt::UserRole + 1).toInt() == id) {
            tree->setCurrentItem(*it);
            tree->scrollToItem(*it);
            return;
        }
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
        if (twice)
            ws_.codings().ModifyWeight(coding);
        else
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

void CMainFrame::showBrowserMenu(const QPoint& at) {
    QMenu menu(this);
    const bool selected = browser_->edit()->textCursor().hasSelection() && openText_ && !editMode();
    QAction* code = menu.addAction("Code", [this] { codeSelection(); });
    code->setEnabled(selected && ws_.quickList.current() != 0);
    menu.addAction("In-Vivo", [this] { inVivo(); })->setEnabled(selected);
    QMenu* undo = menu.addMenu("Undo Code");
    const auto batches = ws_.codings().UndoBatches();
    for (std::size_t k = 0; k < batches.size(); ++k)
        undo->addAction(q(batches[k].codeName) + "\t" + QString::number(batches[k].count),
                        [this, k] { undoBatch(static_cast<int>(k)); });
    undo->setEnabled(!batches.empty());
    menu.exec(browser_->edit()->viewport()->mapToGlobal(at));
}

CMainFrame::~CMainFrame() {
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

void CMainFrame::buildMenus() {
    QMenu* project = menuBar()->addMenu("&Project");
    project->addAction("&New Project...", [this] { doc_.OnNewProject(); });
    project->addAction("&Open Project...", [this] { doc_.OnOpenProject(); });
    project->addAction("&Backup Project...", [this] { doc_.OnBackupProject(); });
    project->addSeparator();
    for (int i = 0; i < 5; ++i)
        recentItems_[static_cast<std::size_t>(i)] =
            project->addAction("", [this, i] { doc_.OnRecentProject(i + 1); });
    project->addSeparator();
    project->addAction("E&xit VEX", [this] { close(); });
    connect(project, &QMenu::aboutToShow, this, [this] { updateRecentMenu(); });
    updateRecentMenu();

    QMenu* edit = menuBar()->addMenu("&Edit");
    editAction_ = edit->addAction("Edit Mode on/off", [this] { setEditMode(!editMode()); });
    editAction_->setCheckable(true);
    edit->addSeparator();
    // Effects toggle on the selection, as the selection's first character has them.
    const std::pair<const char*, void (*)(QTextCharFormat&, bool)> effects[] = {
        {"Bold",
         [](QTextCharFormat& f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); }},
        {"Italics", [](QTextCharFormat& f, bool on) { f.setFontItalic(on); }},
        {"Underline", [](QTextCharFormat& f, bool on) { f.setFontUnderline(on); }}};
    std::vector<QAction*> formatting;
    for (const auto& effect : effects) {
        QAction* a = edit->addAction(effect.first);
        auto* apply = effect.second;
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, apply](bool on) {
            QTextCharFormat f;
            apply(f, on);
            browser_->edit()->mergeCurrentCharFormat(f);
        });
        formatting.push_back(a);
    }
    QMenu* colours = edit->addMenu("Font Color");
    formatting.push_back(colours->menuAction());
    for (int i = 0; i <= 16; ++i)
        colours->addAction(i < 16 ? fontColours[i].first : "Automatic",
                           [this, i] { setFontColour(i); });
    connect(edit, &QMenu::aboutToShow, this, [this, formatting] {
        editAction_->setEnabled(openText_ != 0);
        editAction_->setChecked(editMode());
        const QTextCharFormat f = browser_->edit()->currentCharFormat();
        const bool has[] = {f.fontWeight() >= QFont::Bold, f.fontItalic(), f.fontUnderline()};
        for (std::size_t i = 0; i < formatting.size(); ++i) {
            formatting[i]->setEnabled(editMode());
            if (i < std::size(has)) formatting[i]->setChecked(has[i]);
        }
    });

    QMenu* windows = menuBar()->addMenu("&Window");
    const std::pair<int, const char*> items[] = {
        {ViewBit::DocumentSystem, "&Document System"},
        {ViewBit::TextBrowser, "&Text Browser"},
        {ViewBit::RetrievedSegments, "&Retrieved  Segments"},
        {ViewBit::CodeSystem, "&Code System"}};
    for (std::size_t i = 0; i < 4; ++i) {
        const int bit = items[i].first;
        toggles_[i] = windows->addAction(items[i].second, [this, bit] { toggleView(bit); });
        toggles_[i]->setCheckable(true);
        toggles_[i]->setData(bit);
    }
    updateChecks();
}

void CMainFrame::updateRecentMenu() {
    for (int i = 0; i < 5; ++i)
        recentItems_[static_cast<std::size_t>(i)]->setText(q(doc_.recent().menuText(i + 1)));
}

void CMainFrame::updateChecks() {
    for (QAction* a : toggles_)
        if (a) a->setChecked(viewState_ & a->data().toInt());
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
    updateChecks();
}

bool CMainFrame::editMode() const {
    return browser_->editMode();
}

bool CMainFrame::setEditMode(bool on) {
    if (on) {
        if (!openText_) return false;
        browser_->setEditMode(true);
        editAction_->setChecked(true);
        return true;
    }
    if (!browser_->editMode()) return true;
    if (browser_->modified()) {
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
    editAction_->setChecked(false);
    refreshAll();
    return true;
}

void CMainFrame::setFontColour(int index) {
    if (!editMode() || index < 0 || index > 16) return;
    QTextEdit* edit = browser_->edit();
    if (index == 16) {
        // Automatic is no colour at all, so the text follows the reader's window colours.
        const QTextCursor selection = edit->textCursor();
        if (!selection.hasSelection()) {
            QTextCharFormat f = edit->currentCharFormat();
            f.clearForeground();
            edit->setCurrentCharFormat(f);
        }
        const int a = selection.selectionStart(), b = selection.selectionEnd();
        // Gathered first: changing formats splits and merges the fragments being walked.
        std::vector<std::tuple<int, int, QTextCharFormat>> pieces;
        for (QTextBlock block = edit->document()->findBlock(a);
             block.isValid() && block.position() < b; block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const int from = std::max(a, fragment.position());
                const int to = std::min(b, fragment.position() + fragment.length());
                if (from >= to) continue;
                QTextCharFormat f = fragment.charFormat();
                f.clearForeground();
                pieces.emplace_back(from, to, f);
            }
        QTextCursor k(edit->document());
        k.beginEditBlock();
        for (const auto& [from, to, f] : pieces) {
            k.setPosition(from);
            k.setPosition(to, QTextCursor::KeepAnchor);
            k.setCharFormat(f);
        }
        k.endEditBlock();
    } else {
        QTextCharFormat f;
        f.setForeground(QColor::fromRgb(fontColours[index].second));
        edit->mergeCurrentCharFormat(f);
    }
    // White letters need a grey ground to be seen.
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, index == 15 ? QColor(200, 200, 200) : QColor(Qt::white));
    edit->setPalette(p);
}

void CMainFrame::openText(std::int32_t text) {
    TopicStore& s = doc_.store();
    if (!s.GetTopic(TopicId::Texts)->contains(text)) return;
    if (!setEditMode(false)) return;
    openText_ = text;
    browser_->show(s, text);
}

void CMainFrame::refreshAll() {
    // The open text's stripes follow its codings; text being edited stays as it is.
    if (browser_->editMode() && doc_.store().GetTopic(TopicId::Texts)->contains(openText_)) {
    } else if (openText_ && doc_.store().GetTopic(TopicId::Texts)->contains(openText_)) {
        const int scroll = browser_->edit()->verticalScrollBar()->value();
        const QTextCursor keep = browser_->edit()->textCursor();
        browser_->show(doc_.store(), openText_);
        browser_->edit()->setTextCursor(keep);
        browser_->edit()->verticalScrollBar()->setValue(scroll);
    } else if (openText_) {
        openText_ = 0;
        browser_->clear();
    }
    documents_->fill(doc_.store(), ws_);
    codes_->fill(doc_.store(), ws_);
    showRetrieved();
    setWindowTitle(q(doc_.title().empty() ? "VEXANA" : "VEXANA - " + doc_.title()));
    dirty_ = false;
}

void CMainFrame::showRetrieved() {
    segments_->fill(doc_.store(), ws_.retrieved);
}

void CMainFrame::onViewEvent(ViewEvent, int, std::int32_t) {
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
    segments_->edit()->clear();
}

void CMainFrame::saveSettings() {
    readSplitters();
    settings_.setMainWindow(buttonState_, viewState_, oldViewState_, splitters_, toolbars_);
    settings_.setRecentProjects(doc_.recent().entries());
    settings_.setProgramOptions(retrieval_.ProgramOptions());
    settings_.save();
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
