// The main menu and the three toolbars: every item by its command id, and the rules that
// enable and check them.

#include "ActivationDialog.h"
#include "CBlackView.h"
#include "CBlauView.h"
#include "CGreenView.h"
#include "CWhiteView.h"
#include "CodeColour.h"
#include "CommandScope.h"
#include "CommandTable.h"
#include "DictionaryDialog.h"
#include "LexaCommands.h"
#include "MainFrame.h"
#include "QtText.h"
#include "StripeColumn.h"
#include "TextDocument.h"
#include "TextSearchCommands.h"
#include "analysis/CodingOperations.h"
#include "analysis/ContextCommands.h"
#include "analysis/DocumentSystem.h"
#include "analysis/MemoOperations.h"
#include "analysis/Retrieval.h"
#include "browser/ProjectExports.h"
#include "browser/SegmentsDocument.h"
#include "exchange/ArchiveImport.h"
#include "exchange/Teamwork.h"
#include "exchange/RefiExport.h"
#include "exchange/RefiImport.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "variables/VariableTable.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFontComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextFragment>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
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

// The character sets by command, with their font character-set numbers.
constexpr std::tuple<int, const char*, int> charSets[5] = {{33100, "Westeuropean", 0},
                                                           {33101, "Arabic", 178},
                                                           {33102, "Greek", 161},
                                                           {33103, "Hebrew", 177},
                                                           {33104, "Cyrillic", 204}};

constexpr std::pair<int, const char*> windowToggles[4] = {
    {ViewBit::DocumentSystem, "&Document System"},
    {ViewBit::TextBrowser, "&Text Browser"},
    {ViewBit::RetrievedSegments, "&Retrieved  Segments"},
    {ViewBit::CodeSystem, "&Code System"}};

int toggleId(int bit) {
    switch (bit) {
    case ViewBit::DocumentSystem:
        return 32770;
    case ViewBit::TextBrowser:
        return 32769;
    case ViewBit::RetrievedSegments:
        return 32771;
    default:
        return 32772;
    }
}

// Undo and Redo walk the history rather than add to it; the project commands replace the
// project and its history with it.
bool isUndoStep(int id) {
    return id != CommandId::Undo && id != CommandId::Redo && id != 32891 && id != 32783 &&
           !(id >= 33028 && id <= 33032) && id != 57665 && id != 33903;
}

// A history text for the menu: '&' marks the mnemonic, so those in names are doubled.
QString menuText(const std::string& text) {
    QString t = q(text);
    t.replace('&', "&&");
    return t.startsWith("Undo") || t.startsWith("Redo") ? "&" + t : t;
}

} // namespace

QAction* CMainFrame::addCommand(int id, const QString& text, std::function<void()> run,
                                bool checkable) {
    auto* a = new QAction(text, this);
    a->setData(id);
    a->setCheckable(checkable);
    if (isUndoStep(id))
        // Named as the menu shows it when it runs: some items change their text.
        connect(a, &QAction::triggered, this, [this, a, run = std::move(run)] {
            const CommandScope step(*steps_, CommandStack::nameOf(a->text()));
            run();
        });
    else
        connect(a, &QAction::triggered, this, [run = std::move(run)] { run(); });
    actions_[id] = a;
    return a;
}

