#include "LogicalFunctions.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace vexana::analysis {

std::int32_t AnalysisSettings::selectedCode() const {
    switch (function) {
    case Difference:
        return differenceCode;
    case IfSurroundedBy:
        return surroundCode;
    case IfOutsideOf:
        return outsideCode;
    case FollowedBy:
        return followCode;
    case Near:
        return nearCode;
    default:
        return 0;
    }
}

std::string_view functionName(int function) {
    static constexpr std::string_view names[] = {
        "OR-Combination",    "Intersection",     "Overlapping",   "Only this Code", "At Least",
        "Difference (Less)", "If Surrounded by", "If Outside of", "Followed by",    "Near"};
    return function >= 0 && function <= 9 ? names[function] : std::string_view();
}

std::string_view functionExplanation(int function) {
    static constexpr std::string_view texts[] = {
        "Segments coded with any of the active codes will be listed",
        "Uses active codes to find intersections of their text segments. Only the shared "
        "intersection of sets is "
        "listed.",
        "Uses active codes to find intersections of their text segments. In addition to the shared "
        "intersection of "
        "the sets, the entire text segments will be listed.",
        "Only text passages will be listed where at least one of the active codes is present but "
        "no other of the "
        "active codes.",
        "Only those text passages will be listed where at least the  above defined number of "
        "active codes is "
        "present.",
        "Only text segments will be listed where the above selected code is present but none of "
        "the active codes.",
        "Uses the active code(s) to find text segment(s) which is (are) completely surrounded by "
        "the above selected "
        "code. See the options for listing the result above.",
        "Uses the active code(s) to find text segment(s) which is (are) completely outside of the "
        "above selected "
        "code. See the options for listing the result above.",
        "Find text segments where the active code(s) is (are) followed by the above selected code "
        "within the above "
        "selected number of paragraphs.\nSee the options for listing the result above.",
        "Find text segments where the active code(s) is (are) nested inside the above selected "
        "code within the "
        "above defined number of paragraphs. See the options for listing the result above.",
    };
    return function >= 0 && function <= 9 ? texts[function] : std::string_view();
}

namespace {

auto textOrder(const RetrievedSegment& s) {
    return std::tie(s.groupKey, s.groupId, s.textKey, s.textId);
}

// Begin decides; end and coding id only make the outcome the same on every run.
auto placeOrder(const RetrievedSegment& s) {
    return std::tie(s.begin, s.end, s.codingId);
}

bool codeBefore(const RetrievedSegment& a, const RetrievedSegment& b) {
    return a.codeKey != b.codeKey ? a.codeKey < b.codeKey : a.codeId > b.codeId;
}

} // namespace

bool textTreeLess(const RetrievedSegment& a, const RetrievedSegment& b) {
    if (a.textId != b.textId) return textOrder(a) < textOrder(b);
    if (a.codeId != b.codeId) return codeBefore(a, b);
    return placeOrder(a) < placeOrder(b);
}

bool codeTreeLess(const RetrievedSegment& a, const RetrievedSegment& b) {
    if (a.codeId != b.codeId) return codeBefore(a, b);
    if (a.textId != b.textId) return textOrder(a) < textOrder(b);
    return placeOrder(a) < placeOrder(b);
}

namespace {

// For each segment, where the run of segments of its text that it stands in ends.
std::vector<std::size_t> textRunEnds(const std::vector<RetrievedSegment>& list) {
    std::vector<std::size_t> end(list.size());
    for (std::size_t i = list.size(); i-- > 0;)
        end[i] = i + 1 < list.size() && list[i + 1].textId == list[i].textId ? end[i + 1] : i + 1;
    return end;
}

} // namespace

