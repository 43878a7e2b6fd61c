// Every user operation is one unit: it reports success and its whole change is in the file,
// or it reports failure, the file is as it was and still opens, and the message names what
// went wrong. Each command runs once to count its file calls, then once for every call with
// that call failing.

#include "FaultVfs.h"
#include "ProjectSession.h"
#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/MemoOperations.h"
#include "analysis/Workspace.h"
#include "exchange/Teamwork.h"
#include "exchange/TextImport.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <set>

using namespace vexana;
using namespace vexana::store;
using namespace vexana::test;
namespace fs = std::filesystem;

namespace {

using Dump = std::vector<std::string>;

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::uint64_t fnv(const void* data, int n) {
    std::uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < n; ++i)
        h = (h ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    return h;
}

// Every table of the file, row by row, as a plain reader sees it. Creation dates differ
// between two runs of the same import, so they can be left out.
Dump dumpFile(const std::string& path, bool maskDates = false) {
    if (!fs::exists(path)) return {"<no file>"};
    sqlite3* db = nullptr;
    Dump out;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        out.push_back(std::string("<cannot open: ") + sqlite3_errmsg(db) + ">");
        sqlite3_close(db);
        return out;
    }
    auto rows = [&](const std::string& sql, const std::string& prefix) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            out.push_back(prefix + "<cannot read: " + sqlite3_errmsg(db) + ">");
            return;
        }
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::string line = prefix;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                line += c ? " | " : "";
                if (maskDates && lower(sqlite3_column_name(st, c)) == "date") {
                    line += "<date>";
                    continue;
                }
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_NULL:
                    line += "null";
                    break;
                case SQLITE_INTEGER:
                    line += std::to_string(sqlite3_column_int64(st, c));
                    break;
                case SQLITE_FLOAT: {
                    char buf[40];
                    std::snprintf(buf, sizeof buf, "%.17g", sqlite3_column_double(st, c));
                    line += buf;
                    break;
                }
                case SQLITE_TEXT:
                    line += "'" +
                            std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                        sqlite3_column_bytes(st, c)) +
                            "'";
                    break;
                default: {
                    const int n = sqlite3_column_bytes(st, c);
                    line += "blob " + std::to_string(n) + "/" +
                            std::to_string(fnv(sqlite3_column_blob(st, c), n));
                }
                }
            }
            out.push_back(std::move(line));
        }
        if (rc != SQLITE_DONE) out.push_back(prefix + "<read failed: " + sqlite3_errmsg(db) + ">");
        sqlite3_finalize(st);
    };
    rows("PRAGMA integrity_check;", "integrity: ");
    rows("SELECT type, name, sql FROM sqlite_master ORDER BY name;", "schema: ");
    std::vector<std::string> tables;
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name;",
                           -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    for (const auto& t : tables)
        rows("SELECT * FROM [" + t + "] ORDER BY rowid;", t + ": ");
    sqlite3_close(db);
    return out;
}

// The records the store holds, in the same terms for memory and for a fresh load.
Dump dumpStore(const TopicStore& s) {
    Dump out;
    for (const TopicDef& def : persistentTopics()) {
        const Topic* t = s.GetTopic(def.id);
        if (!t) continue;
        std::map<std::int32_t, std::string> rows;
        t->forEach([&](std::int32_t id, const std::uint8_t* img) {
            std::string line = std::string(def.table) + " " + std::to_string(id) + ":";
            for (const FieldInfo& f : t->fields()) {
                if (f.type == TypeBlock || f.type == TypeMemo || f.has(FieldState::Computed))
                    continue;
                line += " " + f.name + "=" + t->valueText(img, f);
            }
            rows[id] = std::move(line);
        });
        for (auto& [id, line] : rows)
            out.push_back(std::move(line));
    }
    return out;
}

// The first lines where two dumps part.
std::string difference(const Dump& want, const Dump& got) {
    std::string out;
    int shown = 0;
    std::set<std::string> a(want.begin(), want.end()), b(got.begin(), got.end());
    for (const auto& l : want)
        if (!b.count(l) && shown++ < 3) out += "\n      - " + l.substr(0, 160);
    for (const auto& l : got)
        if (!a.count(l) && shown++ < 6) out += "\n      + " + l.substr(0, 160);
    if (out.empty()) out = "\n      (same rows, other order or repeats)";
    return out;
}

