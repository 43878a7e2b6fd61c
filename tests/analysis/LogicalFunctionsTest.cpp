#include "analysis/LogicalFunctions.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <tuple>

using namespace vexana::analysis;

namespace {

RetrievedSegment seg(std::int32_t text, std::int32_t code, std::int32_t begin, std::int32_t end,
                     int bp = 1, int ep = 1, bool selected = false) {
    RetrievedSegment s;
    static std::int32_t next = 1;
    s.codingId = next++;
    s.textId = text;
    s.textKey = text;
    s.codeId = code;
    s.codeKey = selected ? -code : code;
    s.selected = selected;
    s.begin = s.unionBegin = begin;
    s.end = s.unionEnd = end;
    s.beginPara = bp;
    s.endPara = ep;
    return s;
}

std::vector<RetrievedSegment> run(int fn, std::vector<RetrievedSegment> list, int activeCodes = 2,
                                  int number = 0, int mode = 0,
                                  const std::vector<CodingRange>& all = {}) {
    AnalysisSettings a;
    a.function = fn;
    a.atLeastCount = number;
    a.followDistance = a.nearDistance = number;
    a.surroundMode = a.outsideMode = a.followMode = a.nearMode = mode;
    std::sort(list.begin(), list.end(), fn <= AtLeast ? textTreeLess : codeTreeLess);
    return RunFunction(a, std::move(list), activeCodes, all);
}

using Range =
    std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t>; // text, code, begin, end
std::set<Range> ranges(const std::vector<RetrievedSegment>& r) {
    std::set<Range> out;
    for (const auto& s : r)
        out.emplace(s.textId, s.codeId, s.begin, s.end);
    return out;
}

// Merging: a segment takes in every later one of its code in its text's run that it meets,
// starting over after each; the others keep their places.
std::vector<RetrievedSegment> slowMerge(std::vector<RetrievedSegment> l) {
    for (std::size_t i = 0; i < l.size(); ++i)
        for (std::size_t j = i + 1; j < l.size() && l[j].textId == l[i].textId; ++j) {
            RetrievedSegment &a = l[i], &b = l[j];
            if (b.codeId != a.codeId || !((a.begin <= b.begin && a.end >= b.begin) ||
                                          (b.begin <= a.begin && b.end >= a.begin)))
                continue;
            a.begin = std::min(a.begin, b.begin);
            a.end = std::max(a.end, b.end);
            l.erase(l.begin() + static_cast<std::ptrdiff_t>(j));
            j = i;
        }
    return l;
}

// The first of each code and range stays within its text's run.
std::vector<RetrievedSegment> slowUnique(std::vector<RetrievedSegment> l) {
    for (std::size_t i = 0; i < l.size(); ++i)
        for (std::size_t j = i + 1; j < l.size() && l[j].textId == l[i].textId; ++j)
            if (std::tie(l[j].codeId, l[j].begin, l[j].end) ==
                std::tie(l[i].codeId, l[i].begin, l[i].end))
                l.erase(l.begin() + static_cast<std::ptrdiff_t>(j--));
    return l;
}

} // namespace

TEST(LogicalFunctions, MergingIntersectingAndOverlapping) {
    std::vector<RetrievedSegment> l = {seg(1, 1, 0, 5), seg(1, 1, 5, 9), seg(1, 2, 3, 4),
                                       seg(2, 1, 9, 12)};
    MergeSegments(l);
    EXPECT_EQ(ranges(l), (std::set<Range>{{1, 1, 0, 9}, {1, 2, 3, 4}, {2, 1, 9, 12}}));

    // The intersection carries the chain's first code; touching segments do not intersect.
    EXPECT_EQ(ranges(run(Intersection, {seg(1, 1, 0, 10), seg(1, 2, 5, 15)})),
              (std::set<Range>{{1, 1, 5, 10}}));
    EXPECT_TRUE(run(Intersection, {seg(1, 1, 0, 5), seg(1, 2, 5, 9)}).empty());
    EXPECT_TRUE(run(Intersection, {seg(1, 1, 0, 10), seg(1, 2, 5, 15)}, 1).empty());
    EXPECT_TRUE(run(Intersection, {seg(1, 1, 0, 10), seg(2, 2, 5, 15)}).empty()); // other texts
    EXPECT_EQ(ranges(run(Intersection, {seg(1, 1, 0, 10), seg(1, 2, 2, 8), seg(1, 3, 6, 20)}, 3)),
              (std::set<Range>{{1, 1, 6, 8}}));
    EXPECT_EQ(ranges(run(Overlapping, {seg(1, 1, 0, 10), seg(1, 2, 5, 15), seg(1, 1, 30, 35)})),
              (std::set<Range>{{1, 0, 0, 15}}));
    EXPECT_EQ(ranges(run(AtLeast, {seg(1, 1, 0, 10), seg(1, 2, 5, 15), seg(1, 3, 12, 20)}, 3, 2)),
              (std::set<Range>{{1, 0, 5, 10}, {1, 0, 12, 15}}));
}

