#include "FuzzProject.h"
#include "analysis/CodeSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Activation files and option strings from outside: any bytes give an activation of known
// codes and settings within their ranges.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana;
    using namespace vexana::store;
    static CVexDoc* doc = &fuzz::fuzzProject("activation");
    static analysis::Workspace ws(*doc);
    static analysis::Retrieval retrieval(ws);
    static const bool built = [] {
        const std::int32_t a = ws.codes().NewCode(0, "A", false);
        ws.codes().NewCode(a, "B", false);
        ws.codes().NewCode(0, "C", false);
        return true;
    }();
    (void)built;
    const std::string text(reinterpret_cast<const char*>(data), size);
    retrieval.ApplyActivation(platform::decodeTextFile(text));
    retrieval.ReadProgramOptions(text);
    retrieval.ReadProjectOptions(text);
    const auto& o = ws.options;
    const auto& a = retrieval.settings;
    if (o.lowWeight < 1 || o.highWeight > 100 || o.lowWeight > o.highWeight || a.function < 0 ||
        a.function > 9 || a.atLeastCount < 2 || a.followDistance < 0 || a.nearDistance < 0 ||
        a.nearMode < 0 || a.nearMode > 2)
        __builtin_trap();
    if (retrieval.ProjectOptions().size() > 200) __builtin_trap();
    return 0;
}