// Files a run leaves in the work folder; SQLite's own side files come and go.
std::set<std::string> listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string n = e.path().filename().string();
        if (n.ends_with("-wal") || n.ends_with("-shm") || n.ends_with("-journal")) continue;
        names.insert(n);
    }
    return names;
}

std::string joined(const std::set<std::string>& names) {
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

using Session = ProjectSession;

struct Fault {
    const char* label;
    VfsCall call;
    int error;
    bool persistent;
    std::vector<std::string> cause; // a message names it when it holds one of these
};

const std::vector<Fault>& faults() {
    static const std::vector<Fault> all = {
        {"disk full", VfsCall::Write, SQLITE_FULL, true, {"disk is full", "disk full"}},
        {"write error", VfsCall::Write, SQLITE_IOERR_WRITE, false, {"i/o error"}},
        {"sync error", VfsCall::Sync, SQLITE_IOERR_FSYNC, false, {"i/o error"}},
        {"truncate error", VfsCall::Truncate, SQLITE_IOERR_TRUNCATE, false, {"i/o error"}},
        {"lock busy", VfsCall::Lock, SQLITE_BUSY, false, {"locked", "busy", "another program"}},
        {"read-only folder",
         VfsCall::Open,
         SQLITE_READONLY_DIRECTORY,
         false,
         {"read-only", "readonly"}},
        {"shm lock busy",
         VfsCall::ShmLock,
         SQLITE_BUSY,
         false,
         {"locked", "busy", "another program"}},
        {"shm map error", VfsCall::ShmMap, SQLITE_IOERR_SHMMAP, false, {"i/o error"}},
    };
    return all;
}

// A user command as a front end composes it from the core; true when it reported success.
struct Command {
    std::string name;
    std::string file = "p.vxp"; // the project, in the work folder
    bool existing = true;       // false: the command creates the file
    std::string copy;           // a file the command writes besides the project (a backup)
    std::function<bool(Session&)> run;
};

class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override {
        writeAll(dir.file("anna.txt"), "Anna talks about her work.\nAnd her family.\n");
        writeAll(dir.file("bernd.rtf"), "{\\rtf1\\ansi Bernd {\\b drives} a bus.\\par}");
        writeAll(dir.file("carla.txt"), "Carla\n");
        writeAll(dir.file("tagged.txt"), "#TEXT Dora\nDora bakes.\n#CODE Work\\Baking\nBread "
                                         "at five.\n#ENDCODE\n#ENDTEXT\n#TEXT Emil\nEmil "
                                         "rests.\n#CODE Family\nHis son.\n#ENDCODE\n");
        fs::create_directories(dir.file("prep"));
        const std::string path = dir.file("prep/p.vxp");
        {
            Session s;
            ASSERT_TRUE(s.open(path));
            auto& docs = s.docs();
            const std::int32_t group = docs.NewTextGroup();
            ASSERT_TRUE(docs.RenameObject(TopicId::TextGroups, group, "Interviews"));
            const auto text = [&](const char* name, const char* plain) {
                return docs.CreateTextWith(group, name,
                                           platform::RichText::fromPlain(plain).toRtf());
            };
            const std::int32_t anna =
                text("Anna", "Anna works at a bakery.\rShe has two children.\rWeekends are "
                             "for family.");
            const std::int32_t bernd = text("Bernd", "Bernd drives a bus.\rHe likes it.");
            ASSERT_TRUE(anna && bernd);
            auto& codes = s.ws->codes();
            const std::int32_t children = codes.FindCodeByPath(0, "Family\\Children", true);
            const std::int32_t work = codes.FindCodeByPath(0, "Work", true);
            for (auto [textId, code, a, b] :
                 {std::tuple{anna, children, 24, 45}, std::tuple{anna, work, 0, 23},
                  std::tuple{bernd, work, 0, 19}}) {
                analysis::CodingTemplate t;
                ASSERT_TRUE(s.ws->codings().TemplateFor(textId, a, b, t));
                t.code = code;
                std::int32_t batch = analysis::CodingOperations::NewBatch;
                s.ws->codings().AddCoding(t, batch);
                ASSERT_NE(s.ws->codings().lastCoding(), 0);
            }
            const std::int32_t set = docs.NewSet(false);
            ASSERT_TRUE(set && docs.AddTextToSet(set, anna));
        }
        prepared = readAll(path);
        preparedDump = dumpFile(path);
    }

    std::string work() const { return dir.file("work"); }

    struct Outcome {
        bool reported = false;
        int failures = 0;
        std::string failedFile;
        std::array<int, vfsCallKinds> counts{};
        std::vector<std::string> messages;
        std::optional<Dump> memory; // the store right after the command, when a project is open
        bool unitLeftOpen = false;
    };

    // One run in a fresh work folder; the fault, when given, hits the k-th call of its kind.
    Outcome runOnce(const Command& cmd, const Fault* fault, int k) {
        fs::remove_all(work());
        fs::create_directories(work());
        const std::string path = work() + "/" + cmd.file;
        if (cmd.existing) writeAll(path, prepared);
        Outcome out;
        Session s;
        if (cmd.existing && !s.open(path)) {
            out.messages.push_back("<the prepared project does not open>");
            return out;
        }
        s.ui.files = {cmd.copy.empty() ? path : work() + "/" + cmd.copy};
        s.ui.answers = {true};
        vfs.resetCounts();
        if (fault) vfs.arm(fault->call, k, fault->error, fault->persistent);
        out.reported = cmd.run(s);
        vfs.disarm();
        out.failures = vfs.failures();
        out.failedFile = vfs.failedFile();
        for (int c = 0; c < vfsCallKinds; ++c)
            out.counts[c] = vfs.count(static_cast<VfsCall>(c));
        for (const auto& m : s.ui.messages)
            out.messages.push_back(m.text);
        if (s.doc.isOpen()) {
            out.unitLeftOpen = s.doc.database()->inTransaction();
            out.memory = dumpStore(s.doc.store());
            s.doc.database()->Close();
        }
        return out;
    }

    // Runs the command clean, then with each fault at each of its calls; every way the
    // promise was broken becomes one line.
    std::vector<std::string> sweep(const Command& cmd) {
        const Outcome clean = runOnce(cmd, nullptr, 0);
        EXPECT_TRUE(clean.reported) << cmd.name << " fails without a fault";
        const std::string path = work() + "/" + cmd.file;
        const Dump expected = dumpFile(path, true);
        const Dump expectedCopy = cmd.copy.empty() ? Dump{} : dumpFile(work() + "/" + cmd.copy);
        const std::set<std::string> expectedFiles = listing(work());
        const Dump before = cmd.existing ? preparedDump : Dump{"<no file>"};
        const std::set<std::string> filesBefore =
            cmd.existing ? std::set<std::string>{cmd.file} : std::set<std::string>{};

        std::vector<std::string> problems;
        std::string countsLine;
        // Every run with what it said, for reading what the program tells its user.
        const bool trace = std::getenv("VEXANA_FAULT_TRACE") != nullptr;
        for (const Fault& fault : faults()) {
            const int n = clean.counts[static_cast<int>(fault.call)];
            countsLine += std::string(" ") + fault.label + "=" + std::to_string(n);
            for (int k = 1; k <= n; ++k) {
                const Outcome run = runOnce(cmd, &fault, k);
                const std::string where = cmd.name + ", " + fault.label +
                                          ", k=" + std::to_string(k) + "/" + std::to_string(n) +
                                          ": ";
                auto problem = [&](const std::string& what) { problems.push_back(where + what); };
                if (trace) {
                    std::printf("%s%s (%s failed)", where.c_str(),
                                run.reported ? "success" : "failure", run.failedFile.c_str());
                    for (const auto& m : run.messages)
                        std::printf(" \"%s\"", m.c_str());
                    std::printf("\n");
                }
                if (run.unitLeftOpen) problem("a unit of work was left open");
                const std::set<std::string> files = listing(work());
                if (run.reported) {
                    if (const Dump now = dumpFile(path, true); now != expected)
                        problem("reported success but the file differs from a clean run" +
                                difference(expected, now));
                    if (!cmd.copy.empty())
                        if (const Dump c = dumpFile(work() + "/" + cmd.copy); c != expectedCopy)
                            problem("reported success but " + cmd.copy + " is not the copy" +
                                    difference(expectedCopy, c));
                    if (files != expectedFiles)
                        problem("reported success but left the files " + joined(files));
                } else {
                    if (const Dump now = dumpFile(path); now != before)
                        problem("reported failure but the file changed" + difference(before, now));
                    if (files != filesBefore)
                        problem("reported failure but left the files " + joined(files));
                    std::string said;
                    bool named = false;
                    for (const auto& m : run.messages) {
                        said += (said.empty() ? "\"" : " / \"") + m + "\"";
                        for (const auto& c : fault.cause)
                            named = named || lower(m).find(c) != std::string::npos;
                    }
                    if (!named)
                        problem("reported failure without naming the cause; said " +
                                (said.empty() ? std::string("nothing") : said));
                    if (run.failures == 0) problem("reported failure although nothing failed");
                }
                if (fs::exists(path)) {
                    Session fresh;
                    if (!fresh.open(path)) {
                        problem("the file no longer opens as a project: " +
                                (fresh.ui.messages.empty() ? std::string()
                                                           : fresh.ui.messages.back().text));
                    } else if (run.memory) {
                        if (const Dump loaded = dumpStore(fresh.doc.store()); loaded != *run.memory)
                            problem("memory differs from the file (- file, + memory)" +
                                    difference(loaded, *run.memory));
                    }
                }
            }
        }
        std::printf("[   calls  ] %s:%s\n", cmd.name.c_str(), countsLine.c_str());
        return problems;
    }

    void expectKept(const Command& cmd) {
        const auto problems = sweep(cmd);
        if (problems.empty()) return;
        const std::size_t shown = std::getenv("VEXANA_FAULT_TRACE") ? problems.size() : 40;
        std::string text;
        for (std::size_t i = 0; i < problems.size() && i < shown; ++i)
            text += "\n  " + problems[i];
        if (problems.size() > shown)
            text += "\n  ... and " + std::to_string(problems.size() - shown) + " more";
        ADD_FAILURE() << problems.size() << " broken runs of " << cmd.name << ":" << text;
    }

    SyncFreeDir dir;
    FaultVfs vfs;
    std::string prepared;
    Dump preparedDump;
};

} // namespace

