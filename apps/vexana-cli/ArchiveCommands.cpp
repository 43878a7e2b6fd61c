#include "Command.h"
#include "exchange/ArchiveImport.h"

#include <ostream>

namespace vexana::cli {

namespace {

class ArchiveListCommand : public Command {
public:
    const char* name() const override { return "archive-list"; }
    const char* summary() const override { return "list the members of a .vxa archive"; }
    std::string usage() const override {
        return "Usage: vexana-cli archive-list ARCHIVE.vxa\n"
               "Prints one tab-separated row per member of an archive of the predecessor\n"
               "program: type, number, length in bytes and the name of its file (empty for a\n"
               "type the import passes over). A damaged archive is refused.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        ConsoleUserInterface ui;
        exchange::ArchiveImport archive(ui);
        if (!archive.open(args[0])) return 1;
        for (const exchange::ArchiveMember& m : archive.archive()->members())
            out << m.type << '\t' << m.number << '\t' << m.length << '\t'
                << exchange::memberFileName(m.type, m.number) << '\n';
        return 0;
    }
};

class ArchiveImportCommand : public Command {
public:
    const char* name() const override { return "archive-import"; }
    const char* summary() const override { return "make a new project from a .vxa archive"; }
    std::string usage() const override {
        return "Usage: vexana-cli archive-import ARCHIVE.vxa PROJECT\n"
               "Makes the new project PROJECT (which must not exist) from an archive of the\n"
               "predecessor program: variables, text groups, texts, codes, coded segments and\n"
               "memos, all or nothing. Prints tab-separated \"kind  count\" rows: groups, texts,\n"
               "variables, codes, codings, memos, skipped segments, skipped memos.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 2, out, err); status >= 0) return status;
        ConsoleUserInterface ui;
        exchange::ArchiveImport archive(ui);
        if (!archive.open(args[0])) return 1;
        const auto counts = archive.importInto(args[1]);
        if (!counts || ConsoleUserInterface::stopsShown() > 0) return 1;
        out << "groups\t" << counts->groups << "\n"
            << "texts\t" << counts->texts << "\n"
            << "variables\t" << counts->variables << "\n"
            << "codes\t" << counts->codes << "\n"
            << "codings\t" << counts->codings << "\n"
            << "memos\t" << counts->memos << "\n"
            << "skipped segments\t" << counts->skippedSegments << "\n"
            << "skipped memos\t" << counts->skippedMemos << "\n";
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeArchiveListCommand() {
    return std::make_unique<ArchiveListCommand>();
}

std::unique_ptr<Command> makeArchiveImportCommand() {
    return std::make_unique<ArchiveImportCommand>();
}

} // namespace vexana::cli