QAction* CMainFrame::command(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::runCommand(int id) {
    updateCommands();
    QAction* a = command(id);
    if (!a || !a->isEnabled()) return false;
    a->trigger();
    return true;
}

void CMainFrame::buildMenus() {
    QMenu* project = menuBar()->addMenu("&Project");
    // An edited text is saved before the project changes hands; when it cannot be, nothing
    // else happens and the edits stay in the window.
    const auto saved = [this](std::function<void()> then) {
        return [this, then = std::move(then)] {
            if (setEditMode(false)) then();
        };
    };
    project->addAction(
        addCommand(32891, "&New Project...", saved([this] { doc_.OnNewProject(); })));
    project->addAction(
        addCommand(32783, "&Open Project...", saved([this] { doc_.OnOpenProject(); })));
    project->addAction(
        addCommand(32892, "&Backup Project...", saved([this] { doc_.OnBackupProject(); })));
    project->addAction(addCommand(32923, "&Import PREVEX 98 Archive",
                                  saved([this] { exchange::ArchiveImport::Command(doc_); })));
    project->addAction(addCommand(32977, "&Merge Projects...",
                                  saved([this] { exchange::Teamwork(ws_).MergeCommand(); })));
    QMenu* exports = project->addMenu("&Export");
    exports->addAction(addCommand(33019, "&Document System", [this] {
        exportRtf([this] { return browser::documentSystemExport(doc_.store()).toRtf(); });
    }));
    exports->addAction(addCommand(33020, "&Code System", [this] {
        exportRtf([this] { return browser::codeSystemExport(doc_.store()).toRtf(); });
    }));
    exports->addAction(addCommand(33021, "&Text Browser", [this] {
        exportRtf([this] { return richTextOf(*browser_->edit()->document()).toRtf(); });
    }));
    exports->addAction(addCommand(33022, "&Retrieved Segments", [this] {
        exportRtf([this] { return browser::segmentsExport(doc_.store(), ws_.retrieved).toRtf(); });
    }));
    exports->addAction(addCommand(33023, "Matrix of Code&frequency",
                                  [this] { browser::codeMatrixCommand(doc_.store(), ws_.ui()); }));
    buildPrintMenu(project);
    exports->addAction(addCommand(33901, "REFI-QDA &Project...",
                                  [this] { exchange::RefiExport(ws_).ExportProjectCommand(); }));
    exports->addAction(addCommand(33902, "REFI-QDA &Codebook...",
                                  [this] { exchange::RefiExport(ws_).ExportCodebookCommand(); }));
    QMenu* imports = project->addMenu("&Import");
    imports->addAction(addCommand(33903, "REFI-QDA &Project...", saved([this] {
                                      if (const std::string made =
                                              exchange::ImportRefiProjectCommand(doc_.ui());
                                          !made.empty())
                                          doc_.OpenPath(made, true);
                                  })));
    imports->addAction(addCommand(33904, "REFI-QDA &Codebook...",
                                  [this] { exchange::ImportCodebookCommand(ws_); }));
    project->addSeparator();
    for (int i = 0; i < 5; ++i)
        project->addAction(
            addCommand(33028 + i, "", saved([this, i] { doc_.OnRecentProject(i + 1); })));
    project->addSeparator();
    project->addAction(addCommand(57665, "E&xit VEX", [this] { close(); }));

    QMenu* edit = menuBar()->addMenu("&Edit");
    QAction* undo = addCommand(CommandId::Undo, "&Undo", [this] { undoLast(); });
    undo->setShortcuts(QKeySequence::Undo);
    edit->addAction(undo);
    QAction* redo = addCommand(CommandId::Redo, "&Redo", [this] { redoLast(); });
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
    redo->setShortcuts(redoKeys);
    edit->addAction(redo);
    edit->addSeparator();
    edit->addAction(addCommand(57635, "Cu&t", [this] { browser_->edit()->cut(); }));
    edit->addAction(addCommand(57634, "&Copy", [this] { browser_->edit()->copy(); }));
    edit->addAction(addCommand(57637, "&Paste", [this] { browser_->edit()->paste(); }));
    edit->addSeparator();
    edit->addAction(addCommand(
        32906, "Edit Mode on/off", [this] { setEditMode(!editMode()); }, true));
    edit->addSeparator();
    // Effects toggle on the selection, as the selection's first character has them.
    const std::tuple<int, const char*, const char*, void (*)(QTextCharFormat&, bool)> effects[] = {
        {32799, "Bold", "B",
         [](QTextCharFormat& f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); }},
        {32800, "Italics", "I", [](QTextCharFormat& f, bool on) { f.setFontItalic(on); }},
        {32802, "Underline", "U", [](QTextCharFormat& f, bool on) { f.setFontUnderline(on); }}};
    for (const auto& [id, text, short_, apply] : effects) {
        const int command_ = id;
        auto* set = apply;
        QAction* a = addCommand(
            id, text,
            [this, command_, set] {
                QTextCharFormat f;
                set(f, command(command_)->isChecked());
                browser_->edit()->mergeCurrentCharFormat(f);
            },
            true);
        a->setIconText(short_);
        edit->addAction(a);
    }
    auto* colours = new QMenu("Font Color", this);
    for (int i = 0; i <= 16; ++i)
        colours->addAction(addCommand(3000 + i, i < 16 ? fontColours[i].first : "Automatic",
                                      [this, i] { setFontColour(i); }));
    QAction* colour = colours->menuAction();
    colour->setData(32773);
    actions_[32773] = colour;
    edit->addMenu(colours);
    edit->addSeparator();
    QMenu* sets = edit->addMenu("Character Set");
    for (const auto& [id, text, code] : charSets) {
        const int c = code;
        sets->addAction(addCommand(
            id, text, [this, c] { setCharSet(c); }, true));
    }

    QMenu* coding = menuBar()->addMenu("C&oding");
    coding->addAction(addCommand(32905, "&Code", [this] { codeSelection(); }));
    coding->addAction(addCommand(32904, "&In-Vivo", [this] { inVivo(); }));
    auto* uncode = new QMenu("&Undo Code", this);
    connect(uncode, &QMenu::aboutToShow, this, [this, uncode] { fillUndoMenu(uncode); });
    actions_[32907] = uncode->menuAction();
    uncode->menuAction()->setData(32907);
    coding->addMenu(uncode);

    QMenu* analysis = menuBar()->addMenu("&Analysis");
    QMenu* functions = analysis->addMenu("?");
    for (const auto& c : analysis::commandsOf(analysis::ContextMenu::Analysis)) {
        const int id = c.id;
        QAction* a = addCommand(
            id, q(std::string(c.text)), [this, id] { contextCommand(id, 0); },
            id <= 20093 || (id >= 20095 && id <= 20098));
        (id <= 20093 ? functions : analysis)->addAction(a);
        if (id == 20094 || id == 20096 || id == 20098) analysis->addSeparator();
    }
    analysis->addAction(addCommand(32996, "Reset Activation", [this] {
        ws_.documents().Reset();
        ws_.BuildRetrieval();
    }));
    analysis->addSeparator();
    analysis->addAction(addCommand(32989, "&Frequency of Codes", [this] {
        const analysis::Overview o = retrieval_.FrequencyOfCodes();
        showList(o.topic, o.title, o.ids);
    }));
    analysis->addAction(addCommand(32911, "&Index of Coded Segments", [this] {
        const analysis::Overview o = retrieval_.IndexOfCodedSegments();
        showList(o.topic, o.title, o.ids);
    }));

    analysis->addAction(addCommand(32784, "&Memo Manager", [this] {
        const analysis::Overview o = analysis::MemoOperations(ws_).ManagerOverview();
        showList(o.topic, o.title, o.ids);
    }));
    analysis->addSeparator();
    QAction* find = addCommand(32910, "&Text Search", [this] {
        TextSearchCommands::of(this, ws_, settings_, steps_.get()).search();
    });
    find->setShortcuts(QKeySequence::Find);
    analysis->addAction(find);
    analysis->addAction(addCommand(32988, "Search &Results", [this] {
        TextSearchCommands::of(this, ws_, settings_, steps_.get()).showResults();
    }));

    QMenu* variables = menuBar()->addMenu("&Variables");
    variables->addAction(addCommand(32912, "&Edit", [this] {
        showList(TopicId::Texts, "all", doc_.store().ListIds(TopicId::Texts));
    }));
    variables->addAction(addCommand(32987, "&Import...", [this] {
        const CommandScope step(*steps_, "Import Variables");
        variables::VariableTable(doc_).ImportCommand();
    }));
    variables->addAction(addCommand(33053, "E&xport...",
                                    [this] { variables::VariableTable(doc_).ExportCommand(); }));
    variables->addSeparator();
    variables->addAction(addCommand(32999, "&Activation by Variables...",
                                    [this] { showActivationDialog(this, ws_, settings_); }));

    // Word analysis.
    QMenu* lexa = menuBar()->addMenu("VEX&Lexa");
    lexa->addAction(
        addCommand(33065, "Word Frequencies (&All Texts)", [this] { countWords(false); }));
    lexa->addAction(
        addCommand(33078, "Word Frequencies (A&ctivated Texts)", [this] { countWords(true); }));
    lexa->addAction(addCommand(33067, "&Last Frequencies ", [this] { showWordList(); }));
    lexa->addSeparator();
    lexa->addAction(addCommand(33072, "&Stop-List", [this] { lexa_->stopListDialog(); }));
    lexa->addAction(addCommand(
        33090, "&Only Dictionary Words", [this] { lexa_->toggleGoList(); }, true));
    lexa->addSeparator();
    lexa->addAction(addCommand(33084, "&Dictionary", [this] { lexa_->showDictionaryDialog(); }));
    lexa->addAction(addCommand(33096, "O&ptions", [this] { lexa_->optionsDialog(); }));
    lexa->addSeparator();
    lexa->addAction(
        addCommand(33098, "Last &Results of Coder", [this] { lexa_->showCoderResults(); }));

    QMenu* windows = menuBar()->addMenu("&Window");
    for (const auto& [bit, text] : windowToggles) {
        const int b = bit;
        windows->addAction(addCommand(
            toggleId(bit), text, [this, b] { toggleView(b); }, true));
    }
    windows->addSeparator();
    windows->addAction(addCommand(
        CommandId::TintPassages, "T&int Coded Passages",
        [this] { browser_->setTinted(command(CommandId::TintPassages)->isChecked()); }, true));
    QMenu* help = menuBar()->addMenu("&Help");
    const std::pair<int, const char*> manuals[] = {
        {33049, "vxintro.pdf"}, {33050, "vxmanual.pdf"}, {33051, "vxlexa.pdf"}};
    const char* manualTexts[] = {"&Introduction", "&Manual", "VEX&Lexa Manual"};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string file = manuals[i].second;
        help->addAction(addCommand(manuals[i].first, manualTexts[i], [this, file] {
            // The manuals lie beside the program; the system's viewer opens them.
            const std::string path = AppSettings::startupDirectory() + file;
            if (!platform::fileExists(path) ||
                !QDesktopServices::openUrl(QUrl::fromLocalFile(q(path))))
                ws_.ui().message("The manual " + file + " cannot be opened.", MessageIcon::Warning);
        }));
    }
    // What the table routes but no item carries yet is offered disabled, with the reason.
    for (QAction* a : addUnbuiltCommands(menuBar(), [this](int id) { return command(id); }))
        actions_[a->data().toInt()] = a;
    for (QMenu* m : {project, edit, coding, analysis, windows})
        connect(m, &QMenu::aboutToShow, this, [this] { updateCommands(); });
    // The keys a desktop user expects, shown beside the menu items. Copy and paste inside the
    // text are the editor's own; Ctrl+Z is Undo (see above).
    for (const auto& [id, key] : {std::pair{32891, QKeySequence(QKeySequence::New)},
                                  {32783, QKeySequence(QKeySequence::Open)},
                                  {57665, QKeySequence(QKeySequence::Quit)},
                                  {32906, QKeySequence(Qt::CTRL | Qt::Key_E)},
                                  {33050, QKeySequence(QKeySequence::HelpContents)}})
        command(id)->setShortcut(key);
}

