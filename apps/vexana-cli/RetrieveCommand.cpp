#include "Command.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "platform/richtext/RichText.h"
#include "store/Schema.h"
#include "variables/VariableActivation.h"

#include <cstdlib>
#include <ostream>

namespace vexana::cli {

namespace {

using namespace vexana::store;
using namespace vexana::analysis;

constexpr const char* functionArgs[] = {
    "or",         "intersection",     "overlapping",   "only-this-code", "at-least",
    "difference", "if-surrounded-by", "if-outside-of", "followed-by",    "near"};

bool wholeNumber(const std::string& s, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < -1000000 || v > 1000000) return false;
    out = static_cast<int>(v);
    return true;
}

class RetrieveCommand : public Command {
public:
    const char* name() const override { return "retrieve"; }
    const char* summary() const override {
        return "list the retrieved segments of active texts and codes";
    }
    std::string usage() const override {
        std::string u =
            "Usage: vexana-cli retrieve PROJECT [--texts TEXT... | --loa FILE] [--codes CODE...]\n"
            "         [--act FILE] [--function NAME] [--code SELECTED] [--count N] [--distance N]\n"
            "         [--mode selected|active|all] [--order text|code] [--subcodes]\n"
            "         [--weight MIN-MAX] [--save-act FILE]\n"
            "Activates the texts (\"Group\\Text\") and codes (\"Parent\\Child\", each with its "
            "subcodes)\n"
            "given, all of them when a list is not given; --loa FILE activates the texts by the\n"
            "condition on variables of a .loa file (see 'activate'); --act FILE takes the active\n"
            "codes from an activation file instead. Then prints the analysis title and one "
            "tab-separated row "
            "per\n"
            "retrieved segment: text, code, begin, end, begin paragraph, end paragraph, weight,\n"
            "preview. --save-act FILE writes the active codes as an activation file.\n"
            "--count: the number of codes for at-least (2 or more); --distance: paragraphs for\n"
            "followed-by and near (0 or more); --mode: which segment of a matching pair is "
            "listed.\n"
            "Functions (NAME):\n";
        for (int f = 0; f <= 9; ++f) {
            std::string arg = functionArgs[f];
            arg.resize(18, ' ');
            std::string text(functionExplanation(f));
            for (char& c : text)
                if (c == '\n') c = ' ';
            u += "  " + arg + std::string(functionName(f)) + ": " + text + "\n";
        }
        return u;
    }

    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override {
        if (wantsHelp(args)) {
            out << usage();
            return 0;
        }
        if (args.empty()) {
            err << usage();
            return 2;
        }
        std::vector<std::string> texts, codes;
        std::string act, loa, saveAct, function = "or", selected, modeText, order = "text", weight;
        int count = 2, distance = 0;
        bool subcodes = false, haveTexts = false, haveCodes = false;
        std::vector<std::string>* list = nullptr;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&](std::string& into) {
                if (i + 1 >= args.size()) return false;
                into = args[++i];
                return true;
            };
            std::string v;
            if (a == "--texts")
                list = &texts, haveTexts = true;
            else if (a == "--codes")
                list = &codes, haveCodes = true;
            else if (a == "--subcodes")
                list = nullptr, subcodes = true;
            else if (a.starts_with("--")) {
                list = nullptr;
                if (!value(v)) return bad(err, a + " needs a value.");
                if (a == "--act")
                    act = v;
                else if (a == "--loa")
                    loa = v;
                else if (a == "--save-act")
                    saveAct = v;
                else if (a == "--function")
                    function = v;
                else if (a == "--code")
                    selected = v;
                else if (a == "--mode")
                    modeText = v;
                else if (a == "--order")
                    order = v;
                else if (a == "--weight")
                    weight = v;
                else if (a == "--count") {
                    if (!wholeNumber(v, count)) return bad(err, "--count takes a whole number.");
                } else if (a == "--distance") {
                    if (!wholeNumber(v, distance))
                        return bad(err, "--distance takes a whole number.");
                } else {
                    return bad(err, "Unknown option " + a + ".");
                }
            } else if (list) {
                list->push_back(a);
            } else {
                return bad(err, "Unexpected argument " + a + ".");
            }
        }
        int fn = -1;
        for (int f = 0; f <= 9; ++f)
            if (function == functionArgs[f]) fn = f;
        if (fn < 0) return bad(err, "Unknown function " + function + ".");
        int mode = 0;
        if (modeText == "active")
            mode = 1;
        else if (modeText == "all")
            mode = 2;
        else if (!modeText.empty() && modeText != "selected")
            return bad(err, "--mode is selected, active or all.");
        if (order != "text" && order != "code") return bad(err, "--order is text or code.");
        int low = 1, high = 100;
        if (!weight.empty()) {
            const auto dash = weight.find('-');
            if (dash == std::string::npos || !wholeNumber(weight.substr(0, dash), low) ||
                !wholeNumber(weight.substr(dash + 1), high) || low < 0 || high > 100 || low > high)
                return bad(err, "--weight takes MIN-MAX, two whole numbers from 0 to 100.");
        }
        if (!loa.empty() && haveTexts) return bad(err, "Give either --texts or --loa.");
        if (fn == 4 && count < 2) return bad(err, "--count must be 2 or more.");
        if ((fn == 8 || fn == 9) && distance < 0) return bad(err, "--distance must be 0 or more.");

