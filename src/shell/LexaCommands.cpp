#include "LexaCommands.h"

#include "CoderDialog.h"
#include "DictionaryDialog.h"
#include "LexaOptionsDialog.h"
#include "ListGridView.h"
#include "ObjList.h"
#include "ObjListWindows.h"
#include "QtUserInterface.h"
#include "StopListDialog.h"
#include "TextSearchCommands.h"
#include "analysis/ContextCommands.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "wordanalysis/Dictionary.h"
#include "wordanalysis/DictionaryCoder.h"
#include "wordanalysis/WordFrequencies.h"

#include <QMenu>

namespace vexana::shell {

using namespace store;

namespace {

constexpr int wordField = 2; // "Word" of the word list

} // namespace

LexaCommands::LexaCommands(QWidget* mainWindow, analysis::Workspace& ws, AppSettings& settings,
                           CommandStack* commands)
    : QObject(mainWindow), mainWindow_(mainWindow), ws_(ws), settings_(settings),
      commands_(commands), words_(std::make_unique<wordanalysis::WordFrequencies>(ws)),
      dictionary_(std::make_unique<wordanalysis::Dictionary>(ws.store())) {
    setObjectName("lexaCommands");
    words_->options = wordanalysis::WordOptions::fromSettings(settings_);
    // The stop list beside the program's working folder, when there is one.
    const std::string path = AppSettings::stopListPath();
    if (platform::fileExists(path))
        words_->stopList().load(path, browser::WordDelimiters(words_->options.delimiters),
                                ws_.ui());
    ws_.doc().addView(this);
    if (ws_.doc().isOpen()) openDictionary();
}

LexaCommands::~LexaCommands() {
    ws_.doc().removeView(this);
}

// --- the project's dictionary -----------------------------------------------------------

void LexaCommands::openDictionary() {
    // Every project comes with a store of its own.
    if (dictionaryDialog_) delete dictionaryDialog_.data();
    dictionary_ = std::make_unique<wordanalysis::Dictionary>(ws_.store());
    std::string why = dictionary_->open(settings_.dictionaryPath());
    if (why.empty()) why = dictionary_->warning();
    if (!why.empty()) ws_.ui().message(why, MessageIcon::Warning);
}

void LexaCommands::onProjectLoaded(bool) {
    openDictionary();
}

void LexaCommands::onContentsReplaced() {
    // Undo and redo leave the dictionary as it is; only its window may need to follow.
    if (dictionaryDialog_) dictionaryDialog_->reload();
}

void LexaCommands::onProjectClosed() {
    if (dictionaryDialog_) {
        dictionaryDialog_->close();
        delete dictionaryDialog_.data(); // it holds the dictionary, which goes with the store
    }
    if (const std::string why = dictionary_->writeBack(); !why.empty())
        ws_.ui().message(why, MessageIcon::Stop);
    // The count and the results belonged to the project; the stop list and options stay.
    auto fresh = std::make_unique<wordanalysis::WordFrequencies>(ws_);
    fresh->options = words_->options;
    fresh->stopList() = std::move(words_->stopList());
    words_ = std::move(fresh);
    coderRan_ = false;
}

// --- word frequencies ---------------------------------------------------------------------

void LexaCommands::countWords(bool onlyActive) {
    if (!ws_.doc().isOpen()) return;
    if (words_->options.goList)
        words_->setDictionaryWords(wordanalysis::dictionaryWords(*dictionary_));
    if (words_->CountWords(onlyActive)) showWordList();
}

bool LexaCommands::hasCount() const {
    return ws_.doc().isOpen() && words_->hasCount();
}

ObjList* LexaCommands::showWordList() {
    if (!hasCount()) return nullptr;
    ObjList* list = showObjectList(mainWindow_, ws_.doc(), settings_, TopicId::WordFrequencies,
                                   words_->title(), ws_.store().ListIds(TopicId::WordFrequencies));
    if (list) prepareWordList(*list);
    return list;
}

void LexaCommands::prepareWordList(ObjList& list) {
    ListGridView* view = list.view();
    if (view->contextMenuPolicy() == Qt::CustomContextMenu) return; // prepared already
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, &list, [this, view](const QPoint& at) {
        QMenu menu(view);
        // In the order of the word list's menu "QntWord".
        for (int id : {20104, 20101, 20102}) {
            const analysis::ContextCommand* c = analysis::findContextCommand(id);
            QAction* a = menu.addAction(QString::fromStdString(std::string(c->text)));
            a->setEnabled(!selectedWords().empty() && (id != 20101 || dictionaryDialog_));
            connect(a, &QAction::triggered, this, [this, id] {
                if (runContextCommand)
                    runContextCommand(id);
                else
                    contextCommand(id, 0, 0);
            });
        }
        menu.exec(view->viewport()->mapToGlobal(at));
    });
}

std::vector<std::int32_t> LexaCommands::selectedWords() const {
    auto* windows =
        mainWindow_->findChild<ObjListWindows*>("objListWindows", Qt::FindDirectChildrenOnly);
    ObjList* list = windows ? windows->window(TopicId::WordFrequencies) : nullptr;
    return list ? list->selectedIds() : std::vector<std::int32_t>{};
}

std::vector<std::string> LexaCommands::wordsOf(const std::vector<std::int32_t>& records) const {
    std::vector<std::string> out;
    for (std::int32_t id : records)
        if (ws_.store().GetTopic(TopicId::WordFrequencies)->contains(id))
            out.push_back(ws_.store().GetText(TopicId::WordFrequencies, id, wordField));
    return out;
}