void CMainFrame::buildToolbars() {
    const auto bar = [this](int n, const char* title) {
        QToolBar* t = addToolBar(title);
        t->setObjectName(QString("Toolbar%1").arg(n));
        t->setMovable(false);
        t->setToolButtonStyle(Qt::ToolButtonTextOnly);
        bars_[static_cast<std::size_t>(n - 1)] = t;
        return t;
    };
    QToolBar* first = bar(1, "Project");
    for (int id : {32891, 32783, 32892})
        first->addAction(command(id));
    first->addSeparator();
    command(32891)->setIconText("New");
    command(32783)->setIconText("Open");
    command(32892)->setIconText("Backup");
    const char* shortNames[4] = {"Docs", "Text", "Segments", "Codes"};
    for (std::size_t i = 0; i < 4; ++i) {
        QAction* a = command(toggleId(windowToggles[i].first));
        a->setIconText(shortNames[i]);
        first->addAction(a);
    }

    QToolBar* second = bar(2, "Coding");
    quickList_ = new QComboBox;
    quickList_->setObjectName("QuickList");
    quickList_->setMinimumContentsLength(14);
    quickList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    quickList_->setToolTip("Quick-List");
    connect(quickList_, &QComboBox::activated, this, [this](int i) {
        const auto& codes = ws_.quickList.codes();
        if (i >= 0 && static_cast<std::size_t>(i) < codes.size()) ws_.quickList.use(codes[i]);
        updateQuickList();
        updateCommands();
    });
    second->addWidget(quickList_);
    for (int id : {32905, 32904, 32907})
        second->addAction(command(id));
    command(32907)->setIconText("Undo");
    if (auto* b = qobject_cast<QToolButton*>(second->widgetForAction(command(32907))))
        b->setPopupMode(QToolButton::InstantPopup);
    second->addSeparator();
    second->addAction(command(32996));
    command(32996)->setIconText("Reset");

    addToolBarBreak();
    QToolBar* third = bar(3, "Format");
    third->addAction(command(32906));
    command(32906)->setIconText("Edit");
    fontFace_ = new QFontComboBox;
    fontFace_->setObjectName("FontFace");
    fontFace_->setMaximumWidth(150);
    connect(fontFace_, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
        QTextCharFormat f;
        f.setFontFamilies({font.family()});
        applyCharFormat(f);
    });
    third->addWidget(fontFace_);
    fontSize_ = new QComboBox;
    fontSize_->setObjectName("FontSize");
    fontSize_->setEditable(true);
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
        fontSize_->addItem(QString::number(size));
    fontSize_->setValidator(new QIntValidator(1, 1638, fontSize_));
    connect(fontSize_, &QComboBox::textActivated, this, [this](const QString& text) {
        const int size = text.toInt();
        if (size <= 0) return;
        QTextCharFormat f;
        f.setFontPointSize(size);
        applyCharFormat(f);
    });
    third->addWidget(fontSize_);
    for (int id : {32799, 32800, 32802, 32773})
        third->addAction(command(id));
    command(32773)->setIconText("Color");
    if (auto* b = qobject_cast<QToolButton*>(third->widgetForAction(command(32773))))
        b->setPopupMode(QToolButton::InstantPopup);
    third->addSeparator();
    for (int id : {57635, 57634, 57637})
        third->addAction(command(id));

    // A stored width holds a bar open, but never wider than its buttons need.
    for (std::size_t i = 0; i < 3; ++i)
        bars_[i]->setMinimumWidth(std::min(toolbars_[i], bars_[i]->sizeHint().width()));

    QTextEdit* text = browser_->edit();
    connect(text, &QTextEdit::selectionChanged, this, [this] { updateCommands(); });
    connect(text, &QTextEdit::cursorPositionChanged, this, [this] { updateCommands(); });
    connect(text->document(), &QTextDocument::undoAvailable, this, [this] { updateCommands(); });
    connect(text->document(), &QTextDocument::redoAvailable, this, [this] { updateCommands(); });
}

