#include "Command.h"
#include "browser/PrintDocuments.h"

#include <ostream>

namespace vexana::cli {

namespace {

// The label without the tabs that lay the printed sheet out.
std::string trimTabs(const std::string& label) {
    const auto a = label.find_first_not_of('\t');
    if (a == std::string::npos) return {};
    return label.substr(a, label.find_last_not_of('\t') - a + 1);
}

class ProjectInfoCommand : public Command {
public:
    const char* name() const override { return "project-info"; }
    const char* summary() const override { return "print the project information sheet's counts"; }
    std::string usage() const override {
        return "Usage: vexana-cli project-info PROJECT\n"
               "Prints the rows of the project information sheet (Project > Print > Project\n"
               "Information) as \"label<TAB>count\": Text Groups, Texts, Variables, Sets, Links,\n"
               "Codes, Coded Segments, Memos.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        ConsoleUserInterface ui;
        store::RecentProjects recent;
        store::CVexDoc doc(ui, recent);
        if (!openExisting(doc, args[0], err)) return 1;
        for (const browser::ProjectInfoRow& row : browser::projectInformation(doc.store()))
            out << trimTabs(row.label) << '\t' << row.count << '\n';
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeProjectInfoCommand() {
    return std::make_unique<ProjectInfoCommand>();
}

} // namespace vexana::cli
