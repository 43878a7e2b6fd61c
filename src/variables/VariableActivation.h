#pragma once

#include "store/AppSettings.h"
#include "store/TopicStore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::analysis {
class Workspace;
}

namespace vexana::variables {

namespace Combination {
inline constexpr int Or = 0, And = 1;
}
namespace Operator {
inline constexpr int Equal = 0, NotEqual = 1, Less = 2, Greater = 3;
}

// One row of a logical condition over the texts' fields: how it joins the rows above it,
// the field, the operator and the value it compares with.
struct FormulaRow {
    std::int32_t fieldId = -1;
    std::string fieldName; // when the row was made; the display takes the field's own name
    int combination = Combination::Or;
    int op = Operator::Equal;
    std::string value;

    bool operator==(const FormulaRow&) const = default;
};

// "=", "<>", "<", ">"; empty for anything else.
std::string_view operatorText(int op);
// The operator of one of those texts, or -1.
int operatorOf(std::string_view text);

// The fields a condition may use: those the texts topic lists, without the type field.
std::vector<int> offeredFields(const store::TopicStore& store);
// A row for a field as "New" appends it: OR, "=", empty value.
FormulaRow newRow(const store::TopicStore& store, int fieldId);
// "[Age] > 30" for the first row, ".And. [Age] > 30" or ".OR. [Age] > 30" for the others;
// "[?]" when the field is gone.
std::string rowText(const store::TopicStore& store, const FormulaRow& row, bool first);
// The value edit's text as the row keeps it, by the field's type: Integer "%d" of the
// leading integer, String the first 63 characters, Floating point "%f" (more digits when
// "%f" would lose the number), Date/Time the date text or empty, Boolean "1" or "0".
std::string normaliseValue(const store::FieldInfo& field, std::string_view text);

// The condition's truth for every text, in topic order (ids in `texts` when given). Rows join
// strictly left to right: A, OR B, AND C is (A or B) and C. A row whose field or value cannot
// be read is true.
std::vector<char> evaluate(const store::TopicStore& store, const std::vector<FormulaRow>& rows,
                           std::vector<std::int32_t>* texts = nullptr);

// Each row's field name from its field, where the field is still there (a renamed variable).
void refreshNames(const store::TopicStore& store, std::vector<FormulaRow>& rows);

// The text form of a condition (".loa" files and the settings): "%d|%s|%d|%d|%s~" per row.
// False, with why, when a name or value holds "|", "~" or a line break, which that form
// cannot carry.
bool conditionText(const std::vector<FormulaRow>& rows, std::string& out, std::string& why);
// Reads the text form; rows on fields the project does not offer (matched by name) are
// dropped, as variables come and go. A row that is incomplete, has a combination other than
// 0 or 1, an operator outside 0 to 3 or a value its field cannot read makes the whole text
// damaged: false with why, and `out` untouched. `dropped` counts the dropped rows.
bool readCondition(const store::TopicStore& store, std::string_view text,
                   std::vector<FormulaRow>& out, std::string& why, int* dropped = nullptr);

// Activation by variables: the condition being edited, its files and its activation of
// the texts.
class VariableActivation {
public:
    static constexpr std::size_t maxFileBytes = std::size_t{1} << 20;

    explicit VariableActivation(analysis::Workspace& ws) : ws_(ws) {}

    std::vector<FormulaRow> rows;

    // Every text's activation becomes the condition's truth for it; the retrieval is rebuilt
    // once when any text changed. An empty condition leaves the activation as it is. True
    // when any text changed.
    bool Activate();

    // ".loa" files: the text form and one zero byte. Saving refuses what the form cannot
    // carry; a file that cannot be written or read, or a damaged one, is reported and the
    // rows stay as they were.
    bool Save(const std::string& path);
    bool Open(const std::string& path);
    // With the file dialogs; the folder of the last saved file is kept.
    bool SaveCommand();
    bool OpenCommand();
    const std::string& defaultFolder() const { return folder_; }

    // Settings section "LogActivation": "Data" (the rows) and "DefaultPath". The dialog's
    // "WindowPos" goes through AppSettings::windowPos.
    void LoadSettings(const store::AppSettings& settings);
    void StoreSettings(store::AppSettings& settings) const;

private:
    analysis::Workspace& ws_;
    std::string folder_;
};

} // namespace vexana::variables
