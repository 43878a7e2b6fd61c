#include "Command.h"
#include "RetrieveOptions.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "store/AppSettings.h"
#include "wordanalysis/Dictionary.h"
#include "wordanalysis/WordFrequencies.h"

#include <cstdio>
#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using wordanalysis::StopList;

const AppSettings& appSettings() {
    static const AppSettings app = [] {
        AppSettings a;
        a.load();
        return a;
    }();
    return app;
}

std::string percentText(double p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", p);
    return buf;
}

class WordsCommand : public Command {
public:
    const char* name() const override { return "words"; }
    const char* summary() const override { return "word frequencies of all or the active texts"; }
    std::string usage() const override {
        return "Usage: vexana-cli words PROJECT [--only-active [--texts TEXT...]] [--case]\n"
               "         [--delimiters CHARS] [--stoplist FILE] [--only-dictionary FILE.vxl]\n"
               "Counts the words of all texts (--only-active: of the active ones; --texts\n"
               "activates the texts \"Group\\Text\" given) and prints one tab-separated row per\n"
               "word: word, length, frequency, percent, most frequent first. The line\n"
               "\"In N Texts  (N Words Total)\" goes to stderr.\n"
               "  --case             count case-sensitively (default: words are folded)\n"
               "  --delimiters CHARS the cut-off characters (blanks are dropped; default: the\n"
               "                     settings' \"Delimiters\", else the built-in set)\n"
               "  --stoplist FILE    words never counted (default: StopList.txt in the working\n"
               "                     folder when it is there)\n"
               "  --only-dictionary FILE.vxl  count only the words of a dictionary\n"
               "Without --case and --delimiters the settings' section \"QNT\" decides.\n";
    }

    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        if (args.empty()) return wrongArguments(err, "Give the project.");
        wordanalysis::WordOptions options = wordanalysis::WordOptions::fromSettings(appSettings());
        options.goList = false;
        bool onlyActive = false;
        std::string stopList, dictionary;
        bool stopListGiven = false;
        RetrieveOptions retrieve;
        std::string why;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--only-active") {
                onlyActive = true;
            } else if (a == "--case") {
                options.caseSensitive = true;
            } else if (a == "--delimiters" || a == "--stoplist" || a == "--only-dictionary") {
                if (i + 1 >= args.size()) return wrongArguments(err, a + " needs a value.");
                const std::string& v = args[++i];
                if (a == "--delimiters") {
                    options.delimiters = wordanalysis::withoutBlanks(v);
                    if (options.delimiters.empty())
                        return wrongArguments(err, "--delimiters needs at least one character.");
                } else if (a == "--stoplist") {
                    stopList = v;
                    stopListGiven = true;
                } else {
                    dictionary = v;
                }
            } else if (a == "--texts" || !a.starts_with("--")) {
                switch (retrieve.take(args, i, why)) {
                case RetrieveOptions::Take::Taken:
                    break;
                case RetrieveOptions::Take::Bad:
                    return wrongArguments(err, why);
                case RetrieveOptions::Take::NotMine:
                    return wrongArguments(err, "Unexpected argument " + a + ".");
                }
            } else {
                return wrongArguments(err, "Unknown option " + a + ".");
            }
        }
        if (retrieve.haveTexts && !onlyActive)
            return wrongArguments(err, "--texts needs --only-active.");
        if (!retrieve.check(why)) return wrongArguments(err, why);

        ConsoleUserInterface ui;
        RecentProjects recent;
        CVexDoc doc{ui, recent};
        if (!openExisting(doc, args[0], err)) return 1;
        analysis::Workspace ws(doc);
        wordanalysis::WordFrequencies words(ws);
        words.options = options;
        const browser::WordDelimiters delimiters(options.delimiters);
        if (!stopListGiven && platform::fileExists(AppSettings::stopListPath()))
            stopList = AppSettings::stopListPath();
        if (!stopList.empty() && !words.stopList().load(stopList, delimiters, ui)) return 1;
        if (!dictionary.empty()) {
            // The dictionary's topics live in memory only: reading it changes no project.
            if (!platform::fileExists(dictionary)) {
                err << "The dictionary " << dictionary << " does not exist.\n";
                return 1;
            }
            wordanalysis::Dictionary dict(doc.store());
            if (const std::string why = dict.open(dictionary); !why.empty()) {
                err << why << "\n";
                return 1;
            }
            if (!dict.warning().empty()) err << dict.warning() << "\n";
            words.setDictionaryWords(wordanalysis::dictionaryWords(dict));
            words.options.goList = true;
        }
        if (retrieve.haveTexts) {
            analysis::Retrieval retrieval(ws);
            if (!retrieve.apply(doc, ws, retrieval, err)) return 1;
            retrieval.RemoveResultCodings();
        }
        if (!words.CountWords(onlyActive)) return 1;
        for (const wordanalysis::WordRow& r : words.rows())
            out << cell(r.word) << '\t' << r.length << '\t' << r.frequency << '\t'
                << percentText(r.percent) << '\n';
        err << words.title() << "\n";
        return ConsoleUserInterface::stopsShown() > 0 ? 1 : 0;
    }
};

