#include "Command.h"
#include "RetrieveOptions.h"
#include "analysis/CodeSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "browser/TextSearch.h"
#include "store/Schema.h"

#include <cstdlib>
#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using namespace vexana::analysis;
using browser::SearchSettings;

bool wholeNumber(const std::string& s, int low, int high, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

const char* const searchOptionsHelp =
    "Search options:\n"
    "  --sea FILE         start from the settings and strings of a .sea file\n"
    "  --memos            search the memos' bodies instead of the texts\n"
    "  --and              every string must occur in a text (default: any of them)\n"
    "  --within N         with AND, within N paragraphs of each other (1 to 10000; implies --and)\n"
    "  --whole-words      only whole words\n"
    "  --case             case sensitive\n"
    "  --only-active      only in active texts\n"
    "  --only-retrieved   only in retrieved segments\n"
    "Search strings must not contain \"|\". Arguments after \"--\" are search strings.\n"
    "Which texts are active and which segments are retrieved is chosen by the options of\n"
    "'retrieve' (without any of them, the texts keep the activation stored in the project):\n";

// A search command line: the project, what the command itself takes, the search settings,
// the retrieval's options.
class SearchCommandBase : public Command {
protected:
    // The command's own arguments (positional ones and options); true when args[i] was one.
    // Bad ones set why_.
    virtual bool takeOwn(const std::vector<std::string>& args, std::size_t& i) = 0;
    // The number of positional arguments after PROJECT that takeOwn needs.
    virtual std::size_t ownPositionals() const = 0;

    // Returns -1 to go on, or the exit status.
    int parse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        if (args.size() < 1 + ownPositionals()) {
            err << usage();
            return 2;
        }
        std::vector<std::string> strings;
        bool onlyStrings = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (onlyStrings) {
                strings.push_back(a);
                continue;
            }
            if (i <= ownPositionals() || (a.starts_with("--") && takeOwn(args, i))) {
                if (i <= ownPositionals()) own_.push_back(a);
                if (!why_.empty()) return wrongArguments(err, why_);
                continue;
            }
            if (a == "--memos") {
                memos_ = true;
            } else if (a == "--and") {
                and_ = true;
            } else if (a == "--whole-words") {
                wholeWords_ = true;
            } else if (a == "--case") {
                case_ = true;
            } else if (a == "--only-active") {
                onlyActive_ = true;
            } else if (a == "--only-retrieved") {
                onlyRetrieved_ = true;
            } else if (a == "--sea" || a == "--within") {
                if (i + 1 >= args.size()) return wrongArguments(err, a + " needs a value.");
                const std::string& v = args[++i];
                if (a == "--sea")
                    sea_ = v;
                else if (!wholeNumber(v, 1, SearchSettings::maxWithinParagraphs, within_))
                    return wrongArguments(err, "--within takes a whole number from 1 to 10000.");
            } else {
                switch (retrieve_.take(args, i, why_)) {
                case RetrieveOptions::Take::Taken:
                    break;
                case RetrieveOptions::Take::Bad:
                    return wrongArguments(err, why_);
                case RetrieveOptions::Take::NotMine:
                    if (a == "--")
                        onlyStrings = true;
                    else if (a.starts_with("--"))
                        return wrongArguments(err, "Unknown option " + a + ".");
                    else
                        strings.push_back(a);
                }
            }
        }
        if (!retrieve_.check(why_)) return wrongArguments(err, why_);
        if (!sea_.empty()) {
            if (const std::string why = browser::readSeaFile(sea_, settings_); !why.empty()) {
                err << why << "\n";
                return 1;
            }
        }
        for (std::string& s : strings) {
            if (const std::string why = SearchSettings::refusal(s); !why.empty())
                return wrongArguments(err, why);
            if (!s.empty()) settings_.strings.push_back(std::move(s));
        }
        if (settings_.strings.empty())
            return wrongArguments(err, "Give at least one search string.");
        settings_.inMemos = settings_.inMemos || memos_;
        settings_.useAnd = settings_.useAnd || and_ || within_ > 0;
        if (within_ > 0) {
            settings_.within = true;
            settings_.withinParagraphs = within_;
        }
        settings_.wholeWords = settings_.wholeWords || wholeWords_;
        settings_.caseSensitive = settings_.caseSensitive || case_;
        settings_.onlyActiveTexts = settings_.onlyActiveTexts || onlyActive_;
        settings_.onlyRetrievedSegments = settings_.onlyRetrievedSegments || onlyRetrieved_;
        return -1;
    }

    // Opens the project, sets up activation and retrieval and searches; false after a
    // message (exit 1).
    bool search(std::ostream& err) {
        if (!openExisting(doc_, project(), err)) return false;
        ws_ = std::make_unique<Workspace>(doc_);
        retrieval_ = std::make_unique<Retrieval>(*ws_);
        const bool retrieving = retrieve_.given || settings_.onlyRetrievedSegments;
        if (retrieving && !retrieve_.apply(doc_, *ws_, *retrieval_, err)) return false;
        search_ = std::make_unique<browser::TextSearch>(*ws_);
        outcome_ = search_->run(settings_, search_->retrievedRanges(),
                                browser::WordDelimiters(settings().delimiters()));
        if (!settings_.inMemos) search_->storeResults(outcome_);
        return true;
    }

    const std::string& project() const { return argsProject_; }
    static const store::AppSettings& settings() {
        static const store::AppSettings app = [] {
            store::AppSettings a;
            a.load();
            return a;
        }();
        return app;
    }

    void setProject(const std::string& p) { argsProject_ = p; }

    std::string why_;
    std::vector<std::string> own_;
    SearchSettings settings_;
    RetrieveOptions retrieve_;
    ConsoleUserInterface ui_;
    RecentProjects recent_;
    CVexDoc doc_{ui_, recent_};
    std::unique_ptr<Workspace> ws_;
    std::unique_ptr<Retrieval> retrieval_;
    std::unique_ptr<browser::TextSearch> search_;
    browser::SearchOutcome outcome_;

