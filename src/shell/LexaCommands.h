#pragma once

#include "store/AppSettings.h"
#include "store/ViewListener.h"

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace vexana::analysis {
class Workspace;
}
namespace vexana::wordanalysis {
class Dictionary;
class WordFrequencies;
} // namespace vexana::wordanalysis

namespace vexana::shell {

class CoderDialog;
class CommandStack;
class DictionaryDialog;
class ObjList;

// The "VEXLexa" menu and the word list's own commands: word frequencies, the stop list, the
// dictionary of the open project (read when it opens, written back when it closes if it
// changed) and the dictionary coder. One per main window, as its child.
class LexaCommands : public QObject, public store::ViewListener {
    Q_OBJECT
public:
    LexaCommands(QWidget* mainWindow, analysis::Workspace& ws, store::AppSettings& settings,
                 CommandStack* commands);
    ~LexaCommands() override;

    wordanalysis::WordFrequencies& words() { return *words_; }
    wordanalysis::Dictionary& dictionary() { return *dictionary_; }

    // 33065, 33078 and 33067.
    void countWords(bool onlyActive);
    ObjList* showWordList();
    bool hasCount() const;
    // 33072, 33090, 33084, 33096.
    void stopListDialog();
    void toggleGoList();
    bool goList() const;
    DictionaryDialog* showDictionaryDialog();
    DictionaryDialog* dictionaryDialog() const;
    void optionsDialog();
    // 33098 "Last Results of Coder".
    ObjList* showCoderResults();
    bool hasCoderResults() const { return coderRan_; }

    // The context commands 20101 to 20104: the word list's selection, or the coder on the
    // object of that kind (a topic id of the Document System).
    bool contextCommand(int command, int kind, std::int32_t object);
    int addToStopList(const std::vector<std::int32_t>& records);
    bool addToDictionary(const std::vector<std::int32_t>& records);
    bool createIndex(const std::vector<std::int32_t>& records);
    bool runCoder(int kind, std::int32_t object);

    // How the coder dialog is answered; by default it is shown and waited for.
    std::function<bool(CoderDialog&)> execCoder;
    // Where the word list's menu sends its commands (the main window's one handler).
    std::function<bool(int command)> runContextCommand;

    void onViewEvent(store::ViewEvent, int, std::int32_t) override {}
    void onProjectLoaded(bool) override;
    void onContentsReplaced() override;
    void onProjectClosed() override;

private:
    void prepareWordList(ObjList& list);
    std::vector<std::int32_t> selectedWords() const;
    std::vector<std::string> wordsOf(const std::vector<std::int32_t>& records) const;
    void openDictionary();

    QWidget* mainWindow_;
    analysis::Workspace& ws_;
    store::AppSettings& settings_;
    CommandStack* commands_;
    std::unique_ptr<wordanalysis::WordFrequencies> words_;
    std::unique_ptr<wordanalysis::Dictionary> dictionary_;
    QPointer<DictionaryDialog> dictionaryDialog_;
    bool coderRan_ = false;
};

} // namespace vexana::shell
