// The project's exports without a window: the code frequency matrix and the two trees as RTF.
#include "Command.h"
#include "browser/ProjectExports.h"
#include "platform/Utf8.h"

#include <ostream>

namespace vexana::cli {

namespace {

struct Session {
    ConsoleUserInterface ui;
    store::RecentProjects recent;
    store::CVexDoc doc{ui, recent};
};

class MatrixCommand : public Command {
public:
    const char* name() const override { return "matrix"; }
    const char* summary() const override {
        return "the matrix of code frequencies per text (tab-separated)";
    }
    std::string usage() const override {
        return "Usage: vexana-cli matrix PROJECT [--active-only] [--out FILE]\n"
               "Counts the coded segments of every text with every code (each coding once,\n"
               "whatever its weight): a header \"Textname\" and the codes' paths, then one row\n"
               "per text with its full name and the counts; tab-separated, CR LF line ends.\n"
               "Texts in the Document System's order, codes in the Code System's. With\n"
               "--active-only only the active codes are columns (every code when none is\n"
               "active). Written to FILE (whole or not at all) or to the standard output.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        std::vector<std::string> pos;
        std::string file;
        bool onlyActive = false, toFile = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--active-only")
                onlyActive = true;
            else if (args[i] == "--out" && i + 1 < args.size())
                file = args[++i], toFile = true;
            else if (args[i].starts_with("--"))
                return wrongArguments(err, "Unknown or incomplete option " + args[i] + ".");
            else
                pos.push_back(args[i]);
        }
        if (pos.size() != 1 || (toFile && file.empty())) {
            err << usage();
            return 2;
        }
        Session s;
        if (!openExisting(s.doc, pos[0], err)) return 1;
        const store::TopicStore& st = s.doc.store();
        if (toFile) {
            const std::string why = browser::exportCodeMatrix(st, onlyActive, file);
            if (!why.empty()) err << why << "\n";
            return why.empty() ? 0 : 1;
        }
        browser::CodeMatrix m;
        if (!browser::countCodeMatrix(st, browser::textsInTreeOrder(st),
                                      browser::matrixCodes(st, onlyActive), m)) {
            err << "The matrix is too large to be written.\n";
            return 1;
        }
        out << platform::encodeTextFile(browser::matrixText(st, m));
        return 0;
    }
};

class ExportCommand : public Command {
public:
    const char* name() const override { return "export"; }
    const char* summary() const override {
        return "write the Document System or the Code System as RTF";
    }
    std::string usage() const override {
        return "Usage: vexana-cli export PROJECT documents|codes FILE.rtf\n"
               "Writes what the window shows, in its order, one line per item indented by its\n"
               "depth: documents, the text groups with their texts (coded segments in\n"
               "brackets, active texts red) and the sets with their texts; codes, the code\n"
               "tree (coded segments in brackets, each code in its colour, active codes bold).\n"
               "The file is written whole or not at all.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 3, out, err); status >= 0) return status;
        if (args[1] != "documents" && args[1] != "codes")
            return wrongArguments(err,
                                  "What to export is documents or codes, not " + args[1] + ".");
        Session s;
        if (!openExisting(s.doc, args[0], err)) return 1;
        const store::TopicStore& st = s.doc.store();
        const platform::RichText rich = args[1] == "documents" ? browser::documentSystemExport(st)
                                                               : browser::codeSystemExport(st);
        const std::string why = browser::writeExportFile(args[2], rich.toRtf());
        if (!why.empty()) err << why << "\n";
        return why.empty() ? 0 : 1;
    }
};

} // namespace

std::unique_ptr<Command> makeMatrixCommand() {
    return std::make_unique<MatrixCommand>();
}
std::unique_ptr<Command> makeExportCommand() {
    return std::make_unique<ExportCommand>();
}

} // namespace vexana::cli