TEST(LogicalFunctions, OnlyThisCodeAndDifference) {
    auto a = seg(1, 1, 0, 10), b = seg(1, 2, 8, 14), c = seg(1, 1, 30, 40);
    const std::vector<CodingRange> all = {
        {a.codingId, 1, 0, 10}, {b.codingId, 1, 8, 14}, {c.codingId, 1, 30, 40}, {999, 1, 35, 36}};
    // a and b meet and are united; c overlaps the inactive coding 999 and goes.
    EXPECT_EQ(ranges(run(OnlyThisCode, {a, b, c}, 2, 0, 0, all)), (std::set<Range>{{1, 0, 0, 14}}));

    const auto s1 = seg(1, 9, 0, 5, 1, 1, true), s2 = seg(1, 9, 20, 25, 1, 1, true),
               s3 = seg(2, 9, 0, 5, 1, 1, true);
    EXPECT_EQ(ranges(run(Difference, {s1, s2, s3, seg(1, 1, 22, 30)})),
              (std::set<Range>{{1, 9, 0, 5}, {2, 9, 0, 5}}));
    EXPECT_TRUE(run(Difference, {seg(1, 1, 0, 5)}).empty());
}

TEST(LogicalFunctions, PairFunctionsListingModesAndDuplicates) {
    const auto s = seg(1, 9, 10, 50, 2, 4, true);
    const auto inside = seg(1, 1, 20, 30, 3, 3), outside = seg(1, 1, 60, 70, 6, 6);
    EXPECT_EQ(ranges(run(IfSurroundedBy, {s, inside, outside}, 1, 0, ListActive)),
              (std::set<Range>{{1, 1, 20, 30}}));
    EXPECT_EQ(ranges(run(IfOutsideOf, {s, inside, outside}, 1, 0, ListActive)),
              (std::set<Range>{{1, 1, 60, 70}}));
    EXPECT_EQ(run(IfSurroundedBy, {s, inside, seg(1, 2, 25, 28, 3, 3)}, 1, 0, ListSelected).size(),
              1u);
    EXPECT_EQ(run(IfSurroundedBy, {s, inside}, 1, 0, ListBoth).size(), 2u);
    EXPECT_TRUE(
        run(IfOutsideOf, {inside}, 1, 0, ListActive).empty()); // no selected segment in the text

    // Followed by with distance 0: the selected code starts in the paragraph where the active one
    // ends.
    const auto active = seg(1, 1, 0, 20, 1, 2);
    EXPECT_EQ(run(FollowedBy, {active, seg(1, 9, 25, 30, 2, 2, true)}, 1, 0, ListActive).size(),
              1u);
    EXPECT_TRUE(run(FollowedBy, {active, seg(1, 9, 40, 50, 3, 3, true)}, 1, 0, ListActive).empty());
    EXPECT_EQ(run(FollowedBy, {active, seg(1, 9, 40, 50, 3, 3, true)}, 1, 1, ListActive).size(),
              1u);
    EXPECT_TRUE(
        run(FollowedBy, {seg(1, 1, 10, 20, 2, 2), seg(1, 9, 0, 5, 1, 1, true)}, 1, 0, ListActive)
            .empty());
    // Near: a containing active segment is at distance 0.
    EXPECT_EQ(run(Near, {seg(1, 1, 0, 100, 1, 9), seg(1, 9, 40, 50, 5, 5, true)}, 1, 0, ListActive)
                  .size(),
              1u);
    EXPECT_TRUE(run(Near, {seg(1, 1, 0, 10, 1, 1), seg(1, 9, 40, 50, 5, 5, true)}, 1, 3, ListActive)
                    .empty());
}

