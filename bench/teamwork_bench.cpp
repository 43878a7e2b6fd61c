// Merge and exchange import against the storage they cannot avoid: the same rows copied by
// SQLite alone, and the same import into a text that has none of the codings yet.
#include "BenchSession.h"
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/Workspace.h"
#include "exchange/Teamwork.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <sqlite3.h>
#include <tuple>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

std::vector<std::string> columnsOf(sqlite3* db, const std::string& table) {
    std::vector<std::string> out;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("PRAGMA table_info([" + table + "]);").c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_finalize(st);
    return out;
}

// Every row of the content tables and their variable values, appended under new ids through
// an attached database in one transaction: what any merge has to write, without a single
// lookup, mapping or counter.
void bareCopy(const std::string& target, const std::string& source) {
    sqlite3* db = nullptr;
    sqlite3_open(target.c_str(), &db);
    std::string sql = "ATTACH '" + source + "' AS src; BEGIN;";
    for (const char* table :
         {"Textgroups", "Texts", "Textsets", "Textlinks", "Codings", "Memos", "sys_Values"}) {
        const auto cols = columnsOf(db, table);
        std::string list, select;
        for (const auto& c : cols) {
            list += (list.empty() ? "[" : ", [") + c + "]";
            const bool id = c == "ID" || (std::string(table) == "sys_Values" && c == "ObjectID");
            select +=
                std::string(select.empty() ? "" : ", ") +
                (id ? "[" + c + "]+(SELECT IFNULL(max([" + c + "]),0) FROM main.[" + table + "])"
                    : "[" + c + "]");
        }
        sql += "INSERT INTO main.[" + std::string(table) + "] (" + list + ") SELECT " + select +
               " FROM src.[" + table + "];";
    }
    sql += "COMMIT; DETACH src;";
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "bare copy: %s\n", error ? error : "?");
        sqlite3_free(error);
    }
    sqlite3_close(db);
}

void MergeCopyIntoItself(benchmark::State& state) {
    const std::string source = workingCopy(standardProject(), "merge-source.vxp");
    double base = 1e300, ours = 1e300;
    exchange::MergeCounts n;
    for (auto _ : state) {
        for (int round = 0; round < 2; ++round) {
            const std::string target = workingCopy(standardProject(), "merge-target.vxp");
            base = std::min(base, bestOf(1, [&] { bareCopy(target, source); }));
            const std::string ourTarget = workingCopy(standardProject(), "merge-target.vxp");
            BenchSession s(ourTarget);
            ours = std::min(ours, bestOf(1, [&] {
                                const auto r = exchange::Teamwork(*s.ws).Merge(source);
                                if (r) n = *r;
                            }));
        }
    }
    report(state, base, ours);
    state.counters["texts"] = n.texts;
    state.counters["codings"] = n.codings;
    state.counters["memos"] = n.memos;
}

// One text of 5,000 codings of 50 codes, none enclosing another, with a variable value.
std::string textWithCodings(const std::string& name, bool withCodings) {
    const std::string path = freshPath(benchDirectory() + "/" + name);
    BenchSession s(path);
    TopicStore& st = s.doc.store();
    StoreBatch batch(st, true);
    RecordCursor c;
    st.NewRecord(TopicId::TextGroups, c);
    c.setText(GroupField::Name, "Interviews");
    const std::int32_t group = c.id();
    st.Save(c);
    Random r(3);
    st.NewRecord(TopicId::Texts, c);
    const std::int32_t text = c.id();
    c.setInt(TextField::Group, group);
    c.setText(TextField::Name, "Long interview");
    c.setBlock(TextField::Body, rtfOf(syntheticText(r, 5000 * 24)));
    st.Save(c, true, true);
    std::vector<std::int32_t> codes;
    for (int k = 0; k < 50; ++k) {
        st.NewRecord(TopicId::Codes, c);
        c.setText(CodeField::Name, "Code " + std::to_string(k + 1));
        c.setInt(CodeField::Index, k);
        codes.push_back(c.id());
        st.Save(c);
    }
    for (int k = 0; withCodings && k < 5000; ++k) {
        st.NewRecord(TopicId::Codings, c);
        c.setInt(CodingField::Text, text);
        c.setInt(CodingField::Code, codes[static_cast<std::size_t>(r.below(50))]);
        c.setInt(CodingField::StartChar, k * 24);
        c.setInt(CodingField::FinishChar, k * 24 + 10 + r.below(12));
        c.setInt(CodingField::StartPara, 1);
        c.setInt(CodingField::FinishPara, 1);
        c.setInt(CodingField::Weight, 100);
        c.setText(CodingField::Preview, "a passage");
        st.Save(c);
    }
    batch.finish();
    return path;
}

void ExchangeImportOfDuplicates(benchmark::State& state) {
    const std::string full = textWithCodings("exchange-full.vxp", true);
    const std::string empty = textWithCodings("exchange-empty.vxp", false);
    const std::string file = benchDirectory() + "/long.vxe";
    platform::removeFile(file);
    {
        BenchSession s(full);
        exchange::Teamwork(*s.ws).ExportText(1, file);
    }
    auto importInto = [&](const std::string& project, int& added) {
        BenchSession s(workingCopy(project, "exchange-target.vxp"));
        return bestOf(1, [&] {
            const auto n = exchange::Teamwork(*s.ws).ImportText(1, file, false);
            added = n ? n->codings.added : -1;
        });
    };
    double intoEmpty = 1e300, intoFull = 1e300;
    int addedEmpty = 0, addedFull = 0;
    for (auto _ : state)
        for (int round = 0; round < 3; ++round) {
            intoEmpty = std::min(intoEmpty, importInto(empty, addedEmpty));
            intoFull = std::min(intoFull, importInto(full, addedFull));
        }
    report(state, intoEmpty, intoFull);
    state.counters["added_empty"] = addedEmpty;
    state.counters["added_full"] = addedFull;
}

} // namespace

BENCHMARK(MergeCopyIntoItself)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ExchangeImportOfDuplicates)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