void CMainFrame::applyCharFormat(const QTextCharFormat& f) {
    if (editMode()) browser_->edit()->mergeCurrentCharFormat(f);
}

void CMainFrame::fillUndoMenu(QMenu* menu) {
    menu->clear();
    const auto batches = ws_.codings().UndoBatches();
    for (std::size_t k = 0; k < batches.size(); ++k)
        menu->addAction(q(batches[k].codeName) + "\t" + QString::number(batches[k].count),
                        [this, k] { confirmUndoBatch(static_cast<int>(k)); });
}

void CMainFrame::updateQuickList() {
    if (!quickList_) return;
    quickList_->clear();
    for (std::int32_t code : ws_.quickList.codes())
        quickList_->addItem(q(doc_.store().GetName(TopicId::Codes, code, true)), code);
    quickList_->setCurrentIndex(quickList_->count() ? 0 : -1);
}

void CMainFrame::setCharSet(int code) {
    doc_.setCharSet(code);
    if (!doc_.SaveOptions())
        ws_.ui().message("The character set could not be saved.", MessageIcon::Stop);
    updateCommands();
}

void CMainFrame::exportRtf(const std::function<std::string()>& make) {
    const std::string path = ws_.ui().chooseFile(FileDialog::ExportRtf);
    if (path.empty()) return;
    const std::string error = browser::writeExportFile(path, make());
    if (!error.empty()) ws_.ui().message(error, MessageIcon::Stop);
}

