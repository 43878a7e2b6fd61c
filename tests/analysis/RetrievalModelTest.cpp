// The whole retrieval pass against a model written from the definitions: gathering, the two
// orders, each function step by step, on random projects.
#include "ProjectFixture.h"
#include "analysis/Retrieval.h"

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

using namespace vexana;
using namespace vexana::store;
using namespace vexana::analysis;
using vexana::test::ProjectFixture;

namespace {

using Seg = RetrievedSegment;

class RetrievalModel : public ProjectFixture {
protected:
    std::int32_t get(int topic, std::int32_t id, int field) { return s().GetInt(topic, id, field); }
    void setInt(int topic, std::int32_t id, int field, std::int32_t value) {
        RecordCursor c;
        ASSERT_TRUE(s().GetRecord(topic, id, c));
        c.setInt(field, value);
        s().UpdateInMemory(c);
    }
    bool active(int topic, std::int32_t id) {
        const int field = topic == TopicId::Texts ? TextField::State : CodeField::State;
        return (get(topic, id, field) & StateActive) != 0;
    }

    // Gathering: the code tree depth first, children and codings in record order.
    void gather(std::int32_t parent, std::int32_t ancestor, std::int32_t excluded,
                std::vector<Seg>& out) {
        for (std::int32_t child : s().ListIds(TopicId::Codes)) {
            if (get(TopicId::Codes, child, CodeField::Parent) != parent) continue;
            const bool on = active(TopicId::Codes, child);
            if (on && ancestor == 0) ++count;
            if ((on || ancestor != 0) && child != excluded) take(child, ancestor, excluded, out);
            gather(child,
                   !options().includeSubcodes ? 0
                   : ancestor != 0            ? ancestor
                   : on                       ? child
                                              : 0,
                   excluded, out);
        }
    }
    void take(std::int32_t code, std::int32_t ancestor, std::int32_t excluded,
              std::vector<Seg>& out) {
        for (std::int32_t id : s().ListIds(TopicId::Codings)) {
            auto f = [&](int field) { return get(TopicId::Codings, id, field); };
            if (f(CodingField::Code) != code || !active(TopicId::Texts, f(CodingField::Text)))
                continue;
            const int w = f(CodingField::Weight);
            if (options().useWeightFilter && (w < options().lowWeight || w > options().highWeight))
                continue;
            Seg g;
            g.codingId = id;
            g.textId = f(CodingField::Text);
            g.codeId = options().includeSubcodes && ancestor != 0 ? ancestor : code;
            g.selected = ancestor != 0 && ancestor == excluded;
            const std::int32_t key = get(TopicId::Codes, g.codeId, CodeField::Index);
            g.codeKey = g.selected ? -key : key;
            g.begin = g.unionBegin = f(CodingField::StartChar);
            g.end = g.unionEnd = f(CodingField::FinishChar);
            g.beginPara = f(CodingField::StartPara);
            g.endPara = f(CodingField::FinishPara);
            out.push_back(g);
        }
    }
    RetrievalOptions& options() { return ws->options; }

    // Where each text stands in the Document System: groups by key then id, and within a
    // group its texts by key then id.
    std::map<std::int32_t, int> textRanks() {
        std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t>> texts;
        for (std::int32_t t : s().ListIds(TopicId::Texts)) {
            const std::int32_t g = get(TopicId::Texts, t, TextField::Group);
            texts.emplace_back(get(TopicId::TextGroups, g, GroupField::Index), g,
                               get(TopicId::Texts, t, TextField::Index), t);
        }
        std::sort(texts.begin(), texts.end());
        std::map<std::int32_t, int> rank;
        for (std::size_t i = 0; i < texts.size(); ++i)
            rank[std::get<3>(texts[i])] = static_cast<int>(i);
        return rank;
    }
    void sortBy(std::vector<Seg>& l, bool textTree) {
        const auto rank = textRanks();
        std::sort(l.begin(), l.end(), [&](const Seg& a, const Seg& b) {
            auto key = [&](const Seg& x) {
                const int r = rank.at(x.textId);
                return textTree ? std::tuple(r, x.codeKey, -x.codeId, x.begin, x.end, x.codingId)
                                : std::tuple(x.codeKey, -x.codeId, r, x.begin, x.end, x.codingId);
            };
            return key(a) < key(b);
        });
    }

