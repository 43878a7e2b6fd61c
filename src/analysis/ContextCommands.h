#pragma once

#include "DocumentSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::analysis {

class Workspace;
class Retrieval;
struct FunctionDialogValues;

// The context menus by their resource numbers.
enum class ContextMenu {
    Text = 135,
    TextGroups = 143,
    TextGroup = 146,
    Sets = 147,
    Set = 148,
    Textlink = 149,
    CodeSystem = 150,
    Code = 151,
    Coding = 152,
    CodedSegments = 153,
    Memo = 154,
    MemoBar = 155,
    Analysis = 180,
    QntWord = 181,
};

struct ContextCommand {
    int id;
    ContextMenu menu;
    std::string_view text;
};

// Every context command, 20001 to 20104, in id order.
const std::vector<ContextCommand>& contextCommands();
std::vector<ContextCommand> commandsOf(ContextMenu menu);
const ContextCommand* findContextCommand(int id);

// What the window asks of the person for some commands, and what it shows afterwards.
struct ContextHost {
    std::function<bool(FunctionDialogValues&)> functionDialog;
    std::function<bool(int& low, int& high)> weightFilterDialog;
    std::function<void(const Overview&)> showOverview;
    std::function<void(std::int32_t text)> openText;
    std::function<void(std::int32_t code)> selectCode;
    // The Text Browser's selection, for "Code" on a code (20060).
    std::function<bool(struct CodingTemplate&)> selection;
    // Reads the chosen files into a group, as they are or through the preprocessor; gives the
    // number of texts made. The import lives above this library, so the window lends it.
    std::function<int(std::int32_t group, const std::vector<std::string>& files, bool preprocess)>
        importFiles;
    // The "Activation by Variables" dialog (its operations live above this library).
    std::function<void()> activationDialog;
    // The memo window on a memo; isNew when it was made for the window.
    std::function<void(std::int32_t memo, bool isNew)> openMemo;
    // Export and Import Teamwork on a text, Export and Import Code System (20027, 20028,
    // 20058, 20059): the exchange lives above this library, so the window lends it.
    std::function<bool(int id, std::int32_t object)> teamwork;
    // The text and position (the first character of the line) the memo bar was clicked at.
    std::function<bool(std::int32_t& text, std::int32_t& pos)> memoBarPlace;
    // The word analysis's commands (20101 to 20104): the word list's selection or the coder
    // on the clicked object; its windows live above this library.
    std::function<bool(int command, std::int32_t object)> wordAnalysis;
};

// The one handler of all context commands: it reads the object the menu was opened on.
class ContextCommands {
public:
    ContextCommands(Workspace& ws, Retrieval& retrieval, ContextHost host = {})
        : ws_(ws), retrieval_(retrieval), host_(std::move(host)) {}

    // Runs command id on the object (the record under the mouse; 0 on a root). Returns
    // false for an id that is not a context command, a command without its operation yet,
    // or one that changed nothing.
    bool Execute(int id, std::int32_t object);
    // Whether the operation behind an id exists in this program yet.
    static bool Available(int id);
    // Whether Execute can carry id out here, on object when given: it exists, this host lends
    // what it needs, and there is something to work on (a command that would do nothing is
    // offered disabled).
    bool Enabled(int id, std::int32_t object = 0) const;

private:
    // The file dialog of a text group's import, then the import as one step.
    bool importTexts(std::int32_t group, bool preprocess);

    Workspace& ws_;
    Retrieval& retrieval_;
    ContextHost host_;
};

} // namespace vexana::analysis
