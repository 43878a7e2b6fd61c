// The project store against bare SQLite doing the same work on the same file.
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "platform/Sqlite.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>
#include <tuple>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

using platform::SqliteDatabase;
using platform::SqliteStatement;

constexpr const char* bareInsertSql =
    "INSERT INTO [Codings] ([ID],[TAID],[Type],[TextID],[WordID],[StartChar],"
    "[FinishChar],[StartPara],[FinishPara],[Weight],[Preview]) VALUES(?,?,?,?,?,?,?,?,?,?,?);";
constexpr const char* preview = "a preview of the coded segment as the user would see it in a list";

void bareInsert(SqliteStatement& st, std::int64_t id, int text, int code, int start) {
    st.reset();
    const std::int64_t vals[] = {id, 0, 0, text, code, start, start + 40, 1, 1, 100};
    for (int k = 0; k < 10; ++k)
        st.bindInt(k + 1, vals[k]);
    st.bindText(11, preview);
    st.run();
}

void storeInsert(TopicStore& s, int text, int code, int start) {
    RecordCursor c;
    s.NewRecord(TopicId::Codings, c);
    c.setInt(CodingField::Text, text);
    c.setInt(CodingField::Code, code);
    c.setInt(CodingField::StartChar, start);
    c.setInt(CodingField::FinishChar, start + 40);
    c.setInt(CodingField::StartPara, 1);
    c.setInt(CodingField::FinishPara, 1);
    c.setInt(CodingField::Weight, 100);
    c.setText(CodingField::Preview, preview);
    s.Save(c);
}

// Steps over every row of the loaded tables and reads every loaded column (byte blocks
// are never read at open, by either side). Returns the bytes of column data read.
std::size_t bareLoad(const std::string& path) {
    SqliteDatabase db;
    db.open(path, SqliteDatabase::OpenMode::ReadWrite);
    std::size_t bytes = 0;
    for (int id : loadOrder()) {
        const TopicDef* def = findTopicDef(id);
        std::string sql = "SELECT ";
        bool first = true;
        for (const auto& f : def->fields) {
            if (f.type == TypeBlock || (f.state & FieldState::Computed)) continue;
            sql += (first ? "[" : ",[") + std::string(f.source) + "]";
            first = false;
        }
        sql += " FROM [" + std::string(def->table) + "] ORDER BY [" + std::string(def->sortField) +
               "]" + (def->sortField == "ID" ? ";" : ",[ID];");
        SqliteStatement st = db.prepare(sql);
        while (st.step() == SqliteStatement::Step::Row) {
            for (int c = 0; c < st.columnCount(); ++c) {
                switch (st.columnType(c)) {
                case 1:
                    benchmark::DoNotOptimize(st.columnInt(c));
                    bytes += 4;
                    break;
                case 2:
                    benchmark::DoNotOptimize(st.columnDouble(c));
                    bytes += 8;
                    break;
                case 3:
                    bytes += st.columnText(c).size();
                    break;
                default:
                    break;
                }
            }
        }
    }
    return bytes;
}

void OpenAndLoad(benchmark::State& state) {
    const std::string path = standardProject();
    std::size_t columnBytes = 0, storeBytes = 0;
    double base = 0, ours = 0;
    for (auto _ : state) {
        std::tie(base, ours) = compare(
            3, [&] { columnBytes = bareLoad(path); },
            [&] {
                SilentUserInterface ui;
                RecentProjects recent;
                CVexDoc doc(ui, recent);
                doc.OpenPath(path, false);
                storeBytes = doc.store().memoryBytes();
            });
    }
    report(state, base, ours);
    state.counters["column_MB"] = static_cast<double>(columnBytes) / 1e6;
    state.counters["store_MB"] = static_cast<double>(storeBytes) / 1e6;
    state.counters["memory_ratio"] =
        static_cast<double>(storeBytes) / static_cast<double>(columnBytes);
}

// One coding saved durably, as a single user action does it, against one bare
// autocommit insert of the same row on the same connection.
void SingleDurableSave(benchmark::State& state) {
    const std::string path = workingCopy(standardProject(), "single-save.vxp");
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    doc.OpenPath(path, false);
    SqliteDatabase& raw = doc.database()->connection();
    constexpr int saves = 200;
    double base = 0, ours = 0;
    for (auto _ : state) {
        std::int64_t rawId = 50'000'000;
        auto bare = [&] {
            SqliteStatement st = raw.prepare(bareInsertSql);
            for (int i = 0; i < saves; ++i)
                bareInsert(st, ++rawId, 1, 1, 10);
        };
        auto store = [&] {
            for (int i = 0; i < saves; ++i)
                storeInsert(doc.store(), 1, 1, 10);
        };
        std::tie(base, ours) = compare(5, bare, store);
    }
    report(state, base / saves, ours / saves);
}

// 100,000 codings in one bulk operation against a bare prepared-insert loop in one transaction.
void BulkCodings(benchmark::State& state) {
    const std::string path = workingCopy(standardProject(), "bulk.vxp");
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    doc.OpenPath(path, false);
    SqliteDatabase& raw = doc.database()->connection();
    const int count =
        std::min(100000, std::max(1000, doc.store().RecordCount(TopicId::Codings) / 2));
    double base = 0, ours = 0;
    for (auto _ : state) {
        std::int64_t rawId = 60'000'000;
        base = bestOf(1, [&] {
            raw.exec("BEGIN;");
            SqliteStatement st = raw.prepare(bareInsertSql);
            for (int i = 0; i < count; ++i)
                bareInsert(st, ++rawId, 1 + i % 100, 1 + i % 50, i);
            raw.exec("COMMIT;");
        });
        ours = bestOf(1, [&] {
            StoreBatch batch(doc.store());
            for (int i = 0; i < count; ++i)
                storeInsert(doc.store(), 1 + i % 100, 1 + i % 50, i);
            batch.finish();
        });
    }
    report(state, base, ours);
    state.counters["codings"] = count;
}

} // namespace

BENCHMARK(OpenAndLoad)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SingleDurableSave)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BulkCodings)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