private:
    std::string sea_, argsProject_;
    bool memos_ = false, and_ = false, wholeWords_ = false, case_ = false, onlyActive_ = false,
         onlyRetrieved_ = false;
    int within_ = 0;
};

class SearchCommand : public SearchCommandBase {
public:
    const char* name() const override { return "search"; }
    const char* summary() const override { return "search the texts or memos for strings"; }
    std::string usage() const override {
        return std::string(
                   "Usage: vexana-cli search PROJECT [--sea FILE] [--save-sea FILE] [--memos] "
                   "[--and]\n"
                   "         [--within N] [--whole-words] [--case] [--only-active] "
                   "[--only-retrieved]\n"
                   "         [RETRIEVE-OPTIONS] STRING...\n"
                   "Prints one tab-separated row per hit: text, string, start, end, paragraph;\n"
                   "with --memos one row per memo with hits: memo id, title. The line "
                   "\"in N Texts\"\n"
                   "goes to stderr. --save-sea FILE writes the settings as a .sea file.\n") +
               searchOptionsHelp + RetrieveOptions::usage();
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = parse(args, out, err); status >= 0) return status;
        setProject(args[0]);
        if (!saveSea_.empty()) {
            if (const std::string why = browser::writeSeaFile(saveSea_, settings_); !why.empty()) {
                err << why << "\n";
                return 1;
            }
        }
        if (!search(err)) return 1;
        const TopicStore& st = doc_.store();
        if (settings_.inMemos) {
            for (std::int32_t memo : outcome_.objects)
                out << memo << '\t' << cell(st.GetText(TopicId::Memos, memo, MemoField::Title))
                    << '\n';
            err << "Search Results\n";
        } else {
            for (const browser::SearchHit& h : outcome_.hits)
                out << cell(st.GetName(TopicId::Texts, h.object, true)) << '\t'
                    << cell(outcome_.strings[static_cast<std::size_t>(h.string)]) << '\t' << h.start
                    << '\t' << h.end << '\t' << h.paragraph << '\n';
            err << browser::TextSearch::resultsLine(search_->textsWithResults()) << "\n";
        }
        retrieval_->RemoveResultCodings();
        return 0;
    }

protected:
    bool takeOwn(const std::vector<std::string>& args, std::size_t& i) override {
        if (args[i] != "--save-sea") return false;
        if (i + 1 >= args.size())
            why_ = "--save-sea needs a value.";
        else
            saveSea_ = args[++i];
        return true;
    }
    std::size_t ownPositionals() const override { return 0; }

private:
    std::string saveSea_;
};