namespace {

bool meet(const RetrievedSegment& a, const RetrievedSegment& b) {
    return (a.begin <= b.begin && a.end >= b.begin) || (b.begin <= a.begin && b.end >= a.begin);
}

// One code's segments of one text run, in list order. When every range runs forwards, the
// first of each set of segments that meet one another, directly or through others, takes in
// all the rest, whatever the order they are met in: these sets are found by begin. A range
// running backwards makes the outcome depend on that order, so then it is followed step by
// step, with the removed ones unlinked.
void mergeGroup(std::vector<RetrievedSegment>& list, std::vector<std::size_t>& members,
                std::vector<char>& gone) {
    const bool forwards = std::all_of(members.begin(), members.end(),
                                      [&](std::size_t i) { return list[i].begin <= list[i].end; });
    if (forwards) {
        // Members come in list order; a sorted list has them by begin already.
        auto byBegin = [&](std::size_t a, std::size_t b) {
            return std::tie(list[a].begin, a) < std::tie(list[b].begin, b);
        };
        if (!std::is_sorted(members.begin(), members.end(), byBegin))
            std::sort(members.begin(), members.end(), byBegin);
        for (std::size_t k = 0; k < members.size();) {
            std::size_t first = members[k];
            std::int32_t begin = list[first].begin, end = list[first].end;
            std::size_t m = k + 1;
            for (; m < members.size() && list[members[m]].begin <= end; ++m) {
                first = std::min(first, members[m]);
                end = std::max(end, list[members[m]].end);
            }
            for (std::size_t x = k; x < m; ++x)
                gone[members[x]] = members[x] != first;
            list[first].begin = begin;
            list[first].end = end;
            k = m;
        }
        return;
    }
    const std::size_t n = members.size();
    std::vector<std::size_t> next(n);
    for (std::size_t k = 0; k < n; ++k)
        next[k] = k + 1;
    for (std::size_t k = 0; k < n; ++k) {
        if (gone[members[k]]) continue;
        RetrievedSegment& a = list[members[k]];
        for (std::size_t prev = k, j = next[k]; j < n;) {
            const RetrievedSegment& b = list[members[j]];
            if (!meet(a, b)) {
                prev = j;
                j = next[j];
                continue;
            }
            a.begin = std::min(a.begin, b.begin);
            a.end = std::max(a.end, b.end);
            gone[members[j]] = 1;
            next[prev] = next[j];
            prev = k; // start again after k
            j = next[k];
        }
    }
}

// Equal keys sort together; ties keep list order.
template <class Key>
void sortRun(std::vector<std::size_t>& idx, const std::vector<RetrievedSegment>& list, Key key) {
    std::sort(idx.begin(), idx.end(), [&](std::size_t a, std::size_t b) {
        const auto ka = key(list[a]), kb = key(list[b]);
        return ka != kb ? ka < kb : a < b;
    });
}

void dropGone(std::vector<RetrievedSegment>& list, const std::vector<char>& gone) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (!gone[i]) list[out++] = list[i];
    list.resize(out);
}

} // namespace

void MergeSegments(std::vector<RetrievedSegment>& list) {
    const std::size_t n = list.size();
    const std::vector<std::size_t> textEnd = textRunEnds(list);
    std::vector<char> gone(n, 0);
    std::vector<std::size_t> idx, members;
    std::vector<std::int32_t> blockCodes;
    for (std::size_t start = 0; start < n; start = textEnd[start]) {
        idx.resize(textEnd[start] - start);
        for (std::size_t i = 0; i < idx.size(); ++i)
            idx[i] = start + i;
        // In a sorted list each code's segments stand together already.
        blockCodes.clear();
        for (std::size_t i = start; i < textEnd[start]; ++i)
            if (i == start || list[i].codeId != list[i - 1].codeId)
                blockCodes.push_back(list[i].codeId);
        std::sort(blockCodes.begin(), blockCodes.end());
        if (std::adjacent_find(blockCodes.begin(), blockCodes.end()) != blockCodes.end())
            sortRun(idx, list, [](const RetrievedSegment& s) { return s.codeId; });
        for (std::size_t k = 0; k < idx.size();) {
            std::size_t m = k;
            while (m < idx.size() && list[idx[m]].codeId == list[idx[k]].codeId)
                ++m;
            members.assign(idx.begin() + static_cast<std::ptrdiff_t>(k),
                           idx.begin() + static_cast<std::ptrdiff_t>(m));
            mergeGroup(list, members, gone);
            k = m;
        }
    }
    dropGone(list, gone);
}

