#pragma once

#include "DocumentSystem.h"
#include "LogicalFunctions.h"
#include "Workspace.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexana::analysis {

// What the function dialog shows and the user may change.
struct FunctionDialogValues {
    std::int32_t code = 0;
    int number = 0; // At Least: the count; Followed by and Near: the distance
    int mode = 0;
};

// The list of retrieved segments: gathering, ordering, the logical functions, temporary
// result codings, the option strings and activation files.
class Retrieval : public RetrievalEngine, public store::ViewListener {
public:
    explicit Retrieval(Workspace& ws);
    ~Retrieval() override;

    void BuildRetrieval() override;
    void onViewEvent(store::ViewEvent, int, std::int32_t) override {}
    // A project's own settings come with it.
    void onProjectLoaded(bool) override { ReadProjectOptions(ws_.doc().options()); }
    std::vector<RetrievedSegment> GatherSegments(std::int32_t selected);
    // The temporary result codings of the last pass (functions 1 to 5) go.
    void RemoveResultCodings();
    int activeCodeCount() const { return activeCodes_; }

    AnalysisSettings settings;

    // The analysis title: the function's name with its parameters.
    std::string Title() const;
    // What stands above the list: the title, how many segments, whether the weight filter is
    // on; for an empty list, why it is empty.
    std::string Heading(std::size_t segments) const;

    // Selecting a function (the same one again does nothing); the dialog runs through dialog.
    bool SelectFunction(int function,
                        const std::function<bool(FunctionDialogValues&)>& dialog = {});
    // The dialog's values stored for the current function, raised to their minimums.
    void ApplyDialog(const FunctionDialogValues& values);
    FunctionDialogValues DialogValues() const;

    // Edit Function: the dialog for the current function; rebuilt only when it changed something.
    bool EditFunction(const std::function<bool(FunctionDialogValues&)>& dialog);
    // The dialog's "Code" button: the Quick-List's codes with their names; an empty list is
    // reported with "Quick-List is empty". Picking item i makes it the selected code.
    std::vector<std::pair<std::int32_t, std::string>> QuickListChoices();
    bool PickFromQuickList(FunctionDialogValues& values, std::size_t item);

    // The Analysis menu's ordering, subcode and weight filter commands.
    bool SetOrderByTextTree(bool on);
    void ToggleIncludeSubcodes();
    void ToggleWeightFilter();
    void SetWeightFilter(int low, int high);

    // Index of Coded Segments and Frequency of Codes (which switches the counting on).
    Overview IndexOfCodedSegments() const;
    Overview FrequencyOfCodes();

    // "%d|..." strings: the program's (settings file) and the project's (setup key Options).
    std::string ProgramOptions() const;
    void ReadProgramOptions(const std::string& text);
    std::string ProjectOptions() const;
    void ReadProjectOptions(const std::string& text);

    // Activation files: one code's full name per line ended by CR LF.
    std::string ActivationText() const;
    bool SaveActivation(const std::string& path);
    bool LoadActivation(const std::string& path);
    void ApplyActivation(const std::string& text);

    // A code by its full name, from the top level; 0 when there is none.
    std::int32_t FindCodeByFullName(const std::string& name) const;

private:
    void gather(std::int32_t parent, std::int32_t ancestor, std::int32_t excluded,
                std::vector<RetrievedSegment>& out, int depth);
    void appendCodings(std::int32_t code, std::int32_t ancestor, std::int32_t excluded,
                       std::vector<RetrievedSegment>& out);
    std::vector<std::int32_t> toResultCodings(const std::vector<RetrievedSegment>& result);
    bool resultsInMemory() const;
    void removeResults();

    Workspace& ws_;
    int activeCodes_ = 0;
};

} // namespace vexana::analysis