bool LexaCommands::contextCommand(int command, int kind, std::int32_t object) {
    switch (command) {
    case 20101:
        return addToDictionary(selectedWords());
    case 20102:
        return addToStopList(selectedWords()) > 0;
    case 20103:
        return runCoder(kind, object);
    case 20104:
        return createIndex(selectedWords());
    default:
        return false;
    }
}

int LexaCommands::addToStopList(const std::vector<std::int32_t>& records) {
    const int added = words_->AddToStopList(records, AppSettings::stopListPath());
    for (std::int32_t id : records)
        ws_.doc().notify(ViewEvent::Changed, TopicId::WordFrequencies, id);
    return added;
}

bool LexaCommands::addToDictionary(const std::vector<std::int32_t>& records) {
    if (!dictionaryDialog_) {
        ws_.ui().message("Open the Dictionary to add words to it.", MessageIcon::Information);
        return false;
    }
    return dictionaryDialog_->addWords(wordsOf(records));
}

bool LexaCommands::createIndex(const std::vector<std::int32_t>& records) {
    browser::SearchSettings search;
    search.strings = wordsOf(records);
    search.caseSensitive = words_->options.caseSensitive;
    if (search.strings.empty()) return false;
    if (const std::string why = search.refusal(); !why.empty()) {
        ws_.ui().message(why, MessageIcon::Warning);
        return false;
    }
    TextSearchCommands::of(mainWindow_, ws_, settings_, commands_).run(search);
    return true;
}

// --- dialogs ------------------------------------------------------------------------------

void LexaCommands::stopListDialog() {
    const browser::WordDelimiters delimiters(words_->options.delimiters);
    StopListDialog dialog(words_->stopList(), delimiters, settings_, ws_.ui(),
                          AppSettings::stopListPath(), mainWindow_);
    dialog.exec();
}

void LexaCommands::toggleGoList() {
    words_->options.goList = !words_->options.goList;
    words_->options.store(settings_);
}

bool LexaCommands::goList() const {
    return words_->options.goList;
}

DictionaryDialog* LexaCommands::showDictionaryDialog() {
    if (!ws_.doc().isOpen()) return nullptr;
    if (!dictionaryDialog_) {
        dictionaryDialog_ = new DictionaryDialog(*dictionary_, settings_, ws_.ui(), mainWindow_);
        dictionaryDialog_->setAttribute(Qt::WA_DeleteOnClose);
    }
    dictionaryDialog_->show();
    dictionaryDialog_->raise();
    dictionaryDialog_->activateWindow();
    return dictionaryDialog_;
}

DictionaryDialog* LexaCommands::dictionaryDialog() const {
    return dictionaryDialog_.data();
}

void LexaCommands::optionsDialog() {
    LexaOptionsDialog dialog(words_->options, settings_, ws_.ui(), mainWindow_);
    dialog.exec();
}

// --- the coder ----------------------------------------------------------------------------

bool LexaCommands::runCoder(int kind, std::int32_t object) {
    if (!ws_.doc().isOpen() || kind < TopicId::GroupsRoot || kind > TopicId::TextLinks)
        return false;
    // The Document System's kinds are numbered as the activation scopes.
    const std::vector<std::int32_t> texts = wordanalysis::DictionaryCoder::textsOf(
        ws_.store(), static_cast<analysis::ActivationScope>(kind), object);
    if (texts.empty()) {
        ws_.ui().message("There are no texts to code here.", MessageIcon::Information);
        return false;
    }
    wordanalysis::DictionaryCoder coder(ws_, *dictionary_,
                                        browser::WordDelimiters(words_->options.delimiters));
    CoderDialog dialog(ws_.store(), coder.storedCodes(), coder.storedLevel(), mainWindow_);
    if (!(execCoder ? execCoder(dialog) : dialog.exec() == QDialog::Accepted)) return false;
    wordanalysis::CoderOptions options = wordanalysis::CoderOptions::fromSettings(settings_);
    options.level = dialog.level();
    options.codes = dialog.codes();
    if (settings_.qntFlag("Validate") && options.documentation.empty()) {
        // No path was chosen yet: asked for once, proposed in the documents folder.
        if (auto* qt = dynamic_cast<QtUserInterface*>(&ws_.ui()))
            qt->setStartFolder(defaultDocumentationPath());
        options.documentation = ws_.ui().chooseFile(FileDialog::SaveDocumentation);
        if (!options.documentation.empty())
            settings_.profile().writeString("QNT", "ValidateDir", options.documentation);
    }
    const wordanalysis::CoderOutcome outcome = coder.run(texts, options);
    if (!outcome.ok) {
        ws_.ui().message(outcome.error, MessageIcon::Stop);
        return false;
    }
    coderRan_ = true;
    if (!outcome.error.empty()) ws_.ui().message(outcome.error, MessageIcon::Warning);
    showCoderResults();
    return true;
}

ObjList* LexaCommands::showCoderResults() {
    if (!ws_.doc().isOpen() || !coderRan_) return nullptr;
    return showObjectList(mainWindow_, ws_.doc(), settings_, TopicId::CoderResults, "",
                          ws_.store().ListIds(TopicId::CoderResults));
}

} // namespace vexana::shell
