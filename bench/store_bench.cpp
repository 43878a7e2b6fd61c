// The project store against bare SQLite doing the same work on the same file.
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "platform/Sqlite.h"
#include "store/CVexDoc.h"
#include "store/ProjectDatabase.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <iostream>
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
        // Three rounds taking turns, so a slow spell of the machine falls on both alike.
        std::tie(base, ours) = compare(
            3,
            [&] {
                raw.exec("BEGIN;");
                SqliteStatement st = raw.prepare(bareInsertSql);
                for (int i = 0; i < count; ++i)
                    bareInsert(st, ++rawId, 1 + i % 100, 1 + i % 50, i);
                raw.exec("COMMIT;");
            },
            [&] {
                StoreBatch batch(doc.store());
                for (int i = 0; i < count; ++i)
                    storeInsert(doc.store(), 1 + i % 100, 1 + i % 50, i);
                batch.finish();
            });
    }
    report(state, base, ours);
    state.counters["codings"] = count;
}

// Projects with text variables: the texts in four groups, every text with a value for each
// of 20 variables (in sys_Values), measured against the same project without variables.
constexpr int variableGroups = 4;
constexpr int variableCount = 20;

// 4,000 texts at full scale, so a group holds 1,000.
int variableTexts() {
    return std::max(40, 2 * ProjectShape::fromEnvironment().texts);
}

std::string generateVariablesProject(const std::string& path, int texts, int variables) {
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    if (!doc.OpenPath(path, false)) return "cannot create " + path;
    TopicStore& s = doc.store();
    std::vector<int> fields;
    for (int v = 0; v < variables; ++v) {
        FieldInfo f;
        f.name = "Variable " + std::to_string(v + 1);
        f.type = v % 2 ? TypeString : TypeInteger;
        f.state = FieldState::NewVariable;
        const int id = s.AddField(TopicId::Texts, f);
        if (id < 0) return "cannot add a variable";
        fields.push_back(id);
    }
    static const char* regions[] = {"North", "South", "East", "West", "Centre"};
    // Values draw from their own sequence, so both projects get the same texts and codings.
    Random r(3), values(5);
    StoreBatch batch(s);
    RecordCursor c;
    std::vector<std::int32_t> groups;
    for (int g = 0; g < variableGroups; ++g) {
        s.NewRecord(TopicId::TextGroups, c);
        c.setInt(GroupField::Index, g);
        c.setInt(GroupField::State, 1);
        c.setText(GroupField::Name, "Wave " + std::to_string(g + 1));
        groups.push_back(c.id());
        s.Save(c);
    }
    const int perGroup = texts / variableGroups;
    std::vector<std::int32_t> ids;
    for (int t = 0; t < texts; ++t) {
        s.NewRecord(TopicId::Texts, c);
        c.setInt(TextField::Index, t % perGroup);
        c.setInt(TextField::Group,
                 groups[static_cast<std::size_t>(std::min(t / perGroup, variableGroups - 1))]);
        c.setText(TextField::Name, "Interview " + std::to_string(t + 1));
        c.setDate(TextField::Date, DateTime::fromCivil(2024, 1 + t % 12, 1 + t % 28));
        c.setBlock(TextField::Body, "{\\rtf1\\ansi " + syntheticText(r, 1000) + "}");
        for (std::size_t v = 0; v < fields.size(); ++v) {
            if (v % 2)
                c.setText(fields[v], regions[values.below(static_cast<int>(std::size(regions)))]);
            else
                c.setInt(fields[v], 1 + values.below(90));
        }
        ids.push_back(c.id());
        s.Save(c, true, true);
    }
    s.NewRecord(TopicId::Codes, c);
    c.setText(CodeField::Name, "Theme");
    const std::int32_t code = c.id();
    s.Save(c);
    for (std::int32_t text : ids)
        for (int k = 0; k < 5; ++k) {
            const int start = r.below(800);
            s.NewRecord(TopicId::Codings, c);
            c.setInt(CodingField::TAID, c.id());
            c.setInt(CodingField::Text, text);
            c.setInt(CodingField::Code, code);
            c.setInt(CodingField::StartChar, start);
            c.setInt(CodingField::FinishChar, start + 20 + r.below(150));
            c.setInt(CodingField::StartPara, 1);
            c.setInt(CodingField::FinishPara, 1);
            c.setInt(CodingField::Weight, 100);
            c.setText(CodingField::Preview, syntheticText(r, 70));
            s.Save(c);
        }
    return batch.finish() ? std::string() : "the generating transaction failed";
}

