// Variables against the work they cannot avoid: the import of a variable table against
// reading and splitting the same file, and activation by variables against a plain loop over
// the same values.
#include "BenchSession.h"
#include "BenchSupport.h"
#include "ProjectGenerator.h"
#include "analysis/DocumentSystem.h"
#include "platform/Files.h"
#include "platform/Sqlite.h"
#include "store/Schema.h"
#include "variables/VariableActivation.h"
#include "variables/VariableTable.h"
#include "variables/Variables.h"

#include <benchmark/benchmark.h>
#include <strings.h>

using namespace vexana;
using namespace vexana::bench;
using namespace vexana::store;

namespace {

constexpr int tableVariables = 20;

// A project of `texts` texts in one group "G" named "T1"..., made once per build.
std::string projectWithTexts(int texts, const std::string& name) {
    const std::string path = benchDirectory() + "/" + name + "-" + std::to_string(texts) + ".vxp";
    if (platform::fileExists(path)) return path;
    const std::string building = freshPath(path + ".building");
    {
        BenchSession s(building);
        StoreBatch batch(s.doc.store(), true);
        const std::int32_t g = s.ws->documents().NewTextGroup();
        s.ws->documents().RenameObject(TopicId::TextGroups, g, "G");
        for (int i = 1; i <= texts; ++i)
            s.ws->documents().CreateTextWith(g, "T" + std::to_string(i), "{\\rtf1 x}");
    }
    std::rename(building.c_str(), path.c_str());
    return path;
}

// Textgroup, Textname and 20 columns: integers, numbers, flags and words by turns.
std::string variableTable(int texts) {
    Random r(3);
    std::string out = "Textgroup\tTextname";
    for (int v = 0; v < tableVariables; ++v)
        out += "\tVar " + std::to_string(v);
    out += "\r\n";
    static const char* words[] = {"female", "male", "teacher", "nurse", "Berlin", "Cologne"};
    for (int t = 1; t <= texts; ++t) {
        out += "G\tT" + std::to_string(t);
        for (int v = 0; v < tableVariables; ++v) {
            out += '\t';
            switch (v % 4) {
            case 0:
                out += std::to_string(18 + r.below(70));
                break;
            case 1:
                out += std::to_string(r.below(100000)) + "." + std::to_string(r.below(100));
                break;
            case 2:
                out += r.below(2) ? "1" : "0";
                break;
            default:
                out += words[r.below(6)];
            }
        }
        out += "\r\n";
    }
    return out;
}

void ImportVariables(benchmark::State& state) {
    const int texts = 2000;
    const std::string source = projectWithTexts(texts, "variables-import");
    const std::string file = benchDirectory() + "/variables.txt";
    platform::writeFileAtomic(file, variableTable(texts));
    double base = 1e300, ours = 1e300, storage = 1e300;
    int imported = 0;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            base = std::min(base, bestOf(1, [&] {
                                const std::string bytes = *platform::readFile(file);
                                std::size_t cells = 0, pos = 0;
                                while (pos < bytes.size()) {
                                    const auto end = bytes.find("\r\n", pos);
                                    const std::string line = bytes.substr(pos, end - pos);
                                    std::size_t at = 0;
                                    for (std::size_t tab;
                                         (tab = line.find('\t', at)) != std::string::npos;
                                         at = tab + 1)
                                        benchmark::DoNotOptimize(line.substr(at, tab - at));
                                    cells += 1;
                                    pos = end == std::string::npos ? bytes.size() : end + 2;
                                }
                                benchmark::DoNotOptimize(cells);
                            }));
            // The storage it cannot avoid: the file's values split and written as rows of
            // sys_Values in one transaction, by hand.
            {
                const std::string path = workingCopy(source, "variables-import-raw.vxp");
                platform::SqliteDatabase db;
                db.open(path, platform::SqliteDatabase::OpenMode::ReadWrite);
                db.exec("PRAGMA synchronous=FULL;");
                storage =
                    std::min(storage, bestOf(1, [&] {
                                 const std::string bytes = *platform::readFile(file);
                                 db.exec("BEGIN;");
                                 auto insert =
                                     db.prepare("INSERT INTO [sys_Values] ([TopicID], [FieldID], "
                                                "[ObjectID], [Value]) VALUES(5, ?, ?, ?);");
                                 std::size_t pos = bytes.find("\r\n") + 2;
                                 for (int text = 1; pos < bytes.size(); ++text) {
                                     const auto end = bytes.find("\r\n", pos);
                                     const std::string line = bytes.substr(pos, end - pos);
                                     std::size_t at = line.find('\t', line.find('\t') + 1);
                                     for (int field = 9; at != std::string::npos; ++field) {
                                         const auto next = line.find('\t', at + 1);
                                         insert.reset();
                                         insert.bindInt(1, field);
                                         insert.bindInt(2, text);
                                         insert.bindText(3, line.substr(at + 1, next - at - 1));
                                         insert.run();
                                         at = next;
                                     }
                                     pos = end + 2;
                                 }
                                 db.exec("COMMIT;");
                             }));
            }
            BenchSession s(workingCopy(source, "variables-import-work.vxp"));
            ours = std::min(ours, bestOf(1, [&] {
                                imported = variables::VariableTable(s.doc).Import(file).imported;
                            }));
        }
    }
    report(state, base, ours);
    state.counters["storage_ms"] = storage * 1000.0;
    state.counters["storage_ratio"] = ours / storage;
    state.counters["texts"] = imported;
    state.counters["values"] = static_cast<double>(imported) * tableVariables;
}

