// Retrieval on the standard project against a bare filter-and-sort of the same codings.
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/CodeSystem.h"
#include "analysis/Retrieval.h"
#include "analysis/Workspace.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>
#include <tuple>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;
using namespace vexana::analysis;

namespace {

struct Opened {
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    std::unique_ptr<Workspace> ws;
    std::unique_ptr<Retrieval> retrieval;
    explicit Opened(const std::string& path) {
        doc.OpenPath(path, false);
        ws = std::make_unique<Workspace>(doc);
        retrieval = std::make_unique<Retrieval>(*ws);
    }
    // Bits set directly: the codes alone, not their subtrees.
    void activate(int topic, const std::vector<std::int32_t>& ids, int stateField, bool on) {
        for (std::int32_t id : ids) {
            RecordCursor c;
            if (!doc.store().GetRecord(topic, id, c)) continue;
            const std::int32_t st = c.getInt(stateField);
            c.setInt(stateField, on ? st | StateActive : st & ~StateActive);
            doc.store().UpdateInMemory(c);
        }
    }
    void activeTexts(int every) {
        std::vector<std::int32_t> ids;
        for (std::int32_t t : doc.store().ListIds(TopicId::Texts))
            if (t % every == 0) ids.push_back(t);
        activate(TopicId::Texts, ids, TextField::State, true);
    }
    // Every text and group with the key 0, as import and Create Text leave them.
    void sharedKeys() {
        for (int topic : {TopicId::TextGroups, TopicId::Texts})
            for (std::int32_t id : doc.store().ListIds(topic)) {
                RecordCursor c;
                if (!doc.store().GetRecord(topic, id, c)) continue;
                c.setInt(GroupField::Index, 0); // field 1 is the key of both
                doc.store().UpdateInMemory(c);
            }
    }
    void activeCodes(int from, int count) {
        std::vector<std::int32_t> all = doc.store().ListIds(TopicId::Codes), ids;
        activate(TopicId::Codes, all, CodeField::State, false);
        for (int i = from; i < from + count && i < static_cast<int>(all.size()); ++i)
            ids.push_back(all[static_cast<std::size_t>(i)]);
        activate(TopicId::Codes, ids, CodeField::State, true);
    }
};

// The same selection made by hand: every coding with an active text and code, sorted.
std::size_t bareFilterAndSort(Opened& p) {
    const TopicStore& s = p.doc.store();
    const Topic* codings = s.GetTopic(TopicId::Codings);
    std::vector<RetrievedSegment> list;
    codings->forEach([&](std::int32_t id, const std::uint8_t* img) {
        auto get = [&](int f) { return slot::getInt(img, *codings->field(f)); };
        const std::int32_t text = get(CodingField::Text), code = get(CodingField::Code);
        if (!(s.GetInt(TopicId::Texts, text, TextField::State) & StateActive)) return;
        if (!(s.GetInt(TopicId::Codes, code, CodeField::State) & StateActive)) return;
        RetrievedSegment r;
        r.codingId = id;
        r.textId = text;
        r.textKey = s.GetInt(TopicId::Texts, text, TextField::Index);
        r.codeId = code;
        r.codeKey = s.GetInt(TopicId::Codes, code, CodeField::Index);
        r.begin = get(CodingField::StartChar);
        r.end = get(CodingField::FinishChar);
        list.push_back(r);
    });
    std::sort(list.begin(), list.end(), textTreeLess);
    return list.size();
}

void OrCombinationRebuild(benchmark::State& state) {
    Opened p(workingCopy(standardProject(), "retrieval.vxp"));
    p.activeTexts(2);
    p.activeCodes(0, 100);
    double base = 0, ours = 0, toggle = 0;
    std::size_t n = 0;
    for (auto _ : state) {
        std::tie(base, ours) = compare(
            5, [&] { n = bareFilterAndSort(p); }, [&] { p.retrieval->BuildRetrieval(); });
        const auto codes = p.doc.store().ListIds(TopicId::Codes);
        const std::int32_t code = codes[codes.size() / 2];
        toggle = bestOf(5,
                        [&] {
                            p.ws->codes().ActivateCode(code, true);
                            p.ws->codes().ActivateCode(code, false);
                        }) /
                 2;
    }
    report(state, base, ours);
    state.counters["segments"] = static_cast<double>(n);
    state.counters["toggle_and_rebuild_ms"] = toggle * 1000.0;
}

void Functions(benchmark::State& state) {
    Opened p(workingCopy(standardProject(), "functions.vxp"));
    if (state.range(1)) p.sharedKeys();
    p.activeTexts(2);
    const std::int32_t selected = p.doc.store().ListIds(TopicId::Codes).back();
    const int fn = static_cast<int>(state.range(0));
    double small = 0, large = 0;
    std::size_t nSmall = 0, nLarge = 0;
    auto once = [&](int codes, std::size_t& segments) {
        p.activeCodes(0, codes);
        p.retrieval->settings = AnalysisSettings{};
        p.retrieval->settings.function = fn;
        p.retrieval->settings.atLeastCount = 2;
        p.retrieval->settings.differenceCode = p.retrieval->settings.surroundCode =
            p.retrieval->settings.outsideCode = p.retrieval->settings.followCode =
                p.retrieval->settings.nearCode = selected;
        p.retrieval->settings.followDistance = p.retrieval->settings.nearDistance = 1;
        segments = p.retrieval->GatherSegments(0).size();
        return bestOf(1, [&] { p.retrieval->BuildRetrieval(); });
    };
    // The two sizes take turns, so a slow spell of the machine falls on both alike.
    small = large = 1e300;
    for (auto _ : state) {
        for (int round = 0; round < 6; ++round) {
            small = std::min(small, once(250, nSmall));
            large = std::min(large, once(500, nLarge));
        }
    }
    report(state, small, large);
    state.counters["segments_small"] = static_cast<double>(nSmall);
    state.counters["segments_large"] = static_cast<double>(nLarge);
    state.counters["results"] = static_cast<double>(p.ws->retrieved.size());
}

RetrievedSegment passage(std::int32_t codingId, std::int32_t code, std::int32_t begin,
                         std::int32_t end) {
    RetrievedSegment s;
    s.codingId = codingId;
    s.textId = 1;
    s.codeId = code;
    s.codeKey = code;
    s.begin = s.unionBegin = begin;
    s.end = s.unionEnd = end;
    s.beginPara = s.endPara = 1;
    return s;
}

// The function alone on a list, best of five; every shape here comes to one passage.
double timeFunction(const AnalysisSettings& a, std::vector<RetrievedSegment> list,
                    int activeCodes) {
    std::sort(list.begin(), list.end(), textTreeLess);
    std::size_t results = 0;
    const double t = bestOf(5, [&] { results = RunFunction(a, list, activeCodes, {}).size(); });
    return results == 1 ? t : -1.0;
}

// One passage coded with many codes: At Least 2 finds a chain for every pair of codes, all
// with the same range, and merges them into one. 200 and 283 codes give twice the chains.
void ManyCodesOnOnePassage(benchmark::State& state) {
    AnalysisSettings a;
    a.function = AtLeast;
    auto list = [](int codes) {
        std::vector<RetrievedSegment> l;
        for (int c = 1; c <= codes; ++c)
            l.push_back(passage(c, c, 100, 500));
        return l;
    };
    double small = 0, large = 0, wide = 0;
    for (auto _ : state) {
        small = timeFunction(a, list(200), 200);
        large = timeFunction(a, list(283), 283);
        a.atLeastCount = 8;
        wide = timeFunction(a, list(24), 24);
        a.atLeastCount = 2;
    }
    report(state, small, large);
    state.counters["chains_large"] = 283.0 * 282.0 / 2.0;
    state.counters["24_codes_at_least_8_ms"] = wide * 1000.0;
}

// Many identical segments of one code, with one of a second code over them: Intersection
// merges the first into one.
void ManyIdenticalSegments(benchmark::State& state) {
    AnalysisSettings a;
    a.function = Intersection;
    auto list = [](int n) {
        std::vector<RetrievedSegment> l;
        for (int i = 0; i < n; ++i)
            l.push_back(passage(i + 1, 1, 100, 500));
        l.push_back(passage(n + 1, 2, 200, 300));
        return l;
    };
    double small = 0, large = 0;
    for (auto _ : state) {
        small = timeFunction(a, list(40000), 2);
        large = timeFunction(a, list(80000), 2);
    }
    report(state, small, large);
}

} // namespace

BENCHMARK(OrCombinationRebuild)->Iterations(1)->Unit(benchmark::kMillisecond);
// Second argument 1: every text and group with the key 0.
BENCHMARK(Functions)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 9, 1), {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ManyCodesOnOnePassage)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ManyIdenticalSegments)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
