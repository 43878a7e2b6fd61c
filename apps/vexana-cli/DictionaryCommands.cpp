#include "Command.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "browser/ListGrid.h"
#include "platform/Files.h"
#include "store/AppSettings.h"
#include "store/Schema.h"
#include "store/SchemaSetup.h"
#include "wordanalysis/Dictionary.h"
#include "wordanalysis/DictionaryCoder.h"

#include <cstdlib>
#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using wordanalysis::Dictionary;

class DictionaryCommand : public Command {
public:
    const char* name() const override { return "dictionary"; }
    const char* summary() const override { return "list the categories and items of a .vxl file"; }
    std::string usage() const override {
        return "Usage: vexana-cli dictionary FILE.vxl\n"
               "One tab-separated row per search item: category, its type, item, its type,\n"
               "exact, case, start (each 0 or 1); a category without items has one row with\n"
               "the item fields empty.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = checkArguments(*this, args, 1, out, err); status >= 0) return status;
        TopicStore store;
        setUpInMemoryTopics(store);
        Dictionary dictionary(store);
        if (const std::string why = dictionary.add(args[0]); !why.empty()) {
            err << why << "\n";
            return 1;
        }
        if (!dictionary.warning().empty()) err << dictionary.warning() << "\n";
        for (std::int32_t c : dictionary.categories()) {
            const std::string head = cell(store.GetText(TopicId::DictCategories, c, 2)) + '\t' +
                                     std::to_string(store.GetInt(TopicId::DictCategories, c, 1));
            const auto items = dictionary.items(c);
            if (items.empty()) out << head << "\t\t\t\t\t\n";
            for (std::int32_t i : items) {
                out << head << '\t' << cell(store.GetText(TopicId::DictItems, i, 3));
                for (int f : {2, 4, 5, 6})
                    out << '\t' << store.GetInt(TopicId::DictItems, i, f);
                out << '\n';
            }
        }
        return 0;
    }
};

class CoderCommand : public Command {
public:
    const char* name() const override { return "coder"; }
    const char* summary() const override { return "count a dictionary's categories per text unit"; }
    std::string usage() const override {
        return "Usage: vexana-cli coder PROJECT DICT.vxl [--texts TEXT...|--group G|--set S]\n"
               "         [--codes CODE... [--level N]] [--once] [--no-empty] [--doc OUT.rtf]\n"
               "Runs the VEXLexa Coder over all texts, the texts named \"Group\\Text\", a group's\n"
               "or a set's texts: whole texts, or with --codes the coded segments of the codes\n"
               "N - 1 levels below each CODE (\"Parent\\Child\"; --level 1 to the codes' bound,\n"
               "default 1). --once counts each item once per unit (segment), --no-empty leaves\n"
               "out units without words, --doc writes the tagged documentation as RTF.\n"
               "Prints the results' header row and one tab-separated row per text unit; the\n"
               "level and codes are kept in the project.\n";
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        if (args.size() < 2) return wrongArguments(err, "Give the project and the dictionary.");
        std::vector<std::string> texts, codes;
        std::string group, set, levelText;
        wordanalysis::CoderOptions options;
        std::vector<std::string>* list = nullptr;
        bool levelGiven = false;
        for (std::size_t i = 2; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--texts") {
                list = &texts;
            } else if (a == "--codes") {
                list = &codes;
            } else if (a == "--once" || a == "--no-empty") {
                (a == "--once" ? options.oneWordCount : options.noEmptyItems) = true;
                list = nullptr;
            } else if (a == "--group" || a == "--set" || a == "--level" || a == "--doc") {
                if (i + 1 >= args.size()) return wrongArguments(err, a + " needs a value.");
                const std::string& v = args[++i];
                if (a == "--group") group = v;
                if (a == "--set") set = v;
                if (a == "--doc") options.documentation = v;
                if (a == "--level") {
                    levelGiven = true;
                    char* end = nullptr;
                    const long n = std::strtol(v.c_str(), &end, 10);
                    if (v.empty() || *end != '\0' || n < 1 || n > 1000)
                        return wrongArguments(err, "--level takes a whole number from 1.");
                    options.level = static_cast<int>(n);
                }
                list = nullptr;
            } else if (a.starts_with("--")) {
                return wrongArguments(err, "Unknown option " + a + ".");
            } else if (list) {
                list->push_back(a);
            } else {
                return wrongArguments(err, "Unexpected argument " + a + ".");
            }
        }
        if (int(!texts.empty()) + int(!group.empty()) + int(!set.empty()) > 1)
            return wrongArguments(err, "Give at most one of --texts, --group and --set.");
        if (levelGiven && codes.empty()) return wrongArguments(err, "--level needs --codes.");
        if (!codes.empty() && !levelGiven) options.level = 1;

