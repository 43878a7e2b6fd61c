#pragma once

#include "browser/TextSearch.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::analysis {
class Workspace;
enum class ActivationScope;
} // namespace vexana::analysis

namespace vexana::store {
class AppSettings;
class TopicStore;
} // namespace vexana::store

namespace vexana::wordanalysis {

class Dictionary;

// Field ids of the coder's results (topic 20). The store keeps fields in id order and ids
// small, so the category columns follow as FirstCategory + their place in name order.
namespace CoderField {
inline constexpr int ID = 0, Type = 1, TextGroup = 2, Text = 3, TextId = 4, Code = 5, Words = 6,
                     FirstCategory = 7;
inline constexpr int MaxCategories = 100000 - FirstCategory;
} // namespace CoderField

struct CoderOptions {
    int level = 0;                   // 0: whole texts; n: codes n - 1 levels below `codes`
    std::vector<std::int32_t> codes; // the ticked top-level codes
    bool oneWordCount = false;       // "Count Same Words Only Once"
    bool noEmptyItems = false;       // "Results: List Only Existing Text Units"
    std::string documentation;       // where the tagged documentation goes; empty: none

    // "OneWordCount", "NoEmptyItems", and "ValidateDir" when "Validate" is on.
    static CoderOptions fromSettings(const store::AppSettings& settings);
};

// One place where a category's item was counted, in the unit's characters.
struct CoderHit {
    std::int32_t category = 0; // the category's "Number"
    std::int32_t start = 0;
    std::int32_t end = 0;
};

// The dictionary made ready for many units: items decoded (and folded where the case does not
// matter), grouped by result column.
class DictionaryMatcher {
public:
    DictionaryMatcher(const Dictionary& dictionary, browser::WordDelimiters delimiters);

    // The categories of Type 0 in column order (by name without case).
    const std::vector<std::int32_t>& columns() const { return columns_; }
    // Adds each column's count for one unit of plain text to counts (one per column).
    // A category counts a place once, however many of its items start there; with once, an
    // item counts at most once per unit. hits: where to list the counted places, or nullptr.
    void match(std::u32string_view text, bool once, std::vector<std::int32_t>& counts,
               std::vector<CoderHit>* hits) const;
    // The words of a unit: delimiter-separated tokens shorter than 64 bytes.
    std::int32_t words(std::u32string_view text) const;

private:
    struct Needle {
        std::u32string text;
        bool exact, caseSensitive, startingLetters;
    };
    struct Column {
        std::int32_t number;
        std::vector<Needle> needles;
    };
    bool separatorAt(std::u32string_view text, std::size_t i) const;
    browser::WordDelimiters delimiters_;
    std::vector<std::int32_t> columns_;
    std::vector<Column> items_;
    bool anyFolded_ = false;
};

struct CoderOutcome {
    bool ok = false;   // false: nothing was changed and `error` says why
    std::string error; // the reason it failed, or why the documentation was not written
    int units = 0;     // rows of the results
    bool documented = false;
};

// The "VEXLexa Coder": counts the dictionary's categories per text unit into topic 20.
class DictionaryCoder {
public:
    DictionaryCoder(analysis::Workspace& ws, const Dictionary& dictionary,
                    browser::WordDelimiters delimiters = browser::WordDelimiters());

    // The texts of a clicked object of the Document System, in topic order.
    static std::vector<std::int32_t> textsOf(const store::TopicStore& store,
                                             analysis::ActivationScope scope, std::int32_t id);
    // The highest level the codes allow: the smallest leaf depth among them (1 with none).
    static int levelBound(const store::TopicStore& store, const std::vector<std::int32_t>& codes);
    // The project keys "QntCodes" ("[%d]" per code) and "QntDepth".
    static std::string codesSetting(const std::vector<std::int32_t>& codes);
    static std::vector<std::int32_t> parseCodesSetting(std::string_view setting);
    std::vector<std::int32_t> storedCodes() const;
    int storedLevel() const;

    // One run as one unit: the keys are stored and the results rebuilt, or nothing changes.
    // The documentation file is written afterwards; a failure there leaves the results.
    CoderOutcome run(const std::vector<std::int32_t>& texts, const CoderOptions& options);

private:
    analysis::Workspace& ws_;
    const Dictionary& dictionary_;
    browser::WordDelimiters delimiters_;
};

} // namespace vexana::wordanalysis
