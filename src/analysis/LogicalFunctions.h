#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace vexana::analysis {

// The working record of one retrieval pass.
struct RetrievedSegment {
    std::int32_t codingId = 0;
    std::int32_t textId = 0;
    std::int32_t textKey = 0;
    // The text's group and its key: the Document System shows texts group by group.
    std::int32_t groupId = 0;
    std::int32_t groupKey = 0;
    std::int32_t codeId = 0;
    // The key of the code the segment is listed under (one key per code id), negated for the
    // selected code's segments.
    std::int32_t codeKey = 0;
    std::int32_t begin = 0;
    std::int32_t end = 0;
    std::int32_t unionBegin = 0;
    std::int32_t unionEnd = 0;
    std::int32_t beginPara = 0;
    std::int32_t endPara = 0;
    // The selected code's segments: a code key of 0 cannot carry the sign, so it is kept here.
    bool selected = false;

    bool operator==(const RetrievedSegment&) const = default;
};

enum AnalysisFunction {
    OrCombination = 0,
    Intersection = 1,
    Overlapping = 2,
    OnlyThisCode = 3,
    AtLeast = 4,
    Difference = 5,
    IfSurroundedBy = 6,
    IfOutsideOf = 7,
    FollowedBy = 8,
    Near = 9,
};

enum ListingMode { ListSelected = 0, ListActive = 1, ListBoth = 2 };

struct AnalysisSettings {
    int function = OrCombination;
    int atLeastCount = 2;
    std::int32_t differenceCode = 0;
    std::int32_t surroundCode = 0;
    int surroundMode = 0;
    std::int32_t outsideCode = 0;
    int outsideMode = 0;
    std::int32_t followCode = 0;
    int followDistance = 0;
    int followMode = 0;
    std::int32_t nearCode = 0;
    int nearDistance = 0;
    int nearMode = 0;

    // The selected code of the current function (functions 5 to 9), 0 otherwise.
    std::int32_t selectedCode() const;
};

std::string_view functionName(int function);
std::string_view functionExplanation(int function);

// The two orders of retrieved segments. Texts stand as the Document System shows them: by
// group key, group id, text key, text id. Codes: by code key, then the larger code id first.
// Text tree: text, then code, then begin; code tree: code, then text, then begin; end and
// coding id settle what is left. Both are strict weak orders as long as a code id carries one
// code key, as gathering makes it.
bool textTreeLess(const RetrievedSegment& a, const RetrievedSegment& b);
bool codeTreeLess(const RetrievedSegment& a, const RetrievedSegment& b);

void MergeSegments(std::vector<RetrievedSegment>& list);
void IntersectChains(const std::vector<RetrievedSegment>& list, int n,
                     std::vector<RetrievedSegment>& out);
void RemoveDuplicateSegments(std::vector<RetrievedSegment>& list);

// A coding of the project as Only this Code sees it.
struct CodingRange {
    std::int32_t id, text, start, finish;
};

// Runs one function on the gathered, sorted list. activeCodes: the count from gathering.
// allCodings: every coding of the project (for Only this Code).
std::vector<RetrievedSegment> RunFunction(const AnalysisSettings& settings,
                                          std::vector<RetrievedSegment> list, int activeCodes,
                                          const std::vector<CodingRange>& allCodings);

} // namespace vexana::analysis