namespace {

// Where the runs of one text and of one code within it end, and whether a code's run is in
// the order of its begins with ends that never fall back (merged segments are): then the
// segments that can meet a range lie together and are found by halving.
struct Runs {
    std::vector<std::size_t> textEnd, codeEnd;
    std::vector<char> ordered; // per segment, for its code's run
    explicit Runs(const std::vector<RetrievedSegment>& list)
        : textEnd(textRunEnds(list)), codeEnd(list.size()), ordered(list.size(), 1) {
        for (std::size_t i = list.size(); i-- > 0;) {
            const bool sameCode = textEnd[i] > i + 1 && list[i + 1].codeId == list[i].codeId;
            codeEnd[i] = sameCode ? codeEnd[i + 1] : i + 1;
            ordered[i] = list[i].begin <= list[i].end &&
                         (!sameCode || (ordered[i + 1] && list[i].begin <= list[i + 1].begin &&
                                        list[i].end <= list[i + 1].end));
        }
    }
};

void chain(const std::vector<RetrievedSegment>& list, const Runs& runs,
           const RetrievedSegment& current, std::int32_t firstCode, int depth, std::size_t from,
           int n, std::vector<RetrievedSegment>& out) {
    if (from >= list.size() || list[from].textId != current.textId) return;
    const std::size_t stop = runs.textEnd[from];
    // Each step of a chain takes one more of the text's later segments: too few left, no chain.
    if (stop - from < static_cast<std::size_t>(std::max(0, n - depth))) return;
    auto follow = [&](std::size_t k) {
        const RetrievedSegment& s = list[k];
        const bool overlap = (s.begin <= current.begin && current.begin < s.end) ||
                             (current.begin <= s.begin && s.begin < current.end);
        if (!overlap) return;
        RetrievedSegment next = current;
        next.begin = std::max(current.begin, s.begin);
        next.end = std::min(current.end, s.end);
        next.unionBegin = std::min(current.unionBegin, s.begin);
        next.unionEnd = std::max(current.unionEnd, s.end);
        if (depth + 1 == n)
            out.push_back(next);
        else
            chain(list, runs, next, firstCode, depth + 1, k + 1, n, out);
    };
    for (std::size_t k = from; k < stop; k = runs.codeEnd[k]) {
        const std::size_t end = runs.codeEnd[k];
        if (list[k].codeId == firstCode) continue;
        if (!runs.ordered[k]) {
            for (std::size_t i = k; i < end; ++i)
                follow(i);
            continue;
        }
        // Only those ending at or after the range's begin and beginning at or before its end
        // can overlap it; the test above decides.
        const std::int32_t last = std::max(current.begin, current.end);
        std::size_t i = static_cast<std::size_t>(
            std::partition_point(list.begin() + static_cast<std::ptrdiff_t>(k),
                                 list.begin() + static_cast<std::ptrdiff_t>(end),
                                 [&](const RetrievedSegment& s) { return s.end < current.begin; }) -
            list.begin());
        for (; i < end && list[i].begin <= last; ++i)
            follow(i);
    }
}

// The positions of each text's segments, in list order.
std::unordered_map<std::int32_t, std::vector<std::size_t>>
byText(const std::vector<RetrievedSegment>& list) {
    std::unordered_map<std::int32_t, std::vector<std::size_t>> out;
    for (std::size_t i = 0; i < list.size(); ++i)
        out[list[i].textId].push_back(i);
    return out;
}

bool overlaps(std::int32_t aBegin, std::int32_t aEnd, std::int32_t bBegin, std::int32_t bEnd) {
    return aBegin < bEnd && aEnd > bBegin;
}

std::vector<RetrievedSegment> intersectAll(std::vector<RetrievedSegment> list, int n) {
    MergeSegments(list);
    std::vector<RetrievedSegment> out;
    IntersectChains(list, n, out);
    return out;
}

} // namespace

void IntersectChains(const std::vector<RetrievedSegment>& list, int n,
                     std::vector<RetrievedSegment>& out) {
    const Runs runs(list);
    for (std::size_t s = 0; s < list.size(); ++s)
        chain(list, runs, list[s], list[s].codeId, 1, s + 1, n, out);
}

void RemoveDuplicateSegments(std::vector<RetrievedSegment>& list) {
    // Within a text's run the first of each code and range stays and every later one goes.
    const std::vector<std::size_t> textEnd = textRunEnds(list);
    std::vector<char> gone(list.size(), 0);
    std::vector<std::size_t> idx;
    for (std::size_t start = 0; start < list.size(); start = textEnd[start]) {
        idx.resize(textEnd[start] - start);
        for (std::size_t i = 0; i < idx.size(); ++i)
            idx[i] = start + i;
        auto key = [](const RetrievedSegment& s) { return std::tuple(s.codeId, s.begin, s.end); };
        sortRun(idx, list, key);
        for (std::size_t k = 1; k < idx.size(); ++k)
            gone[idx[k]] = key(list[idx[k]]) == key(list[idx[k - 1]]);
    }
    dropGone(list, gone);
}