// 20,000 texts with an Integer, a String and a Boolean variable.
std::string activationProject(int texts) {
    const std::string path =
        benchDirectory() + "/variables-activation-" + std::to_string(texts) + ".vxp";
    if (platform::fileExists(path)) return path;
    const std::string building = freshPath(path + ".building");
    {
        BenchSession s(building);
        variables::Variables vars(s.doc);
        const int age = vars.Add("Age", TypeInteger), sex = vars.Add("Sex", TypeString),
                  smoker = vars.Add("Smoker", TypeBoolean);
        StoreBatch batch(s.doc.store(), true);
        const std::int32_t g = s.ws->documents().NewTextGroup();
        Random r(11);
        RecordCursor c;
        for (int i = 1; i <= texts; ++i) {
            const std::int32_t t =
                s.ws->documents().CreateTextWith(g, "T" + std::to_string(i), "{\\rtf1 x}");
            s.doc.store().GetRecord(TopicId::Texts, t, c);
            c.setValueFromText(age, std::to_string(18 + r.below(70)));
            c.setValueFromText(sex, r.below(2) ? "Female" : "male");
            c.setValueFromText(smoker, r.below(3) ? "0" : "1");
            s.doc.store().Save(c, false, true);
        }
    }
    std::rename(building.c_str(), path.c_str());
    return path;
}

void ActivateByVariables(benchmark::State& state) {
    const int texts = 20000;
    BenchSession s(activationProject(texts));
    const TopicStore& st = s.doc.store();
    variables::Variables vars(s.doc);
    const int age = vars.Find("Age"), sex = vars.Find("Sex"), smoker = vars.Find("Smoker");
    // Sex = female, OR Age > 60, AND Smoker = 0.
    const std::vector<variables::FormulaRow> rows = {
        {sex, "Sex", variables::Combination::Or, variables::Operator::Equal, "female"},
        {age, "Age", variables::Combination::Or, variables::Operator::Greater, "60"},
        {smoker, "Smoker", variables::Combination::And, variables::Operator::Equal, "0"}};
    // The same values, as a program would hold them for this one question.
    std::vector<int> ages, smokers;
    std::vector<std::string> sexes;
    for (std::int32_t t : st.ListIds(TopicId::Texts)) {
        ages.push_back(st.GetInt(TopicId::Texts, t, age));
        smokers.push_back(st.GetInt(TopicId::Texts, t, smoker));
        sexes.push_back(st.GetText(TopicId::Texts, t, sex));
    }
    std::size_t matches = 0;
    double base = 0, ours = 0, activate = 1e300, records = 0;
    variables::VariableActivation act(*s.ws);
    for (auto _ : state) {
        std::tie(base, ours) = compare(
            20,
            [&] {
                std::vector<char> truth(ages.size());
                for (std::size_t i = 0; i < ages.size(); ++i)
                    truth[i] = ((strcasecmp(sexes[i].c_str(), "female") == 0 || ages[i] > 60) &&
                                smokers[i] == 0)
                                   ? 1
                                   : 0;
                benchmark::DoNotOptimize(truth.data());
            },
            [&] {
                const auto truth = variables::evaluate(st, rows);
                matches = static_cast<std::size_t>(std::count(truth.begin(), truth.end(), 1));
                benchmark::DoNotOptimize(truth.data());
            });
        // The same loop over the records where the store keeps the values: what reading them
        // costs before any comparison is made.
        const Topic& topic = *st.GetTopic(TopicId::Texts);
        const FieldInfo &fa = *topic.field(age), &fs = *topic.field(sex),
                        &fm = *topic.field(smoker);
        records = bestOf(20, [&] {
            std::vector<char> truth;
            truth.reserve(ages.size());
            topic.forEach([&](std::int32_t, const std::uint8_t* img) {
                const std::string_view v = topic.getText(img, fs);
                truth.push_back(((v.size() == 6 && strncasecmp(v.data(), "female", 6) == 0) ||
                                 slot::getInt(img, fa) > 60) &&
                                slot::getInt(img, fm) == 0);
            });
            benchmark::DoNotOptimize(truth.data());
        });
        // The whole command: evaluation and every text's activation, which changes each time.
        for (int round = 0; round < 6; ++round) {
            act.rows = rows;
            act.rows[2].value = round % 2 ? "1" : "0";
            activate = std::min(activate, bestOf(1, [&] { act.Activate(); }));
        }
    }
    report(state, base, ours);
    state.counters["activate_ms"] = activate * 1000.0;
    state.counters["records_loop_ms"] = records * 1000.0;
    state.counters["texts"] = texts;
    state.counters["matches"] = static_cast<double>(matches);
}

} // namespace

BENCHMARK(ImportVariables)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ActivateByVariables)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
