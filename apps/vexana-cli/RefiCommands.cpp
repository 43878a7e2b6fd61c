#include "Command.h"
#include "analysis/Workspace.h"
#include "exchange/RefiExport.h"
#include "exchange/RefiImport.h"

#include <memory>
#include <ostream>

namespace vexana::cli {

using namespace store;
using exchange::PositionMode;
using exchange::RefiCounts;

namespace {

using Session = WorkspaceSession;

void printCounts(std::ostream& out, const RefiCounts& c) {
    out << "sources\t" << c.sources << "\ncodes\t" << c.codes << "\nselections\t" << c.selections
        << "\nnotes\t" << c.notes << "\nvariables\t" << c.variables << "\nsets\t" << c.sets << '\n';
}

class RefiExportCommand : public Command {
public:
    const char* name() const override { return "refi-export"; }
    const char* summary() const override { return "write the project as a REFI-QDA project"; }
    std::string usage() const override {
        return "Usage: vexana-cli refi-export PROJECT FILE.qdpx\n"
               "Writes the project in the REFI-QDA exchange format: texts with their codings\n"
               "and memos, the code tree with colours, variables, text groups and text sets\n"
               "(both as sets). The same project gives the same GUIDs every time. Prints\n"
               "'kind<TAB>count' for sources, codes, selections, notes, variables and sets.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        RefiCounts counts;
        if (!exchange::RefiExport(*s.ws).ExportProject(args[1], &counts)) return 1;
        printCounts(out, counts);
        return 0;
    }
};

class RefiImportCommand : public Command {
public:
    const char* name() const override { return "refi-import"; }
    const char* summary() const override { return "make a new project from a REFI-QDA project"; }
    std::string usage() const override {
        return "Usage: vexana-cli refi-import FILE.qdpx PROJECT [--positions "
               "auto|codepoints|utf16]\n"
               "Makes the new project PROJECT (which must not exist) from a REFI-QDA project\n"
               "file, whole or not at all. Selection positions count code points as the\n"
               "standard says, or UTF-16 code units as some tools write them; 'auto' (the\n"
               "default) tells them apart. Prints 'kind<TAB>count' for sources, codes,\n"
               "selections, notes, variables and sets, then one line per thing that could\n"
               "not be carried.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        std::vector<std::string> positional;
        PositionMode mode = PositionMode::Auto;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--positions") {
                if (i + 1 >= args.size()) return wrongArguments(err, "--positions needs a value");
                const std::string& v = args[++i];
                if (v == "auto")
                    mode = PositionMode::Auto;
                else if (v == "codepoints")
                    mode = PositionMode::CodePoints;
                else if (v == "utf16")
                    mode = PositionMode::Utf16;
                else
                    return wrongArguments(err, "unknown --positions value " + v);
            } else if (args[i].starts_with("--")) {
                return wrongArguments(err, "unknown option " + args[i]);
            } else {
                positional.push_back(args[i]);
            }
        }
        if (positional.size() != 2) return wrongArguments(err, "FILE and PROJECT are needed");
        ConsoleUserInterface ui;
        exchange::RefiImportReport report;
        if (!exchange::ImportRefiProject(positional[0], positional[1], mode, ui, report)) return 1;
        out << exchange::reportText(report);
        err << "Positions read as " << exchange::positionModeName(report.positions) << ".\n";
        return 0;
    }
};

class QdcExportCommand : public Command {
public:
    const char* name() const override { return "qdc-export"; }
    const char* summary() const override { return "write the code system as a REFI-QDA codebook"; }
    std::string usage() const override {
        return "Usage: vexana-cli qdc-export PROJECT FILE.qdc\n"
               "Writes the code tree with colours as a REFI-QDA codebook; a code's memo is its\n"
               "description. Prints 'codes<TAB>count'.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        RefiCounts counts;
        if (!exchange::RefiExport(*s.ws).ExportCodebook(args[1], &counts)) return 1;
        out << "codes\t" << counts.codes << '\n';
        return 0;
    }
};

class QdcImportCommand : public Command {
public:
    const char* name() const override { return "qdc-import"; }
    const char* summary() const override { return "read a REFI-QDA codebook into the project"; }
    std::string usage() const override {
        return "Usage: vexana-cli qdc-import PROJECT FILE.qdc\n"
               "Finds each code of the codebook by its path, ignoring case, as the preprocessor\n"
               "does, and makes the missing ones with their colour and description (as the\n"
               "code's memo). One change, all or nothing. Prints 'codes<TAB>N' (codes made),\n"
               "'notes<TAB>N' and one line per thing that could not be carried.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        Session s;
        if (!s.open(args[0], err)) return 1;
        exchange::RefiImportReport report;
        if (!exchange::ImportCodebook(*s.ws, args[1], report)) return 1;
        out << "codes\t" << report.counts.codes << "\nnotes\t" << report.counts.notes << '\n';
        for (const std::string& line : report.notCarried)
            out << "not carried: " << line << '\n';
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeRefiExportCommand() {
    return std::make_unique<RefiExportCommand>();
}
std::unique_ptr<Command> makeRefiImportCommand() {
    return std::make_unique<RefiImportCommand>();
}
std::unique_ptr<Command> makeQdcExportCommand() {
    return std::make_unique<QdcExportCommand>();
}
std::unique_ptr<Command> makeQdcImportCommand() {
    return std::make_unique<QdcImportCommand>();
}

} // namespace vexana::cli