void CMainFrame::undoLast() {
    // While editing, the editor's own changes are what Undo takes back; the project's history
    // gets the edit as one step when edit mode ends.
    if (editMode())
        browser_->edit()->undo();
    else
        doc_.Undo();
    updateCommands();
}

void CMainFrame::redoLast() {
    if (editMode())
        browser_->edit()->redo();
    else
        doc_.Redo();
    updateCommands();
}

void CMainFrame::countWords(bool onlyActive) {
    lexa_->countWords(onlyActive);
    updateCommands();
}

void CMainFrame::showWordList() {
    lexa_->showWordList();
}

void CMainFrame::updateCommands() {
    const bool open = doc_.isOpen();
    QTextEdit* text = browser_->edit();
    const bool shown = (viewState_ & ViewBit::TextBrowser) != 0;
    const bool editing = editMode();
    const bool selected = openText_ && text->textCursor().hasSelection();
    command(32892)->setEnabled(open);
    command(32977)->setEnabled(open && !readOnly());
    command(33021)->setEnabled(open && openText_ != 0);
    command(33022)->setEnabled(open);
    // The windows these write are kept while their panes are off: they always exist.
    for (int id : {33019, 33020, 33023})
        command(id)->setEnabled(open);
    updatePrintCommands();
    for (int id : {33901, 33902, 33904})
        command(id)->setEnabled(open);
    for (int i = 0; i < 5; ++i) {
        // The menu text always holds its number; only an item with a path is shown.
        command(33028 + i)->setText(q(doc_.recent().menuText(i + 1)));
        command(33028 + i)->setVisible(!doc_.recent().pathForItem(i + 1).empty());
    }
    command(57634)->setEnabled(shown && selected);
    command(57635)->setEnabled(shown && editing && selected);
    command(57637)->setEnabled(shown && editing);
    if (editing) {
        const QTextDocument* d = text->document();
        command(CommandId::Undo)->setText(d->isUndoAvailable() ? "&Undo Typing" : "&Undo");
        command(CommandId::Undo)->setEnabled(d->isUndoAvailable());
        command(CommandId::Redo)->setText(d->isRedoAvailable() ? "&Redo Typing" : "&Redo");
        command(CommandId::Redo)->setEnabled(d->isRedoAvailable());
    } else {
        command(CommandId::Undo)->setText(menuText(doc_.undoText()));
        command(CommandId::Undo)->setEnabled(doc_.canUndo());
        command(CommandId::Redo)->setText(menuText(doc_.redoText()));
        command(CommandId::Redo)->setEnabled(doc_.canRedo());
    }
    // Every change of a read-only project would be refused, an edited text too.
    command(32906)->setEnabled(openText_ != 0 && (editing || !readOnly()));
    command(32906)->setChecked(editing);
    const QTextCharFormat f = text->currentCharFormat();
    const bool has[] = {f.fontWeight() >= QFont::Bold, f.fontItalic(), f.fontUnderline()};
    const int effects[] = {32799, 32800, 32802};
    for (std::size_t i = 0; i < 3; ++i) {
        command(effects[i])->setEnabled(editing);
        command(effects[i])->setChecked(has[i]);
    }
    command(32773)->setEnabled(editing);
    for (int i = 0; i <= 16; ++i)
        command(3000 + i)->setEnabled(editing);
    fontFace_->setEnabled(editing);
    fontSize_->setEnabled(editing);
    {
        // Showing the format under the cursor is no request to change it.
        const QSignalBlocker a(fontFace_), b(fontSize_);
        const QStringList families = f.fontFamilies().toStringList();
        if (!families.isEmpty()) fontFace_->setCurrentFont(QFont(families.front()));
        if (f.fontPointSize() > 0) fontSize_->setEditText(QString::number(f.fontPointSize()));
    }
    for (const auto& [id, name, code] : charSets) {
        command(id)->setEnabled(open);
        command(id)->setChecked(doc_.charSet() == code);
    }
    command(32905)->setEnabled(selected && !editing && ws_.quickList.current() != 0);
    command(32904)->setEnabled(selected && !editing);
    command(32907)->setEnabled(open && undoAvailable_);
    quickList_->setEnabled(open);
    const analysis::RetrievalOptions& o = ws_.options;
    for (const auto& c : analysis::commandsOf(analysis::ContextMenu::Analysis)) {
        QAction* a = command(c.id);
        a->setEnabled(open && commands_->Enabled(c.id));
        if (c.id <= 20093) a->setChecked(retrieval_.settings.function == c.id - 20084);
    }
    command(20095)->setChecked(o.orderByTextTree);
    command(20096)->setChecked(!o.orderByTextTree);
    command(20097)->setChecked(o.includeSubcodes);
    command(20098)->setChecked(o.useWeightFilter);
    command(32996)->setEnabled(open);
    for (int id : {32989, 32911, 32912, 33053})
        command(id)->setEnabled(open);
    command(32987)->setEnabled(open && !readOnly());
    command(32999)->setEnabled(open);
    command(32910)->setEnabled(open);
    command(32784)->setEnabled(open);
    command(33065)->setEnabled(open);
    command(33078)->setEnabled(open);
    command(33067)->setEnabled(open && lexa_->hasCount());
    command(33072)->setEnabled(true);
    command(33090)->setChecked(lexa_->goList());
    command(33084)->setEnabled(open);
    command(33096)->setEnabled(true);
    command(33098)->setEnabled(open && lexa_->hasCoderResults());
    command(32988)->setEnabled(open && TextSearchCommands::resultsEnabled(ws_));
    for (const auto& [bit, name] : windowToggles)
        command(toggleId(bit))->setChecked(viewState_ & bit);
    command(CommandId::TintPassages)->setChecked(browser_->tinted());
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

void CMainFrame::showBrowserMenu(const QPoint& at) {
    updateCommands();
    QMenu menu(this);
    menu.addAction(command(32905));
    menu.addAction(command(32904));
    QMenu* undo = menu.addMenu("Undo Code");
    fillUndoMenu(undo);
    undo->setEnabled(!undo->isEmpty());
    menu.addSeparator();
    menu.addAction(command(57634));
    menu.exec(browser_->edit()->viewport()->mapToGlobal(at));
}

} // namespace vexana::shell
