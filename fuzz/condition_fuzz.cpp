#include "FuzzProject.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "variables/VariableActivation.h"
#include "variables/Variables.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Condition files (".loa") and the settings value from outside: any bytes give either a
// refusal or rows that name offered fields with a known combination and operator, and those
// rows are written and read back the same.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana;
    using namespace vexana::store;
    static CVexDoc* doc = &fuzz::fuzzProject("condition");
    static analysis::Workspace ws(*doc);
    static const bool built = [] {
        const std::int32_t g = ws.documents().NewTextGroup();
        ws.documents().CreateTextWith(g, "A", "{\\rtf1 a}");
        ws.documents().CreateTextWith(g, "B", "{\\rtf1 b}");
        variables::Variables vars(*doc);
        for (const auto& t : variables::offeredTypes())
            vars.Add(std::string(t.name).substr(0, 1) + "v", t.code);
        return true;
    }();
    (void)built;
    std::string text =
        platform::decodeTextFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (const auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    std::vector<variables::FormulaRow> rows;
    std::string why;
    if (!variables::readCondition(doc->store(), text, rows, why)) {
        if (why.empty()) __builtin_trap();
        return 0;
    }
    const auto offered = variables::offeredFields(doc->store());
    for (const auto& r : rows) {
        if (r.op < 0 || r.op > 3 || (r.combination != 0 && r.combination != 1)) __builtin_trap();
        if (std::find(offered.begin(), offered.end(), r.fieldId) == offered.end()) __builtin_trap();
    }
    (void)variables::evaluate(doc->store(), rows);
    std::string written;
    if (!variables::conditionText(rows, written, why)) return 0;
    std::vector<variables::FormulaRow> again;
    if (!variables::readCondition(doc->store(), written, again, why) || again != rows)
        __builtin_trap();
    return 0;
}