        ConsoleUserInterface ui;
        RecentProjects recent;
        CVexDoc doc(ui, recent);
        if (!openExisting(doc, args[0], err)) return 1;
        Workspace ws(doc);
        Retrieval retrieval(ws);
        ws.options.includeSubcodes = subcodes;
        ws.options.orderByTextTree = order == "text";
        ws.options.useWeightFilter = !weight.empty();
        ws.options.lowWeight = low;
        ws.options.highWeight = high;

        std::vector<std::int32_t> textIds, codeIds;
        for (const auto& t : texts) {
            const std::int32_t id = ws.documents().FindText(t);
            if (!id) return fail(err, "There is no text " + t + ".");
            textIds.push_back(id);
        }
        for (const auto& c : codes) {
            const std::int32_t id = ws.codes().FindCodeByPath(0, c, false);
            if (!id) return fail(err, "There is no code " + c + ".");
            codeIds.push_back(id);
        }
        std::int32_t selectedId = 0;
        if (!selected.empty()) {
            selectedId = ws.codes().FindCodeByPath(0, selected, false);
            if (!selectedId) return fail(err, "There is no code " + selected + ".");
        }
        if (fn >= 5 && !selectedId)
            return fail(err, "The function " + function + " needs --code SELECTED.");

        // Activation in memory only: nothing of it reaches the project file.
        if (!loa.empty()) {
            variables::VariableActivation byVariables(ws);
            if (!byVariables.Open(loa)) return 1;
            if (byVariables.rows.empty())
                return fail(err, "The condition in " + loa + " names no field of this project.");
            byVariables.Activate();
        } else {
            for (std::int32_t t : haveTexts ? textIds : doc.store().ListIds(TopicId::Texts))
                ws.documents().ActivateObjects(ActivationScope::Text, t, true);
        }
        if (!act.empty()) {
            if (!retrieval.LoadActivation(act)) return 1;
        } else {
            for (std::int32_t c : haveCodes ? codeIds : ws.codes().Children(0))
                ws.codes().ActivateCode(c, true);
        }
        retrieval.settings.function = fn;
        ws.options.function = fn;
        FunctionDialogValues v{selectedId, fn == 4 ? count : distance, mode};
        retrieval.ApplyDialog(v);
        retrieval.BuildRetrieval();
        if (!saveAct.empty() && !retrieval.SaveActivation(saveAct)) return 1;

        out << retrieval.Title() << "\n";
        const TopicStore& st = doc.store();
        for (std::int32_t id : ws.retrieved) {
            const auto get = [&](int f) { return st.GetInt(TopicId::Codings, id, f); };
            std::string preview = st.GetText(TopicId::Codings, id, CodingField::Preview);
            if (preview.empty() && get(CodingField::Code) == 0) {
                RecordCursor c;
                if (doc.store().GetRecord(TopicId::Codings, id, c, true)) {
                    const auto& b = c.block(CodingField::Body);
                    const auto rich = platform::RichText::fromRtf(
                        std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
                    preview = rich.text(0, 63);
                }
            }
            out << cell(st.GetName(TopicId::Texts, get(CodingField::Text), true)) << '\t'
                << cell(st.GetName(TopicId::Codes, get(CodingField::Code), true)) << '\t'
                << get(CodingField::StartChar) << '\t' << get(CodingField::FinishChar) << '\t'
                << get(CodingField::StartPara) << '\t' << get(CodingField::FinishPara) << '\t'
                << get(CodingField::Weight) << '\t' << cell(preview) << '\n';
        }
        // A look at the project leaves no results behind in it.
        retrieval.RemoveResultCodings();
        return 0;
    }

private:
    int bad(std::ostream& err, const std::string& why) {
        err << why << "\n" << usage();
        return 2;
    }
    int fail(std::ostream& err, const std::string& why) {
        err << why << "\n";
        return 1;
    }
};

} // namespace

std::unique_ptr<Command> makeRetrieveCommand() {
    return std::make_unique<RetrieveCommand>();
}

} // namespace vexana::cli
