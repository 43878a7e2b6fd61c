#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vexana::store {
class CVexDoc;
}
namespace vexana::analysis {
class Workspace;
class Retrieval;
} // namespace vexana::analysis

namespace vexana::cli {

// The options of 'retrieve' that choose the active texts and codes and the analysis; every
// command that works on what is active or retrieved takes them the same way.
struct RetrieveOptions {
    std::vector<std::string> texts, codes;
    std::string act, loa, saveAct, function = "or", selected, modeText, order = "text", weight;
    int count = 2, distance = 0;
    bool subcodes = false, haveTexts = false, haveCodes = false;
    bool given = false; // any of them was on the command line

    enum class Take { Taken, NotMine, Bad };
    // Takes args[i] (with its value or list) when it is one of these options; i moves past
    // what was taken. A bare argument while --texts or --codes is open joins that list; "--"
    // closes it. Bad sets why.
    Take take(const std::vector<std::string>& args, std::size_t& i, std::string& why);
    // Checks the values after parsing; false sets why (a wrong argument).
    bool check(std::string& why);
    // Activates texts and codes in memory and builds the retrieval; false after a message
    // to err (a failure).
    bool apply(store::CVexDoc& doc, analysis::Workspace& ws, analysis::Retrieval& retrieval,
               std::ostream& err);

    static std::string usage();

    // Set by check().
    int functionIndex = 0, modeIndex = 0, lowWeight = 1, highWeight = 100;

private:
    std::vector<std::string>* list_ = nullptr;
};

} // namespace vexana::cli