// Generated once per build and kept, as the standard project is.
std::string variablesProject(int variables) {
    const int texts = variableTexts();
    const std::string p = benchDirectory() + "/variables-v1-" + std::to_string(texts) + "-" +
                          std::to_string(variables) + ".vxp";
    if (!std::filesystem::exists(p)) {
        const std::string tmp = p + ".part";
        std::filesystem::remove(tmp);
        ProjectDatabase::removeSideFiles(tmp);
        std::cerr << "generating " << p << " ...\n";
        const std::string err = generateVariablesProject(tmp, texts, variables);
        if (!err.empty()) {
            std::cerr << err << "\n";
            std::exit(1);
        }
        std::filesystem::rename(tmp, p);
    }
    return p;
}

// A copy that starts without a log of an earlier copy beside it.
std::string freshCopy(const std::string& source, const std::string& name) {
    const std::string path = workingCopy(source, name);
    ProjectDatabase::removeSideFiles(path);
    return path;
}

// Opens and loads every topic, as `vexana-cli info` does; counts the values that arrived
// when asked, outside the timed opens.
bool openProject(const std::string& path, long* values = nullptr) {
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    if (!doc.OpenPath(path, false)) return false;
    if (!values) return true;
    const TopicStore& s = doc.store();
    *values = 0;
    for (int f : s.ListVariables(TopicId::Texts))
        for (std::int32_t t : s.ListIds(TopicId::Texts))
            *values +=
                s.GetInt(TopicId::Texts, t, f) != 0 || !s.GetText(TopicId::Texts, t, f).empty();
    return true;
}

void OpenWithVariables(benchmark::State& state) {
    const std::string plain = variablesProject(0), withValues = variablesProject(variableCount);
    const long expected = static_cast<long>(variableTexts()) * variableCount;
    long loaded = 0;
    if (!openProject(withValues, &loaded) || loaded != expected) {
        state.SkipWithError("the values did not load");
        return;
    }
    double base = 0, ours = 0;
    for (auto _ : state) {
        std::tie(base, ours) = compare(
            7, [&] { benchmark::DoNotOptimize(openProject(plain)); },
            [&] { benchmark::DoNotOptimize(openProject(withValues)); });
    }
    report(state, base, ours);
    state.counters["texts"] = variableTexts();
    state.counters["values"] = static_cast<double>(expected);
}

// Deletes the first group (a quarter of the texts, with their codings and values) of a
// fresh copy; only the delete itself is timed.
double timedGroupDelete(const std::string& source, const std::string& name, bool& ok) {
    const std::string path = freshCopy(source, name);
    SilentUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    if (!doc.OpenPath(path, false)) {
        ok = false;
        return 0;
    }
    TopicStore& s = doc.store();
    const std::int32_t group = s.ListIds(TopicId::TextGroups).front();
    const int before = s.RecordCount(TopicId::Texts);
    const int members =
        static_cast<int>(s.FindIds(TopicId::Texts, TopicId::TextGroups, group).size());
    bool deleted = false;
    const double t = bestOf(1, [&] {
        ObjectList gone, changed;
        deleted = s.DeleteRecord(TopicId::TextGroups, group, &gone, &changed);
    });
    ok = ok && deleted && s.RecordCount(TopicId::Texts) == before - members;
    return t;
}

void DeleteGroupWithVariables(benchmark::State& state) {
    const std::string plain = variablesProject(0), withValues = variablesProject(variableCount);
    double base = 1e300, ours = 1e300;
    bool ok = true;
    for (auto _ : state) {
        for (int round = 0; round < 5; ++round) {
            base = std::min(base, timedGroupDelete(plain, "delete-plain.vxp", ok));
            ours = std::min(ours, timedGroupDelete(withValues, "delete-values.vxp", ok));
        }
    }
    if (!ok) {
        state.SkipWithError("a group delete failed");
        return;
    }
    report(state, base, ours);
    state.counters["texts"] = variableTexts() / variableGroups;
}