    static void merge(std::vector<Seg>& l) {
        for (std::size_t i = 0; i < l.size(); ++i)
            for (std::size_t j = i + 1; j < l.size() && l[j].textId == l[i].textId; ++j) {
                Seg &a = l[i], &b = l[j];
                if (b.codeId != a.codeId) continue;
                if (!((a.begin <= b.begin && a.end >= b.begin) ||
                      (b.begin <= a.begin && b.end >= a.begin)))
                    continue;
                a.begin = std::min(a.begin, b.begin);
                a.end = std::max(a.end, b.end);
                l.erase(l.begin() + static_cast<std::ptrdiff_t>(j));
                j = i;
            }
    }
    static void chains(const std::vector<Seg>& l, const Seg& cur, int depth, std::size_t from,
                       int n, std::vector<Seg>& out) {
        for (std::size_t k = from; k < l.size() && l[k].textId == cur.textId; ++k) {
            const Seg& c = l[k];
            if (c.codeId == cur.codeId) continue;
            if (!((c.begin <= cur.begin && cur.begin < c.end) ||
                  (cur.begin <= c.begin && c.begin < cur.end)))
                continue;
            Seg next = cur;
            next.begin = std::max(cur.begin, c.begin);
            next.end = std::min(cur.end, c.end);
            next.unionBegin = std::min(cur.unionBegin, c.begin);
            next.unionEnd = std::max(cur.unionEnd, c.end);
            if (depth + 1 == n)
                out.push_back(next);
            else
                chains(l, next, depth + 1, k + 1, n, out);
        }
    }
    static std::vector<Seg> intersect(std::vector<Seg> l, int n) {
        merge(l);
        std::vector<Seg> r;
        for (std::size_t i = 0; i < l.size(); ++i)
            chains(l, l[i], 1, i + 1, n, r);
        return r;
    }

    // The model's list: coding ids for functions 0 and 6 to 9, else (text, begin, end).
    std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t>>
    model(const AnalysisSettings& a, std::vector<std::int32_t> realCodings) {
        count = 0;
        const int fn = a.function;
        const std::int32_t sel = fn >= Difference ? a.selectedCode() : 0;
        std::vector<Seg> l, r;
        gather(0, 0, sel, l);
        if (sel != 0 && s().GetTopic(TopicId::Codes)->contains(sel)) {
            take(sel, sel, sel, l);
            if (options().includeSubcodes) gather(sel, sel, sel, l);
        }
        sortBy(l, fn == OrCombination ? options().orderByTextTree : fn <= AtLeast);
        auto overlaps = [](const Seg& x, std::int32_t b, std::int32_t e) {
            return b < x.end && e > x.begin;
        };
        switch (fn) {
        case OrCombination:
            r = l;
            break;
        case Intersection:
            r = intersect(l, count);
            break;
        case Overlapping:
            r = intersect(l, count);
            for (Seg& x : r) {
                x.codeId = 0;
                x.begin = x.unionBegin;
                x.end = x.unionEnd;
            }
            merge(r);
            break;
        case AtLeast:
            r = intersect(l, a.atLeastCount);
            for (Seg& x : r)
                x.codeId = 0;
            merge(r);
            break;
        case OnlyThisCode: {
            r = l;
            for (Seg& x : r) {
                x.codeId = 0;
                std::erase(realCodings, x.codingId);
            }
            merge(r);
            std::erase_if(r, [&](const Seg& x) {
                return std::any_of(realCodings.begin(), realCodings.end(), [&](std::int32_t c) {
                    return get(TopicId::Codings, c, CodingField::Text) == x.textId &&
                           overlaps(x, get(TopicId::Codings, c, CodingField::StartChar),
                                    get(TopicId::Codings, c, CodingField::FinishChar));
                });
            });
            break;
        }
        case Difference:
            for (const Seg& x : l)
                if (x.codeId == sel) r.push_back(x);
            std::erase_if(l, [&](const Seg& x) { return x.codeId == sel; });
            std::erase_if(r, [&](const Seg& x) {
                return std::any_of(l.begin(), l.end(), [&](const Seg& c) {
                    return c.textId == x.textId && overlaps(x, c.begin, c.end);
                });
            });
            break;
        default: {
            std::vector<Seg> sl;
            for (const Seg& x : l)
                if (x.selected) {
                    sl.push_back(x);
                    sl.back().codeKey = -x.codeKey;
                }
            std::erase_if(l, [](const Seg& x) { return x.selected; });
            const int mode = fn == IfSurroundedBy ? a.surroundMode
                             : fn == IfOutsideOf  ? a.outsideMode
                             : fn == FollowedBy   ? a.followMode
                                                  : a.nearMode;
            for (const Seg& sg : sl)
                for (const Seg& c : l) {
                    if (c.textId != sg.textId) continue;
                    bool match = false;
                    if (fn == IfSurroundedBy) match = sg.begin <= c.begin && c.end <= sg.end;
                    if (fn == IfOutsideOf) match = c.end < sg.begin || c.begin > sg.end;
                    if (fn == FollowedBy) {
                        int d = sg.beginPara - c.endPara;
                        if (d < 0) d = sg.begin < c.begin ? a.followDistance + 1 : 0;
                        match = d <= a.followDistance;
                    }
                    if (fn == Near) {
                        const bool zero =
                            (c.begin <= sg.begin && c.end >= sg.end) || sg.end == c.begin;
                        match =
                            zero || std::min(std::abs(sg.beginPara - c.endPara),
                                             std::abs(sg.endPara - c.beginPara)) <= a.nearDistance;
                    }
                    if (!match) continue;
                    if (mode != ListActive) r.push_back(sg);
                    if (mode != ListSelected) r.push_back(c);
                }
            for (std::size_t i = 0; i < r.size(); ++i)
                for (std::size_t j = i + 1; j < r.size() && r[j].textId == r[i].textId; ++j)
                    if (std::tie(r[j].codeId, r[j].begin, r[j].end) ==
                        std::tie(r[i].codeId, r[i].begin, r[i].end))
                        r.erase(r.begin() + static_cast<std::ptrdiff_t>(j--));
            sortBy(r, options().orderByTextTree);
        }
        }
        std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t>> out;
        for (const Seg& x : r)
            out.emplace_back(fn >= Intersection && fn <= Difference ? x.textId : x.codingId,
                             fn >= Intersection && fn <= Difference ? x.begin : 0,
                             fn >= Intersection && fn <= Difference ? x.end : 0);
        return out;
    }