class StopListCommand : public Command {
public:
    const char* name() const override { return "stoplist"; }
    const char* summary() const override { return "show, extend or merge a stop list"; }
    std::string usage() const override {
        return "Usage: vexana-cli stoplist FILE [--add WORD]... [--merge FILE] [--out FILE]\n"
               "Prints the stop list of FILE as it is stored, one word a line (folded, sorted,\n"
               "each once). --add puts a word on it, --merge adds the words of another list;\n"
               "the result is written to --out FILE, else back to FILE, whole or not at all.\n"
               "FILE need not exist when words are added. Entries are separated by blanks, line\n"
               "ends and the settings' cut-off characters; words over 63 characters are refused.\n";
    }

    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        if (args.empty()) return wrongArguments(err, "Give the stop-list file.");
        std::vector<std::string> adds, merges;
        std::string target;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a != "--add" && a != "--merge" && a != "--out")
                return wrongArguments(
                    err,
                    (a.starts_with("--") ? "Unknown option " : "Unexpected argument ") + a + ".");
            if (i + 1 >= args.size()) return wrongArguments(err, a + " needs a value.");
            const std::string& v = args[++i];
            if (a == "--add") {
                if (const std::string why = StopList::refusal(v); !why.empty())
                    return wrongArguments(err, why);
                adds.push_back(v);
            } else if (a == "--merge") {
                merges.push_back(v);
            } else {
                target = v;
            }
        }
        ConsoleUserInterface ui;
        const browser::WordDelimiters delimiters(
            wordanalysis::withoutBlanks(appSettings().delimiters()));
        StopList list;
        const bool changing = !adds.empty() || !merges.empty();
        if (changing && !platform::fileExists(args[0])) {
            // A new list: nothing to read.
        } else if (!list.load(args[0], delimiters, ui)) {
            return 1;
        }
        for (const std::string& m : merges)
            if (!list.load(m, delimiters, ui, true)) return 1;
        for (const std::string& w : adds)
            if (!list.add(w) && list.size() >= StopList::maxEntries) {
                err << "The stop list would have more than 1000000 entries.\n";
                return 1;
            }
        if (changing || !target.empty()) {
            if (const std::string why = list.write(target.empty() ? args[0] : target);
                !why.empty()) {
                err << why << "\n";
                return 1;
            }
        }
        for (const std::string& w : list.words())
            out << w << '\n';
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeWordsCommand() {
    return std::make_unique<WordsCommand>();
}
std::unique_ptr<Command> makeStopListCommand() {
    return std::make_unique<StopListCommand>();
}

} // namespace vexana::cli