// The figure before the object index existed. Opening a project recreates the index, so the
// lookups a load makes (one per text) and a group delete makes are timed on the bare file,
// once with the index and once on a copy without it; without it, every lookup reads all of
// sys_Values, so a sample is timed and scaled to the whole.
void ValueLookupsWithoutObjectIndex(benchmark::State& state) {
    const std::string withValues = variablesProject(variableCount);
    const std::string bare = freshCopy(withValues, "no-object-index.vxp");
    {
        SqliteDatabase db;
        db.open(bare, SqliteDatabase::OpenMode::ReadWrite);
        db.exec("DROP INDEX [sys_Values_Object];");
    }
    std::vector<std::int64_t> texts;
    {
        SqliteDatabase db;
        db.open(withValues, SqliteDatabase::OpenMode::ReadWrite);
        SqliteStatement st = db.prepare("SELECT [ID] FROM [Texts] ORDER BY [ID];");
        while (st.step() == SqliteStatement::Step::Row)
            texts.push_back(st.columnInt(0));
    }
    const std::size_t perGroup = texts.size() / variableGroups;
    // Both time every `step`-th text and scale the time up to all of them.
    auto loadLookups = [&](const std::string& path, std::size_t step) {
        SqliteDatabase db;
        db.open(path, SqliteDatabase::OpenMode::ReadWrite);
        SqliteStatement st =
            db.prepare("SELECT [FieldID], [Value] FROM [sys_Values] WHERE [TopicID]=? AND "
                       "[ObjectID]=? ORDER BY [FieldID];");
        std::size_t rows = 0;
        const double t = bestOf(1, [&] {
            for (std::size_t i = 0; i < texts.size(); i += step) {
                st.reset();
                st.bindInt(1, TopicId::Texts);
                st.bindInt(2, texts[i]);
                while (st.step() == SqliteStatement::Step::Row)
                    rows += st.columnText(1).size();
            }
        });
        benchmark::DoNotOptimize(rows);
        return t * static_cast<double>(step);
    };
    // What a load could do instead: every value of the topic in one ordered query.
    auto oneQuery = [&](const std::string& path) {
        SqliteDatabase db;
        db.open(path, SqliteDatabase::OpenMode::ReadWrite);
        SqliteStatement st =
            db.prepare("SELECT [ObjectID], [FieldID], [Value] FROM [sys_Values] WHERE "
                       "[TopicID]=? ORDER BY [ObjectID], [FieldID];");
        std::size_t rows = 0;
        const double t = bestOf(1, [&] {
            st.bindInt(1, TopicId::Texts);
            while (st.step() == SqliteStatement::Step::Row)
                rows += static_cast<std::size_t>(st.columnInt(0)) + st.columnText(2).size();
            st.reset();
        });
        benchmark::DoNotOptimize(rows);
        return t;
    };
    auto deleteLookups = [&](const std::string& path, std::size_t step) {
        SqliteDatabase db;
        db.open(path, SqliteDatabase::OpenMode::ReadWrite);
        db.exec("BEGIN;");
        SqliteStatement st =
            db.prepare("DELETE FROM [sys_Values] WHERE [TopicID]=? And [ObjectID]=?;");
        const double t = bestOf(1, [&] {
            for (std::size_t i = 0; i < perGroup; i += step) {
                st.reset();
                st.bindInt(1, TopicId::Texts);
                st.bindInt(2, texts[i]);
                st.run();
            }
        });
        st.reset();
        db.exec("ROLLBACK;");
        return t * static_cast<double>(step);
    };
    double loadAfter = 0, loadBefore = 0, deleteAfter = 0, deleteBefore = 0, oneAfter = 0,
           oneBefore = 0;
    for (auto _ : state) {
        loadAfter = loadLookups(withValues, 1);
        oneAfter = oneQuery(withValues);
        oneBefore = oneQuery(bare);
        loadBefore = loadLookups(bare, 10);
        deleteAfter = deleteLookups(withValues, 1);
        deleteBefore = deleteLookups(bare, 10);
    }
    state.counters["load_lookups_ms"] = loadAfter * 1000.0;
    state.counters["load_lookups_no_index_ms"] = loadBefore * 1000.0;
    state.counters["load_factor"] = loadBefore / loadAfter;
    state.counters["load_one_query_ms"] = oneAfter * 1000.0;
    state.counters["load_one_query_no_index_ms"] = oneBefore * 1000.0;
    state.counters["delete_lookups_ms"] = deleteAfter * 1000.0;
    state.counters["delete_lookups_no_index_ms"] = deleteBefore * 1000.0;
    state.counters["delete_factor"] = deleteBefore / deleteAfter;
}

} // namespace

BENCHMARK(OpenAndLoad)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SingleDurableSave)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BulkCodings)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenWithVariables)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DeleteGroupWithVariables)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ValueLookupsWithoutObjectIndex)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