// What search-code and search-export share: the hits' context.
class SearchResultsCommand : public SearchCommandBase {
protected:
    bool takeOwn(const std::vector<std::string>& args, std::size_t& i) override {
        const std::string& a = args[i];
        if (a != "--paragraphs" && !(a == "--weight" && weighted())) return false;
        if (i + 1 >= args.size()) {
            why_ = a + " needs a value.";
            return true;
        }
        const std::string& v = args[++i];
        if (a == "--paragraphs") {
            context_.mode = 1;
            if (!wholeNumber(v, 0, 100, context_.paragraphs))
                why_ = "--paragraphs takes a whole number from 0 to 100.";
        } else if (!wholeNumber(v, 1, 100, weight_)) {
            why_ = "--weight takes a whole number from 1 to 100.";
        }
        return true;
    }
    std::size_t ownPositionals() const override { return 1; }
    virtual bool weighted() const { return false; }
    int parseResults(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
        const int status = parse(args, out, err);
        if (status < 0 && settings_.inMemos)
            return wrongArguments(err, "The hits of a memo search cannot be " +
                                           std::string(verb()) + ".");
        return status;
    }
    virtual const char* verb() const = 0;

    browser::HitContext context_;
    int weight_ = 100;
};

class SearchCodeCommand : public SearchResultsCommand {
public:
    const char* name() const override { return "search-code"; }
    const char* summary() const override { return "code the hits of a text search"; }
    std::string usage() const override {
        return std::string(
                   "Usage: vexana-cli search-code PROJECT CODE [--paragraphs N] [--weight W] "
                   "SEARCH-OPTIONS... STRING...\n"
                   "Codes every hit with CODE (\"Parent\\Child\", made when missing): the string "
                   "alone, or\n"
                   "with --paragraphs N its paragraph and N on either side (0 to 100; ranges "
                   "that share\n"
                   "a paragraph become one coding). --weight: 1 to 100 (default 100). Prints "
                   "\"N Text\n"
                   "Segments coded\" with the number of codings made; all of it is one change.\n") +
               searchOptionsHelp + RetrieveOptions::usage();
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = parseResults(args, out, err); status >= 0) return status;
        setProject(args[0]);
        if (!search(err)) return 1;
        int made = 0;
        {
            // One unit: a code made for hits that are then not stored is not kept.
            StoreBatch unit(doc_.store());
            const std::int32_t code = ws_->codes().FindCodeByPath(0, own_[0], true);
            if (code == 0) {
                unit.fail();
                unit.finish();
                if (ConsoleUserInterface::stopsShown() == 0)
                    err << "\"" << own_[0] << "\" names no code.\n";
                return 1;
            }
            made = search_->codeResults(code, weight_, context_, false);
            if (made < 0) unit.fail();
            if (!unit.finish() || made < 0) return 1;
        }
        retrieval_->RemoveResultCodings();
        out << made << " Text Segments coded\n";
        return 0;
    }

protected:
    bool weighted() const override { return true; }
    const char* verb() const override { return "coded"; }
};

class SearchExportCommand : public SearchResultsCommand {
public:
    const char* name() const override { return "search-export"; }
    const char* summary() const override { return "write the hits of a text search as RTF"; }
    std::string usage() const override {
        return std::string("Usage: vexana-cli search-export PROJECT FILE.rtf [--paragraphs N] "
                           "SEARCH-OPTIONS... STRING...\n"
                           "Writes each hit under a heading with its text and paragraph: the "
                           "string alone, or with\n"
                           "--paragraphs N its paragraph and N on either side (0 to 100).\n") +
               searchOptionsHelp + RetrieveOptions::usage();
    }
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (const int status = parseResults(args, out, err); status >= 0) return status;
        setProject(args[0]);
        if (!search(err)) return 1;
        const std::string why = search_->exportResults(own_[0], context_);
        retrieval_->RemoveResultCodings();
        if (!why.empty()) {
            err << why << "\n";
            return 1;
        }
        err << browser::TextSearch::resultsLine(search_->textsWithResults()) << "\n";
        return 0;
    }

protected:
    const char* verb() const override { return "exported"; }
};

} // namespace

std::unique_ptr<Command> makeSearchCommand() {
    return std::make_unique<SearchCommand>();
}
std::unique_ptr<Command> makeSearchCodeCommand() {
    return std::make_unique<SearchCodeCommand>();
}
std::unique_ptr<Command> makeSearchExportCommand() {
    return std::make_unique<SearchExportCommand>();
}

} // namespace vexana::cli
