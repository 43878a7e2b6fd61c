#include "Command.h"

#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "store/ProjectDatabase.h"

#include <iostream>

namespace vexana::cli {

namespace {
int stops = 0;
}

void ConsoleUserInterface::message(const std::string& text, store::MessageIcon icon) {
    ++messages_;
    if (icon == store::MessageIcon::Stop) ++stops;
    std::cerr << text << "\n";
}

int ConsoleUserInterface::stopsShown() {
    return stops;
}

int Command::wrongArguments(std::ostream& err, const std::string& why) const {
    err << why << "\n" << usage();
    return 2;
}

std::vector<std::unique_ptr<Command>> allCommands() {
    std::vector<std::unique_ptr<Command>> list;
    list.push_back(makeNewCommand());
    list.push_back(makeDemoCommand());
    list.push_back(makeInfoCommand());
    list.push_back(makeImportCommand(false));
    list.push_back(makeImportCommand(true));
    list.push_back(makeTextsCommand());
    list.push_back(makeTextCommand());
    list.push_back(makeCodesCommand());
    list.push_back(makeCodeCommand());
    list.push_back(makeUncodeCommand());
    list.push_back(makeSetCommand());
    list.push_back(makeCodingsCommand());
    list.push_back(makeRetrieveCommand());
    list.push_back(makeVariablesCommand());
    list.push_back(makeVariableCommand());
    list.push_back(makeValueCommand());
    list.push_back(makeVariablesExportCommand());
    list.push_back(makeVariablesImportCommand());
    list.push_back(makeActivateCommand());
    list.push_back(makeListCommand());
    list.push_back(makeSearchCommand());
    list.push_back(makeSearchCodeCommand());
    list.push_back(makeSearchExportCommand());
    list.push_back(makeMemoNewCommand());
    list.push_back(makeMemosCommand());
    list.push_back(makeMemoCommand());
    list.push_back(makeMemoDeleteCommand());
    list.push_back(makeWordsCommand());
    list.push_back(makeStopListCommand());
    list.push_back(makeDictionaryCommand());
    list.push_back(makeCoderCommand());
    list.push_back(makeMatrixCommand());
    list.push_back(makeExportCommand());
    list.push_back(makeArchiveListCommand());
    list.push_back(makeArchiveImportCommand());
    list.push_back(makeMergeCommand());
    for (int which = 0; which < 4; ++which)
        list.push_back(makeExchangeCommands(which));
    list.push_back(makeRefiExportCommand());
    list.push_back(makeRefiImportCommand());
    list.push_back(makeQdcExportCommand());
    list.push_back(makeQdcImportCommand());
    list.push_back(makeRtfToTextCommand());
    list.push_back(makeProjectInfoCommand());
    return list;
}

bool openExisting(store::CVexDoc& doc, const std::string& path, std::ostream& err) {
    if (!platform::fileExists(path)) {
        err << "The project " << path << " does not exist.\n";
        return false;
    }
    return doc.OpenPath(path, false);
}

std::int32_t findText(analysis::Workspace& ws, const std::string& name, std::string& why) {
    const std::vector<std::int32_t> found = ws.documents().FindTexts(name);
    if (found.size() == 1) return found.front();
    why = found.empty() ? "There is no text " + name + "."
                        : "The name " + name + " stands for " + std::to_string(found.size()) +
                              " texts; rename them apart first.";
    return 0;
}

WorkspaceSession::WorkspaceSession() = default;
WorkspaceSession::~WorkspaceSession() = default;

bool WorkspaceSession::open(const std::string& path, std::ostream& err) {
    if (!openExisting(doc, path, err)) return false;
    ws = std::make_unique<analysis::Workspace>(doc);
    failuresAtOpen_ = doc.database()->writeFailures();
    return true;
}

bool WorkspaceSession::writeFailed() const {
    return doc.database()->writeFailures() > failuresAtOpen_;
}

std::string cell(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return s;
}

bool wantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

int checkArguments(const Command& command, const std::vector<std::string>& args, std::size_t count,
                   std::ostream& out, std::ostream& err, bool orMore) {
    if (wantsHelp(args)) {
        out << command.usage();
        return 0;
    }
    if (orMore ? args.size() < count : args.size() != count) {
        err << command.usage();
        return 2;
    }
    return -1;
}

} // namespace vexana::cli
