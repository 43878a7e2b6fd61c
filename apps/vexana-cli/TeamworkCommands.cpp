#include "Command.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "exchange/Teamwork.h"

#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using exchange::ExchangeCounts;
using exchange::Teamwork;

struct Session : WorkspaceSession {
    // A stop message (a write that failed, say) means the command failed, whatever it read.
    int status(int stopsBefore) const { return ConsoleUserInterface::stopsShown() > stopsBefore; }
};

void printRows(std::ostream& out, const ExchangeCounts& n) {
    for (const auto& [kind, row] :
         {std::pair{"codes", n.codes}, std::pair{"memos", n.memos}, std::pair{"codings", n.codings},
          std::pair{"variables", n.variables}})
        out << kind << '\t' << row.added << '\t' << row.skipped << '\n';
}

class MergeCommand : public Command {
public:
    const char* name() const override { return "merge"; }
    const char* summary() const override { return "merge a second project into a project"; }
    std::string usage() const override {
        return "Usage: vexana-cli merge PROJECT SOURCE\n"
               "Adds SOURCE's text groups, texts, sets, memos and codings to PROJECT as new\n"
               "objects; codes are joined by path (names compared without case), variables by\n"
               "name and type (others arrive as \"Name(1)\"). SOURCE is only read; the merge is\n"
               "stored whole or not at all. Prints kind and count: groups, texts, sets, links,\n"
               "memos, codings, codes created, variables created.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        const int stops = ConsoleUserInterface::stopsShown();
        const auto n = Teamwork(*s.ws).Merge(args[1]);
        if (!n) return 1;
        for (const auto& [kind, count] :
             {std::pair{"groups", n->groups}, std::pair{"texts", n->texts},
              std::pair{"sets", n->sets}, std::pair{"links", n->links},
              std::pair{"memos", n->memos}, std::pair{"codings", n->codings},
              std::pair{"codes created", n->codesCreated},
              std::pair{"variables created", n->variablesCreated}})
            out << kind << '\t' << count << '\n';
        return s.status(stops);
    }
};

class ExchangeCommand : public Command {
public:
    enum class Kind { ExportText, ImportText, ExportCodes, ImportCodes };
    explicit ExchangeCommand(Kind kind) : kind_(kind) {}
    const char* name() const override {
        switch (kind_) {
        case Kind::ExportText:
            return "exchange-export";
        case Kind::ImportText:
            return "exchange-import";
        case Kind::ExportCodes:
            return "codesystem-export";
        default:
            return "codesystem-import";
        }
    }
    const char* summary() const override {
        switch (kind_) {
        case Kind::ExportText:
            return "write a text's codings and memos to a .vxe exchange file";
        case Kind::ImportText:
            return "import a .vxe exchange file into a text";
        case Kind::ExportCodes:
            return "write the code system to a .vxt exchange file";
        default:
            return "import the code system of a .vxt exchange file";
        }
    }
    std::string usage() const override {
        const std::string rows = "Prints kind, added and skipped for codes, memos, codings and "
                                 "variables.\n";
        switch (kind_) {
        case Kind::ExportText:
            return "Usage: vexana-cli exchange-export PROJECT TEXT FILE.vxe\n"
                   "Writes the codes used by the text \"Group\\Text\" (with their paths and "
                   "memos),\nthe variables, the text's values, memos and codings to FILE "
                   "(\".vxe\" is appended\nwhen missing; an existing file is replaced once the "
                   "new one is complete).\n" +
                   rows;
        case Kind::ImportText:
            return "Usage: vexana-cli exchange-import PROJECT TEXT FILE.vxe\n"
                   "Imports the codings and memos of an exchange file made from the same text "
                   "into\nthe text \"Group\\Text\": codes joined by path, a coding enclosed by "
                   "one of the\nsame code is skipped and existing ones inside a new one are "
                   "replaced, a memo\nwith the same place and title is skipped. Importing a "
                   "file twice changes nothing\nthe second time.\n" +
                   rows;
        case Kind::ExportCodes:
            return "Usage: vexana-cli codesystem-export PROJECT FILE.vxt\n"
                   "Writes every code with its path and its memo to FILE (\".vxt\" appended "
                   "when\nmissing).\n" +
                   rows;
        default:
            return "Usage: vexana-cli codesystem-import PROJECT FILE.vxt\n"
                   "Joins the file's codes into the code system by path (names compared "
                   "without\ncase) and gives codes without a memo the file's memo; no counter "
                   "changes.\n" +
                   rows;
        }
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        const bool withText = kind_ == Kind::ExportText || kind_ == Kind::ImportText;
        if (const int status = checkArguments(*this, args, withText ? 3 : 2, out, err); status >= 0)
            return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        std::int32_t text = 0;
        if (withText) {
            std::string why;
            text = findText(*s.ws, args[1], why);
            if (!text) {
                err << why << "\n";
                return 1;
            }
        }
        const int stops = ConsoleUserInterface::stopsShown();
        Teamwork team(*s.ws);
        const std::string& file = args.back();
        std::optional<ExchangeCounts> n;
        switch (kind_) {
        case Kind::ExportText:
            n = team.ExportText(text, file);
            break;
        case Kind::ImportText:
            n = team.ImportText(text, file, false);
            break;
        case Kind::ExportCodes:
            n = team.ExportCodeSystem(file);
            break;
        case Kind::ImportCodes:
            n = team.ImportCodeSystem(file);
            break;
        }
        if (!n) return 1;
        printRows(out, *n);
        return s.status(stops);
    }

private:
    Kind kind_;
};

} // namespace

std::unique_ptr<Command> makeMergeCommand() {
    return std::make_unique<MergeCommand>();
}

std::unique_ptr<Command> makeExchangeCommands(int which) {
    return std::make_unique<ExchangeCommand>(static_cast<ExchangeCommand::Kind>(which));
}

} // namespace vexana::cli
