#pragma once

#include "store/CVexDoc.h"
#include "store/UserInterface.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace vexana::analysis {
class Workspace;
}

namespace vexana::cli {

// Messages go to stderr; nothing is ever asked, since no one is there to answer.
class ConsoleUserInterface : public store::SilentUserInterface {
public:
    void message(const std::string& text, store::MessageIcon icon) override;
    int messages() const { return messages_; }
    // Stop messages shown by any command of this process: a failed write is one, so the
    // process never ends with success after one.
    static int stopsShown();

private:
    int messages_ = 0;
};

// One subcommand of vexana-cli.
class Command {
public:
    virtual ~Command() = default;
    virtual const char* name() const = 0;
    virtual const char* summary() const = 0;
    virtual std::string usage() const = 0;
    // Returns the exit status.
    virtual int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) = 0;

protected:
    // Wrong arguments: why, then the usage, on err; the exit status 2.
    int wrongArguments(std::ostream& err, const std::string& why) const;
};

std::vector<std::unique_ptr<Command>> allCommands();

std::unique_ptr<Command> makeNewCommand();
std::unique_ptr<Command> makeDemoCommand();
std::unique_ptr<Command> makeInfoCommand();
std::unique_ptr<Command> makeRtfToTextCommand();
std::unique_ptr<Command> makeImportCommand(bool preprocess);
std::unique_ptr<Command> makeTextsCommand();
std::unique_ptr<Command> makeTextCommand();
std::unique_ptr<Command> makeCodesCommand();
std::unique_ptr<Command> makeCodeCommand();
std::unique_ptr<Command> makeUncodeCommand();
std::unique_ptr<Command> makeSetCommand();
std::unique_ptr<Command> makeCodingsCommand();
std::unique_ptr<Command> makeRetrieveCommand();
std::unique_ptr<Command> makeVariablesCommand();
std::unique_ptr<Command> makeVariableCommand();
std::unique_ptr<Command> makeValueCommand();
std::unique_ptr<Command> makeVariablesExportCommand();
std::unique_ptr<Command> makeVariablesImportCommand();
std::unique_ptr<Command> makeActivateCommand();
std::unique_ptr<Command> makeListCommand();
std::unique_ptr<Command> makeSearchCommand();
std::unique_ptr<Command> makeSearchCodeCommand();
std::unique_ptr<Command> makeSearchExportCommand();
std::unique_ptr<Command> makeMemoNewCommand();
std::unique_ptr<Command> makeMemosCommand();
std::unique_ptr<Command> makeMemoCommand();
std::unique_ptr<Command> makeMemoDeleteCommand();
std::unique_ptr<Command> makeWordsCommand();
std::unique_ptr<Command> makeStopListCommand();
std::unique_ptr<Command> makeDictionaryCommand();
std::unique_ptr<Command> makeCoderCommand();
std::unique_ptr<Command> makeMatrixCommand();
std::unique_ptr<Command> makeExportCommand();
std::unique_ptr<Command> makeProjectInfoCommand();
std::unique_ptr<Command> makeArchiveListCommand();
std::unique_ptr<Command> makeArchiveImportCommand();
std::unique_ptr<Command> makeMergeCommand();
// 0 exchange-export, 1 exchange-import, 2 codesystem-export, 3 codesystem-import.
std::unique_ptr<Command> makeExchangeCommands(int which);
std::unique_ptr<Command> makeRefiExportCommand();
std::unique_ptr<Command> makeRefiImportCommand();
std::unique_ptr<Command> makeQdcExportCommand();
std::unique_ptr<Command> makeQdcImportCommand();

// Opens an existing project through the document; prints the reason to err and returns
// false when it cannot.
bool openExisting(store::CVexDoc& doc, const std::string& path, std::ostream& err);

// A project opened with its workspace, for the commands that work on one.
struct WorkspaceSession {
    WorkspaceSession();
    ~WorkspaceSession();
    ConsoleUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc{ui, recent};
    std::unique_ptr<analysis::Workspace> ws;

    bool open(const std::string& path, std::ostream& err);
    // A write failed (and was reported with its cause): the command's own reading of the
    // failure would be wrong.
    bool writeFailed() const;

private:
    int failuresAtOpen_ = 0;
};

bool wantsHelp(const std::vector<std::string>& args);

// The one text of that full name, or 0 with `why` saying there is none or that the name
// stands for several (a merge may make two of one name): the command must not guess.
std::int32_t findText(analysis::Workspace& ws, const std::string& name, std::string& why);

// A value as one cell of a tab-separated row: tabs and line ends become blanks.
std::string cell(std::string s);

// Handles --help and a wrong number of positional arguments (count, or at least count with
// orMore): returns the exit status to end with, or -1 to go on.
int checkArguments(const Command& command, const std::vector<std::string>& args, std::size_t count,
                   std::ostream& out, std::ostream& err, bool orMore = false);

} // namespace vexana::cli