// As `vexana-cli code` composes it: the code path is made when missing and the passage coded,
// both in one unit.
TEST_F(FaultInjection, CodingAPassageWithANewCode) {
    expectKept({"code", "p.vxp", true, "", [](Session& s) {
                    const std::int32_t text = s.docs().FindText("Interviews\\Anna");
                    analysis::CodingTemplate t;
                    if (!text || !s.ws->codings().TemplateFor(text, 0, 23, t)) return false;
                    StoreBatch unit(s.doc.store());
                    t.code = s.ws->codes().FindCodeByPath(0, "Work\\Bakery", true);
                    std::int32_t batch = analysis::CodingOperations::NewBatch;
                    if (t.code) s.ws->codings().AddCoding(t, batch);
                    if (!t.code || !s.ws->codings().lastCoding()) unit.fail();
                    return unit.finish();
                }});
}

// As `vexana-cli memo-new` composes it: a code's memo made, filled and linked in one unit,
// the code naming it.
TEST_F(FaultInjection, WritingACodeMemo) {
    expectKept({"memo", "p.vxp", true, "", [](Session& s) {
                    analysis::MemoOperations memos(*s.ws);
                    const std::int32_t code = s.ws->codes().FindCodeByPath(0, "Work", false);
                    StoreBatch unit(s.doc.store());
                    const std::int32_t id = memos.CodeMemo(code);
                    analysis::Memo m;
                    if (!id || !memos.Load(id, m)) {
                        unit.fail();
                        return unit.finish() && false;
                    }
                    m.body = platform::RichText::fromPlain("Shifts start early.");
                    m.codes = {code, s.ws->codes().FindCodeByPath(0, "Family\\Children", false)};
                    if (!memos.Save(m)) unit.fail();
                    return unit.finish();
                }});
}