// Every function against a slow reference written from its definition, on random lists.
TEST(LogicalFunctions, MatchSlowReferencesOnRandomLists) {
    std::mt19937 rng(42);
    auto rnd = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 3000; ++round) {
        std::vector<RetrievedSegment> list;
        const int codes = 1 + rnd(3);
        for (int i = 0, n = rnd(10); i < n; ++i) {
            const int b = rnd(30);
            const int text = 1 + rnd(2);
            list.push_back(
                seg(text, 1 + rnd(codes), b, b + 1 + rnd(10), 1 + b / 10, 1 + (b + 5) / 10, false));
        }
        // Coverage per text and code, after merging, is what intersections are made of.
        auto covered = [&](const std::vector<RetrievedSegment>& l, int text, int code, int p) {
            return std::any_of(l.begin(), l.end(), [&](const auto& s) {
                return s.textId == text && (code == 0 || s.codeId == code) && s.begin <= p &&
                       p < s.end;
            });
        };
        // Chains of overlaps, found segment by segment in list order: the same chains, in the
        // same order, whether the list is merged and sorted or in any order at all.
        std::function<void(const std::vector<RetrievedSegment>&, const RetrievedSegment&,
                           std::int32_t, int, std::size_t, int, std::vector<RetrievedSegment>&)>
            slowChain = [&](const auto& l, const auto& cur, std::int32_t first, int depth,
                            std::size_t from, int n, auto& out) {
                for (std::size_t k = from; k < l.size() && l[k].textId == cur.textId; ++k) {
                    const auto& s = l[k];
                    if (s.codeId == first || s.end <= cur.begin || s.begin >= cur.end) continue;
                    RetrievedSegment next = cur;
                    next.begin = std::max(cur.begin, s.begin);
                    next.end = std::min(cur.end, s.end);
                    next.unionBegin = std::min(cur.unionBegin, s.begin);
                    next.unionEnd = std::max(cur.unionEnd, s.end);
                    if (depth + 1 == n)
                        out.push_back(next);
                    else
                        slowChain(l, next, first, depth + 1, k + 1, n, out);
                }
            };
        std::vector<RetrievedSegment> merged = list;
        MergeSegments(merged);
        auto inOrder = [](const std::vector<RetrievedSegment>& l) {
            std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t>> out;
            for (const auto& x : l)
                out.emplace_back(x.codingId, x.codeId, x.begin, x.end);
            return out;
        };
        ASSERT_EQ(inOrder(merged), inOrder(slowMerge(list))) << round;
        merged = list;
        std::sort(merged.begin(), merged.end(), textTreeLess);
        MergeSegments(merged);
        for (const auto* l : {&merged, &list})
            for (int n : {2, 3}) {
                std::vector<RetrievedSegment> fast, slow;
                IntersectChains(*l, n, fast);
                for (std::size_t i = 0; i < l->size(); ++i)
                    slowChain(*l, (*l)[i], (*l)[i].codeId, 1, i + 1, n, slow);
                ASSERT_EQ(fast.size(), slow.size()) << round;
                for (std::size_t i = 0; i < fast.size(); ++i)
                    ASSERT_EQ(std::tie(fast[i].begin, fast[i].end, fast[i].unionBegin,
                                       fast[i].unionEnd, fast[i].codingId),
                              std::tie(slow[i].begin, slow[i].end, slow[i].unionBegin,
                                       slow[i].unionEnd, slow[i].codingId))
                        << round;
            }
        for (int n : {2, 3}) {
            const auto at = run(AtLeast, list, codes, n);
            const auto inter = run(Intersection, list, n);
            for (int text = 1; text <= 2; ++text)
                for (int p = 0; p < 45; ++p) {
                    int k = 0;
                    for (int c = 1; c <= codes; ++c)
                        k += covered(list, text, c, p);
                    ASSERT_EQ(covered(at, text, 0, p), k >= n) << round << " p" << p;
                    if (n == codes) {
                        ASSERT_EQ(covered(inter, text, 0, p), k >= n) << round;
                    }
                }
        }
        // Only this Code: the passages where active codes meet (touching ones joined) that no
        // other coding overlaps.
        {
            std::vector<CodingRange> all;
            for (const auto& s : list)
                all.push_back({s.codingId, s.textId, s.begin, s.end});
            for (int i = 0, n = rnd(3); i < n; ++i) {
                const int b = rnd(30);
                all.push_back({100000 + i, 1 + rnd(2), b, b + 1 + rnd(5)});
            }
            std::set<Range> want;
            for (int text = 1; text <= 2; ++text) {
                for (int p = 0; p < 45;) {
                    // A passage: a run of positions covered by active segments, with touching
                    // segments (one's end at the next's begin) counted as one.
                    if (!covered(list, text, 0, p)) {
                        ++p;
                        continue;
                    }
                    int q = p;
                    while (q < 45 && covered(list, text, 0, q))
                        ++q;
                    const bool hit = std::any_of(all.begin(), all.end(), [&](const CodingRange& c) {
                        return c.id >= 100000 && c.text == text && c.start < q && c.finish > p;
                    });
                    if (!hit) want.emplace(text, 0, p, q);
                    p = q;
                }
            }
            ASSERT_EQ(ranges(run(OnlyThisCode, list, codes, 0, 0, all)), want) << round;
        }
        // Pair functions: every listed active segment has a partner by the definition, and
        // every segment with a partner is listed.
        std::vector<RetrievedSegment> withSelected = list;
        for (int i = 0, n = 1 + rnd(3); i < n; ++i) {
            const int b = rnd(30);
            withSelected.push_back(
                seg(1 + rnd(2), 9, b, b + 1 + rnd(10), 1 + b / 10, 1 + (b + 5) / 10, true));
        }
        for (int fn : {IfSurroundedBy, IfOutsideOf, FollowedBy, Near}) {
            const int distance = rnd(2);
            auto matches = [&](const RetrievedSegment& s, const RetrievedSegment& c) {
                if (fn == IfSurroundedBy) return s.begin <= c.begin && c.end <= s.end;
                if (fn == IfOutsideOf) return c.end < s.begin || c.begin > s.end;
                if (fn == FollowedBy) {
                    const int d = s.beginPara - c.endPara;
                    return d < 0 ? s.begin >= c.begin : d <= distance;
                }
                const bool zero = (c.begin <= s.begin && c.end >= s.end) || s.end == c.begin;
                return zero || std::min(std::abs(s.beginPara - c.endPara),
                                        std::abs(s.endPara - c.beginPara)) <= distance;
            };
            std::set<Range> want;
            for (const auto& s : withSelected)
                for (const auto& c : withSelected)
                    if (s.selected && !c.selected && s.textId == c.textId && matches(s, c))
                        want.emplace(c.textId, c.codeId, c.begin, c.end);
            ASSERT_EQ(ranges(run(fn, withSelected, 1, distance, ListActive)), want)
                << "function " << fn;
        }
        // Difference: the selected segments that meet no active one.
        std::set<Range> keep;
        for (const auto& s : withSelected) {
            if (!s.selected) continue;
            const bool met = std::any_of(list.begin(), list.end(), [&](const auto& c) {
                return c.textId == s.textId && c.begin < s.end && c.end > s.begin;
            });
            if (!met) keep.emplace(s.textId, s.codeId, s.begin, s.end);
        }
        ASSERT_EQ(ranges(run(Difference, withSelected)), keep);
    }
}