    int count = 0;
};

} // namespace

TEST_F(RetrievalModel, EveryFunctionMatchesTheModelOnRandomProjects) {
    Retrieval retrieval(*ws);
    std::uint32_t seed = 11;
    auto rnd = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<std::uint32_t>(n));
    };
    std::string body;
    for (int p = 0; p < 6; ++p)
        body += std::string(10, static_cast<char>('a' + p)) + (p < 5 ? "\r" : "");
    std::vector<int> rows(10, 0);
    for (int project = 0; project < 12; ++project) {
        for (std::int32_t c : codes().Children(0))
            docs().DeleteObject(TopicId::Codes, c);
        for (std::int32_t t : s().ListIds(TopicId::Texts))
            docs().DeleteObject(TopicId::Texts, t);
        // Most texts and groups keep the key 0 they are made with.
        std::vector<std::int32_t> groups{docs().NewTextGroup(), docs().NewTextGroup()}, texts;
        for (std::int32_t g : groups)
            if (rnd(3) == 0) setInt(TopicId::TextGroups, g, GroupField::Index, rnd(2));
        for (int i = 0; i < 5; ++i) {
            texts.push_back(text(groups[static_cast<std::size_t>(rnd(2))], "t", body));
            if (rnd(4) == 0) setInt(TopicId::Texts, texts.back(), TextField::Index, rnd(2));
        }
        std::vector<std::int32_t> codeIds;
        for (int i = 0; i < 6; ++i)
            codeIds.push_back(codes().NewCode(
                codeIds.empty() || rnd(2) ? 0 : codeIds[static_cast<std::size_t>(rnd(i))], "",
                false));
        for (int i = 0; i < 40; ++i) {
            // Coarse positions, so that ranges are often equal or touch.
            const int b = 5 * rnd(10);
            code(texts[static_cast<std::size_t>(rnd(5))], codeIds[static_cast<std::size_t>(rnd(6))],
                 b, b + 5 * (1 + rnd(3)), analysis::CodingOperations::NewBatch, 40 + rnd(30));
        }
        for (int round = 0; round < 60; ++round) {
            for (std::int32_t t : texts)
                setInt(TopicId::Texts, t, TextField::State, rnd(4) ? StateActive : 0);
            for (std::int32_t c : codeIds)
                setInt(TopicId::Codes, c, CodeField::State, rnd(2) ? StateActive | 1 : 1);
            options().includeSubcodes = rnd(2);
            options().orderByTextTree = rnd(2);
            options().useWeightFilter = rnd(4) == 0;
            options().lowWeight = 45;
            options().highWeight = 60;
            AnalysisSettings a;
            a.function = rnd(10);
            a.atLeastCount = 2 + rnd(2);
            const std::int32_t sel = rnd(6) ? codeIds[static_cast<std::size_t>(rnd(6))] : 0;
            a.differenceCode = a.surroundCode = a.outsideCode = a.followCode = a.nearCode = sel;
            a.surroundMode = a.outsideMode = a.followMode = a.nearMode = rnd(3);
            a.followDistance = a.nearDistance = rnd(3);
            retrieval.settings = a;
            retrieval.BuildRetrieval();
            std::vector<std::int32_t> real;
            for (std::int32_t id : s().ListIds(TopicId::Codings))
                if (get(TopicId::Codings, id, CodingField::Code) != 0) real.push_back(id);
            const auto want = model(a, real);
            std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t>> got;
            const bool results = a.function >= Intersection && a.function <= Difference;
            for (std::int32_t id : ws->retrieved)
                got.emplace_back(results ? get(TopicId::Codings, id, CodingField::Text) : id,
                                 results ? get(TopicId::Codings, id, CodingField::StartChar) : 0,
                                 results ? get(TopicId::Codings, id, CodingField::FinishChar) : 0);
            ASSERT_EQ(got, want) << "project " << project << " round " << round << " function "
                                 << a.function;
            rows[static_cast<std::size_t>(a.function)] += static_cast<int>(got.size());
        }
    }
    // The random projects exercise every function with something to list.
    for (int fn = 0; fn < 10; ++fn)
        EXPECT_GT(rows[static_cast<std::size_t>(fn)], 0) << fn;
}