        ConsoleUserInterface ui;
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        if (!openExisting(doc, args[0], err)) return 1;
        analysis::Workspace ws(doc);
        TopicStore& st = doc.store();
        Dictionary dictionary(st);
        if (!platform::fileExists(args[1])) {
            err << "The dictionary " << args[1] << " does not exist.\n";
            return 1;
        }
        if (const std::string why = dictionary.open(args[1]); !why.empty()) {
            err << why << "\n";
            return 1;
        }
        if (!dictionary.warning().empty()) err << dictionary.warning() << "\n";
        using analysis::ActivationScope;
        std::vector<std::int32_t> units;
        if (!texts.empty()) {
            for (const std::string& t : texts) {
                std::string why;
                const std::int32_t id = findText(ws, t, why);
                if (!id) {
                    err << why << "\n";
                    return 1;
                }
                units.push_back(id);
            }
        } else if (!group.empty()) {
            const std::int32_t id = ws.documents().FindGroup(group);
            if (!id) {
                err << "There is no text group " << group << ".\n";
                return 1;
            }
            units = wordanalysis::DictionaryCoder::textsOf(st, ActivationScope::Group, id);
        } else if (!set.empty()) {
            std::int32_t id = 0;
            for (std::int32_t s : st.ListIds(TopicId::TextSets))
                if (st.GetText(TopicId::TextSets, s, GroupField::Name) == set) id = s;
            if (!id) {
                err << "There is no text set " << set << ".\n";
                return 1;
            }
            units = wordanalysis::DictionaryCoder::textsOf(st, ActivationScope::Set, id);
        } else {
            units = wordanalysis::DictionaryCoder::textsOf(st, ActivationScope::AllTexts, 0);
        }
        for (const std::string& c : codes) {
            const std::int32_t id = ws.codes().FindCodeByPath(0, c, false);
            if (!id) {
                err << "\"" << c << "\" names no code.\n";
                return 1;
            }
            options.codes.push_back(id);
        }
        wordanalysis::DictionaryCoder coder(ws, dictionary,
                                            browser::WordDelimiters(settings().delimiters()));
        const wordanalysis::CoderOutcome outcome = coder.run(units, options);
        if (!outcome.ok || ConsoleUserInterface::stopsShown() > 0) {
            if (!outcome.error.empty()) err << outcome.error << "\n";
            return 1;
        }
        browser::ListGrid grid(st, TopicId::CoderResults);
        grid.fill(st.ListIds(TopicId::CoderResults));
        std::vector<int> shown;
        for (int c : grid.displayedColumns())
            if (!(grid.columns()[static_cast<std::size_t>(c)].state & FieldState::TypeField))
                shown.push_back(c);
        for (std::size_t k = 0; k < shown.size(); ++k)
            out << (k ? "\t" : "") << cell(grid.columns()[static_cast<std::size_t>(shown[k])].name);
        out << '\n';
        for (int row = 0; row < grid.rowCount(); ++row) {
            for (std::size_t k = 0; k < shown.size(); ++k)
                out << (k ? "\t" : "") << cell(grid.cellText(row, shown[k]));
            out << '\n';
        }
        if (!outcome.error.empty()) {
            err << outcome.error << "\n";
            return 1;
        }
        return 0;
    }

    static const AppSettings& settings() {
        static const AppSettings app = [] {
            AppSettings a;
            a.load();
            return a;
        }();
        return app;
    }
};

} // namespace

std::unique_ptr<Command> makeDictionaryCommand() {
    return std::make_unique<DictionaryCommand>();
}
std::unique_ptr<Command> makeCoderCommand() {
    return std::make_unique<CoderCommand>();
}

} // namespace vexana::cli