// Merging and duplicate removal against their references on shapes the random lists above
// rarely make: ranges running backwards, texts whose runs come back, long runs of one range.
TEST(LogicalFunctions, MergeAndDuplicateRemovalKeepTheReferenceOrder) {
    std::mt19937 rng(7);
    auto rnd = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 4000; ++round) {
        std::vector<RetrievedSegment> list;
        for (int i = 0, n = rnd(14); i < n; ++i) {
            const int b = rnd(20);
            // Now and then a range that runs backwards, as a damaged file may hold.
            const int e = rnd(8) == 0 ? b - rnd(5) : b + rnd(6);
            list.push_back(seg(1 + rnd(2), 1 + rnd(2), b, e));
        }
        std::vector<RetrievedSegment> fast = list;
        MergeSegments(fast);
        ASSERT_EQ(fast, slowMerge(list)) << round;
        fast = list;
        RemoveDuplicateSegments(fast);
        ASSERT_EQ(fast, slowUnique(list)) << round;
    }
    // Many identical segments, and one passage under many codes taken to code 0: one stays,
    // the first, with everything it met.
    std::vector<RetrievedSegment> same(3000, seg(1, 0, 5, 9));
    same.push_back(seg(1, 0, 9, 12));
    same.front().codingId = 77;
    MergeSegments(same);
    ASSERT_EQ(same.size(), 1u);
    EXPECT_EQ(std::tie(same[0].codingId, same[0].begin, same[0].end), std::make_tuple(77, 5, 12));
}
