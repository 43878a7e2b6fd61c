#include "RetrieveOptions.h"

#include "Command.h"
#include "analysis/CodeSystem.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "variables/VariableActivation.h"

#include <cstdlib>

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

} // namespace

std::string RetrieveOptions::usage() {
    std::string u =
        "Activates the texts (\"Group\\Text\") and codes (\"Parent\\Child\", each with its "
        "subcodes)\n"
        "given, all of them when a list is not given; --loa FILE activates the texts by the\n"
        "condition on variables of a .loa file (see 'activate'); --act FILE takes the active\n"
        "codes from an activation file instead. --save-act FILE writes the active codes as an\n"
        "activation file.\n"
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

RetrieveOptions::Take RetrieveOptions::take(const std::vector<std::string>& args, std::size_t& i,
                                            std::string& why) {
    const std::string& a = args[i];
    if (a == "--texts") {
        list_ = &texts, haveTexts = true, given = true;
        return Take::Taken;
    }
    if (a == "--codes") {
        list_ = &codes, haveCodes = true, given = true;
        return Take::Taken;
    }
    if (a == "--") {
        list_ = nullptr;
        return Take::NotMine;
    }
    if (!a.starts_with("--")) {
        if (!list_) return Take::NotMine;
        list_->push_back(a);
        return Take::Taken;
    }
    list_ = nullptr;
    if (a == "--subcodes") {
        subcodes = given = true;
        return Take::Taken;
    }
    std::string* into = nullptr;
    if (a == "--act")
        into = &act;
    else if (a == "--loa")
        into = &loa;
    else if (a == "--save-act")
        into = &saveAct;
    else if (a == "--function")
        into = &function;
    else if (a == "--code")
        into = &selected;
    else if (a == "--mode")
        into = &modeText;
    else if (a == "--order")
        into = &order;
    else if (a == "--weight")
        into = &weight;
    else if (a != "--count" && a != "--distance")
        return Take::NotMine;
    if (i + 1 >= args.size()) {
        why = a + " needs a value.";
        return Take::Bad;
    }
    const std::string& v = args[++i];
    given = true;
    if (into) {
        *into = v;
        return Take::Taken;
    }
    if (!wholeNumber(v, a == "--count" ? count : distance)) {
        why = a + " takes a whole number.";
        return Take::Bad;
    }
    return Take::Taken;
}

bool RetrieveOptions::check(std::string& why) {
    functionIndex = -1;
    for (int f = 0; f <= 9; ++f)
        if (function == functionArgs[f]) functionIndex = f;
    if (functionIndex < 0) return why = "Unknown function " + function + ".", false;
    modeIndex = 0;
    if (modeText == "active")
        modeIndex = 1;
    else if (modeText == "all")
        modeIndex = 2;
    else if (!modeText.empty() && modeText != "selected")
        return why = "--mode is selected, active or all.", false;
    if (order != "text" && order != "code") return why = "--order is text or code.", false;
    lowWeight = 1, highWeight = 100;
    if (!weight.empty()) {
        const auto dash = weight.find('-');
        if (dash == std::string::npos || !wholeNumber(weight.substr(0, dash), lowWeight) ||
            !wholeNumber(weight.substr(dash + 1), highWeight) || lowWeight < 0 ||
            highWeight > 100 || lowWeight > highWeight)
            return why = "--weight takes MIN-MAX, two whole numbers from 0 to 100.", false;
    }
    if (!loa.empty() && haveTexts) return why = "Give either --texts or --loa.", false;
    if (functionIndex == 4 && count < 2) return why = "--count must be 2 or more.", false;
    if ((functionIndex == 8 || functionIndex == 9) && distance < 0)
        return why = "--distance must be 0 or more.", false;
    return true;
}

bool RetrieveOptions::apply(CVexDoc& doc, Workspace& ws, Retrieval& retrieval, std::ostream& err) {
    ws.options.includeSubcodes = subcodes;
    ws.options.orderByTextTree = order == "text";
    ws.options.useWeightFilter = !weight.empty();
    ws.options.lowWeight = lowWeight;
    ws.options.highWeight = highWeight;
    const auto fail = [&](const std::string& why) {
        err << why << "\n";
        return false;
    };

    std::vector<std::int32_t> textIds, codeIds;
    for (const auto& t : texts) {
        std::string why;
        const std::int32_t id = findText(ws, t, why);
        if (!id) return fail(why);
        textIds.push_back(id);
    }
    for (const auto& c : codes) {
        const std::int32_t id = ws.codes().FindCodeByPath(0, c, false);
        if (!id) return fail("There is no code " + c + ".");
        codeIds.push_back(id);
    }
    std::int32_t selectedId = 0;
    if (!selected.empty()) {
        selectedId = ws.codes().FindCodeByPath(0, selected, false);
        if (!selectedId) return fail("There is no code " + selected + ".");
    }
    if (functionIndex >= 5 && !selectedId)
        return fail("The function " + function + " needs --code SELECTED.");

    // Activation in memory only: nothing of it reaches the project file.
    if (!loa.empty()) {
        variables::VariableActivation byVariables(ws);
        if (!byVariables.Open(loa)) return false;
        if (byVariables.rows.empty())
            return fail("The condition in " + loa + " names no field of this project.");
        byVariables.Activate();
    } else {
        for (std::int32_t t : haveTexts ? textIds : doc.store().ListIds(TopicId::Texts))
            ws.documents().ActivateObjects(ActivationScope::Text, t, true);
    }
    if (!act.empty()) {
        if (!retrieval.LoadActivation(act)) return false;
    } else {
        for (std::int32_t c : haveCodes ? codeIds : ws.codes().Children(0))
            ws.codes().ActivateCode(c, true);
    }
    retrieval.settings.function = functionIndex;
    ws.options.function = functionIndex;
    FunctionDialogValues v{selectedId, functionIndex == 4 ? count : distance, modeIndex};
    retrieval.ApplyDialog(v);
    retrieval.BuildRetrieval();
    return saveAct.empty() || retrieval.SaveActivation(saveAct);
}

} // namespace vexana::cli