namespace {

// As `vexana-cli import` and `preprocess` compose them: the group is made when missing, and
// with the files in one unit; any message means the command failed.
std::function<bool(Session&)> importCommand(const std::string& groupName,
                                            const std::vector<std::string>& files,
                                            bool preprocess) {
    return [=](Session& s) {
        const std::size_t said = s.ui.messages.size();
        StoreBatch unit(s.doc.store(), true);
        std::int32_t group = s.docs().FindGroup(groupName);
        const bool newGroup = group == 0;
        if (newGroup) {
            group = s.docs().NewTextGroup();
            if (!group || !s.docs().RenameObject(TopicId::TextGroups, group, groupName)) {
                unit.fail();
                return unit.finish();
            }
        }
        exchange::TextImport import(*s.ws);
        const int n =
            preprocess ? import.PreprocessFiles(group, files) : import.ImportFiles(group, files);
        if (n == 0 && newGroup) unit.fail();
        return unit.finish() && s.ui.messages.size() == said;
    };
}

} // namespace

TEST_F(FaultInjection, ImportingFilesIntoANewGroup) {
    expectKept({"import", "p.vxp", true, "",
                importCommand("Imported",
                              {dir.file("anna.txt"), dir.file("bernd.rtf"), dir.file("carla.txt")},
                              false)});
}