std::vector<RetrievedSegment> RunFunction(const AnalysisSettings& settings,
                                          std::vector<RetrievedSegment> list, int activeCodes,
                                          const std::vector<CodingRange>& allCodings) {
    std::vector<RetrievedSegment> r;
    switch (settings.function) {
    case Intersection:
        return intersectAll(std::move(list), activeCodes);
    case Overlapping:
        r = intersectAll(std::move(list), activeCodes);
        for (auto& s : r) {
            s.codeId = 0;
            s.begin = s.unionBegin;
            s.end = s.unionEnd;
        }
        MergeSegments(r);
        return r;
    case AtLeast:
        r = intersectAll(std::move(list), std::max(2, settings.atLeastCount));
        for (auto& s : r)
            s.codeId = 0;
        MergeSegments(r);
        return r;
    case OnlyThisCode: {
        std::unordered_set<std::int32_t> inList;
        for (auto& s : list) {
            inList.insert(s.codingId);
            s.codeId = 0;
        }
        std::unordered_map<std::int32_t, std::vector<const CodingRange*>> others;
        for (const auto& c : allCodings)
            if (!inList.count(c.id)) others[c.text].push_back(&c);
        MergeSegments(list);
        std::erase_if(list, [&](const RetrievedSegment& s) {
            auto it = others.find(s.textId);
            if (it == others.end()) return false;
            return std::any_of(it->second.begin(), it->second.end(), [&](const CodingRange* c) {
                return overlaps(c->start, c->finish, s.begin, s.end);
            });
        });
        return list;
    }
    case Difference: {
        for (auto& s : list)
            if (s.selected) r.push_back(s);
        std::erase_if(list, [](const RetrievedSegment& s) { return s.selected; });
        const auto rest = byText(list);
        std::erase_if(r, [&](const RetrievedSegment& s) {
            auto it = rest.find(s.textId);
            if (it == rest.end()) return false;
            return std::any_of(it->second.begin(), it->second.end(), [&](std::size_t k) {
                return overlaps(list[k].begin, list[k].end, s.begin, s.end);
            });
        });
        return r;
    }
    case IfSurroundedBy:
    case IfOutsideOf:
    case FollowedBy:
    case Near: {
        std::vector<RetrievedSegment> selected;
        for (auto& s : list)
            if (s.selected) {
                selected.push_back(s);
                selected.back().codeKey = std::abs(s.codeKey);
            }
        std::erase_if(list, [](const RetrievedSegment& s) { return s.selected; });
        const auto rest = byText(list);
        const int fn = settings.function;
        const int mode = fn == IfSurroundedBy ? settings.surroundMode
                         : fn == IfOutsideOf  ? settings.outsideMode
                         : fn == FollowedBy   ? settings.followMode
                                              : settings.nearMode;
        auto matches = [&](const RetrievedSegment& s, const RetrievedSegment& c) {
            switch (fn) {
            case IfSurroundedBy:
                return s.begin <= c.begin && c.end <= s.end;
            case IfOutsideOf:
                return c.end < s.begin || c.begin > s.end;
            case FollowedBy: {
                int d = s.beginPara - c.endPara;
                if (d < 0) {
                    if (s.begin < c.begin) return false;
                    d = 0;
                }
                return d <= settings.followDistance;
            }
            default: {
                int d = 0;
                if (!((c.begin <= s.begin && c.end >= s.end) || s.end == c.begin))
                    d = std::min(std::abs(s.beginPara - c.endPara),
                                 std::abs(s.endPara - c.beginPara));
                return d <= settings.nearDistance;
            }
            }
        };
        for (const auto& s : selected) {
            auto it = rest.find(s.textId);
            if (it == rest.end()) continue;
            for (std::size_t k : it->second) {
                const RetrievedSegment& c = list[k];
                if (!matches(s, c)) continue;
                if (mode == ListSelected || mode == ListBoth) r.push_back(s);
                if (mode == ListActive || mode == ListBoth) r.push_back(c);
            }
        }
        RemoveDuplicateSegments(r);
        return r;
    }
    default:
        return list;
    }
}

} // namespace vexana::analysis
