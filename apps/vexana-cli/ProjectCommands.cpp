#include "Command.h"
#include "exchange/DemoProject.h"
#include "platform/Files.h"
#include "store/Schema.h"

#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;

class NewCommand : public Command {
public:
    const char* name() const override { return "new"; }
    const char* summary() const override { return "create an empty project file"; }
    std::string usage() const override {
        return "Usage: vexana-cli new PROJECT\n"
               "Creates an empty project file at PROJECT. A path that exists already is refused.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        if (platform::fileExists(args[0])) {
            err << "The file " << args[0] << " exists already.\n";
            return 1;
        }
        ConsoleUserInterface ui;
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        if (!doc.OpenPath(args[0], false)) return 1;
        out << "Created " << doc.title() << "\n";
        return 0;
    }
};

class DemoCommand : public Command {
public:
    const char* name() const override { return "demo"; }
    const char* summary() const override { return "make the bundled demo project"; }
    std::string usage() const override {
        return "Usage: vexana-cli demo [PROJECT]\n"
               "Makes the demo study (interviews and field notes with their codes, and the set\n"
               "\"Working parents\") as a new project at PROJECT, by default the user's demo\n"
               "project that the desktop program offers. A path that exists already is refused.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args) || args.size() > 1) return checkArguments(*this, args, 1, out, err);
        ConsoleUserInterface ui;
        const std::string path = args.empty() ? exchange::DemoProjectPath() : args[0];
        if (!exchange::BuildDemoProject(path, ui)) return 1;
        out << "Created " << path << "\n";
        return 0;
    }
};

class InfoCommand : public Command {
public:
    const char* name() const override { return "info"; }
    const char* summary() const override { return "print a project's version and record counts"; }
    std::string usage() const override {
        return "Usage: vexana-cli info PROJECT\n"
               "Opens PROJECT (bringing an older file up to the current version) and prints\n"
               "\"Key: value\" lines: DataEngine, DataType, RichText and the number of\n"
               "Textgroups, Texts, Textsets, Textlinks, Codewords, Codings and Memos.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        ConsoleUserInterface ui;
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        if (!openExisting(doc, args[0], err)) return 1;
        out << "DataEngine: " << doc.setup("DataEngine") << "\n";
        out << "DataType: " << doc.setup("DataType") << "\n";
        out << "RichText: " << doc.setup("RichText") << "\n";
        const TopicStore& s = doc.store();
        out << "Textgroups: " << s.RecordCount(TopicId::TextGroups) << "\n";
        out << "Texts: " << s.RecordCount(TopicId::Texts) << "\n";
        out << "Textsets: " << s.RecordCount(TopicId::TextSets) << "\n";
        out << "Textlinks: " << s.RecordCount(TopicId::TextLinks) << "\n";
        out << "Codewords: " << s.RecordCount(TopicId::Codes) << "\n";
        out << "Codings: " << s.RecordCount(TopicId::Codings) << "\n";
        out << "Memos: " << s.RecordCount(TopicId::Memos) << "\n";
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeDemoCommand() {
    return std::make_unique<DemoCommand>();
}

std::unique_ptr<Command> makeNewCommand() {
    return std::make_unique<NewCommand>();
}
std::unique_ptr<Command> makeInfoCommand() {
    return std::make_unique<InfoCommand>();
}

} // namespace vexana::cli