TEST_F(FaultInjection, PreprocessingATaggedDocument) {
    expectKept({"preprocess", "p.vxp", true, "",
                importCommand("Interviews", {dir.file("tagged.txt")}, true)});
}

TEST_F(FaultInjection, DeletingATextGroupWithItsCodings) {
    expectKept({"delete group", "p.vxp", true, "", [](Session& s) {
                    return s.docs().ConfirmAndDelete(TopicId::TextGroups,
                                                     s.docs().FindGroup("Interviews"));
                }});
}

TEST_F(FaultInjection, BackingUpTheProject) {
    expectKept({"backup", "p.vxp", true, "backup.vxp",
                [](Session& s) { return s.doc.OnBackupProject(); }});
}

TEST_F(FaultInjection, CreatingANewProject) {
    expectKept(
        {"new project", "new.vxp", false, "", [](Session& s) { return s.doc.OnNewProject(); }});
}

// Merge Projects with a copy of the project: its groups, texts, codings, memos and sets in
// one unit; the source is only read.
TEST_F(FaultInjection, MergingAProject) {
    const std::string source = dir.file("prep/p.vxp");
    expectKept({"merge", "p.vxp", true, "", [source](Session& s) {
                    return exchange::Teamwork(*s.ws).Merge(source).has_value();
                }});
}

// Import Teamwork of a fragment that brings a new code and a coding with it.
TEST_F(FaultInjection, ImportingATeamworkFile) {
    fs::create_directories(dir.file("theirs"));
    writeAll(dir.file("theirs/p.vxp"), prepared);
    {
        Session o;
        ASSERT_TRUE(o.open(dir.file("theirs/p.vxp")));
        const std::int32_t anna = o.docs().FindText("Interviews\\Anna");
        analysis::CodingTemplate t;
        ASSERT_TRUE(o.ws->codings().TemplateFor(anna, 0, 4, t));
        t.code = o.ws->codes().FindCodeByPath(0, "Names", true);
        std::int32_t batch = analysis::CodingOperations::NewBatch;
        o.ws->codings().AddCoding(t, batch);
        ASSERT_TRUE(exchange::Teamwork(*o.ws).ExportText(anna, dir.file("theirs/anna.vxe")));
    }
    const std::string file = dir.file("theirs/anna.vxe");
    expectKept({"teamwork import", "p.vxp", true, "", [file](Session& s) {
                    const std::int32_t anna = s.docs().FindText("Interviews\\Anna");
                    const auto n = exchange::Teamwork(*s.ws).ImportText(anna, file, false);
                    return n && n->codings.added == 1;
                }});
}

// Export Teamwork: the exchange file appears whole or not at all, and the project is only read.
TEST_F(FaultInjection, ExportingATeamworkFile) {
    expectKept(
        {"teamwork export", "p.vxp", true, "anna.vxe", [this](Session& s) {
             const std::int32_t anna = s.docs().FindText("Interviews\\Anna");
             return exchange::Teamwork(*s.ws).ExportText(anna, work() + "/anna.vxe").has_value();
         }});
}