// Texts made one after another share the key 0: both orders list them as the Document System
// shows them, the older first; within one code id the begin decides, before any subcode's key.
TEST_F(RetrievalModel, TextsWithEqualKeysAndSubcodesKeepTheTreeOrder) {
    Retrieval retrieval(*ws);
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t older = text(g, "older", std::string(40, 'x'));
    const std::int32_t newer = text(g, "newer", std::string(40, 'y'));
    // New texts go after their siblings; equal keys are what an older project file holds.
    setInt(TopicId::Texts, newer, TextField::Index, get(TopicId::Texts, older, TextField::Index));
    ASSERT_EQ(get(TopicId::Texts, older, TextField::Index),
              get(TopicId::Texts, newer, TextField::Index));
    const std::int32_t p = codes().NewCode(0, "P", false);
    codes().NewCode(p, "first", false);
    const std::int32_t sub = codes().NewCode(p, "S", false);
    const std::int32_t late = code(newer, p, 0, 10);
    const std::int32_t inSub = code(older, sub, 8, 20);
    const std::int32_t early = code(older, p, 0, 10);
    docs().ActivateObjects(ActivationScope::AllTexts, 0, true);
    setInt(TopicId::Codes, p, CodeField::State, StateActive | 1);
    options().includeSubcodes = true;
    for (bool textTree : {true, false}) {
        options().orderByTextTree = textTree;
        retrieval.BuildRetrieval();
        EXPECT_EQ(ws->retrieved, (std::vector<std::int32_t>{early, inSub, late})) << textTree;
    }
    // Overlapping: the parent's first passage takes in its subcode's by merging, but keeps its
    // own union range, which the chain widens by the other code's passage: [0, 12).
    const std::int32_t o = codes().NewCode(0, "O", false);
    code(older, o, 5, 12);
    setInt(TopicId::Codes, o, CodeField::State, StateActive | 1);
    retrieval.settings.function = Overlapping;
    retrieval.BuildRetrieval();
    ASSERT_EQ(ws->retrieved.size(), 1u);
    EXPECT_EQ(get(TopicId::Codings, ws->retrieved[0], CodingField::StartChar), 0);
    EXPECT_EQ(get(TopicId::Codings, ws->retrieved[0], CodingField::FinishChar), 12);
}
