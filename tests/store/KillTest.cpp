// A program killed at any moment leaves a project that opens, passes SQLite's integrity
// check and holds every change it reported as done. A child process works on the project
// and notes each operation in an append-only log, synced, before starting it ("B") and once
// it reported success ("A"); the parent kills it at a random moment and checks the file
// against the acknowledged operations.

#include "FaultVfs.h"
#include "ProjectSession.h"
#include "TestSupport.h"
#include "analysis/CodeSystem.h"
#include "analysis/CodingOperations.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "exchange/TextImport.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <poll.h>
#include <random>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vexana;
using namespace vexana::store;
using namespace vexana::test;

namespace {

using Session = ProjectSession;

// One line, on disk before the call returns.
void logLine(int fd, const std::string& line) {
    const std::string l = line + "\n";
    std::size_t done = 0;
    while (done < l.size()) {
        const ssize_t n = ::write(fd, l.data() + done, l.size() - done);
        if (n <= 0) _exit(4);
        done += static_cast<std::size_t>(n);
    }
    ::fsync(fd);
}

std::int32_t pick(std::mt19937& rng, const std::vector<std::int32_t>& ids) {
    return ids.empty() ? 0
                       : ids[std::uniform_int_distribution<std::size_t>(0, ids.size() - 1)(rng)];
}

int plainLength(TopicStore& s, std::int32_t text) {
    RecordCursor c;
    if (!s.GetRecord(TopicId::Texts, text, c, true)) return 0;
    const auto& b = c.block(TextField::Body);
    return platform::RichText::fromRtf(std::string(b.begin(), b.end())).length();
}

bool randomPassage(std::mt19937& rng, analysis::Workspace& ws, std::int32_t text,
                   analysis::CodingTemplate& t) {
    const int length = text ? plainLength(ws.store(), text) : 0;
    if (length < 2) return false;
    int a = std::uniform_int_distribution<int>(0, length - 1)(rng);
    int b = std::uniform_int_distribution<int>(0, length - 1)(rng);
    if (a > b) std::swap(a, b);
    return ws.codings().TemplateFor(text, a, b + 1, t);
}

std::string codingFacts(std::int32_t id, const analysis::CodingTemplate& t) {
    return std::to_string(id) + " " + std::to_string(t.text) + " " + std::to_string(t.code) + " " +
           std::to_string(t.start) + " " + std::to_string(t.finish);
}

// The child: operations in a random order until it is killed. Never returns.
// twoSteps: also the commands that make a code or group first and then code or import into
// it, as the command line composes them.
[[noreturn]] void work(const std::string& project, const std::string& inputs, int logFd,
                       int readyFd, unsigned round, bool twoSteps) {
    Session s;
    if (!s.open(project)) _exit(3);
    if (::write(readyFd, "r", 1) != 1) _exit(4);
    TopicStore& st = s.doc.store();
    analysis::Workspace& ws = *s.ws;
    std::mt19937 rng(round * 7919u + 17u);
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "K" + std::to_string(round) + "_" + std::to_string(i);
        int op = std::uniform_int_distribution<int>(0, 99)(rng);
        if (!twoSteps && op >= 25 && op < 35) op = 0;
        const std::vector<std::int32_t> texts = st.ListIds(TopicId::Texts);
        const std::vector<std::int32_t> codes = st.ListIds(TopicId::Codes);
        if (op < 25) {
            const std::int32_t text = pick(rng, texts), code = pick(rng, codes);
            analysis::CodingTemplate t;
            if (!code || !randomPassage(rng, ws, text, t)) continue;
            t.code = code;
            const auto before =
                st.FindIds(TopicId::Codings, TopicId::Texts, text, TopicId::Codes, code);
            logLine(logFd, "B code " + std::to_string(text) + " " + std::to_string(code));
            std::int32_t batch = analysis::CodingOperations::NewBatch;
            ws.codings().AddCoding(t, batch);
            const std::int32_t id = ws.codings().lastCoding();
            if (!id) continue;
            const auto after =
                st.FindIds(TopicId::Codings, TopicId::Texts, text, TopicId::Codes, code);
            std::string line = "A code " + codingFacts(id, t);
            for (std::int32_t old : before)
                if (std::find(after.begin(), after.end(), old) == after.end())
                    line += " " + std::to_string(old);
            logLine(logFd, line);
        } else if (op < 35) {
            // As `vexana-cli code` with a code path that does not exist yet: one unit.
            analysis::CodingTemplate t;
            if (!randomPassage(rng, ws, pick(rng, texts), t)) continue;
            logLine(logFd, "B codenew " + name);
            StoreBatch unit(st);
            t.code = ws.codes().FindCodeByPath(0, name, true);
            std::int32_t batch = analysis::CodingOperations::NewBatch;
            if (t.code) ws.codings().AddCoding(t, batch);
            const std::int32_t id = ws.codings().lastCoding();
            if (!t.code || !id) unit.fail();
            if (unit.finish())
                logLine(logFd, "A codenew " + std::to_string(t.code) + " " + name + " " +
                                   codingFacts(id, t));
        } else if (op < 50) {
            const std::int32_t coding = pick(rng, st.ListIds(TopicId::Codings));
            if (!coding) continue;
            logLine(logFd, "B uncode " + std::to_string(coding));
            if (ws.codings().DeleteCoding(coding, false))
                logLine(logFd, "A uncode " + std::to_string(coding));
        } else if (op < 65) {
            // Every other one as `vexana-cli import` into a group it makes: one unit too.
            const bool newGroup = twoSteps && op % 2 == 0;
            std::int32_t group = pick(rng, st.ListIds(TopicId::TextGroups));
            if (!group && !newGroup) continue;
            const std::string file = inputs + "/" + name + ".txt";
            writeAll(file, "Imported " + name + " talks.\nSecond line of " + name + ".\n");
            logLine(logFd, newGroup ? "B importnew " + name : "B import");
            const std::size_t said = s.ui.messages.size();
            StoreBatch unit(st, true);
            if (newGroup) {
                group = ws.documents().NewTextGroup();
                if (!group || !ws.documents().RenameObject(TopicId::TextGroups, group, name))
                    group = 0;
            }
            const int n = group ? exchange::TextImport(ws).ImportFiles(group, {file}) : 0;
            if (n == 0) unit.fail();
            if (!unit.finish() || n != 1 || s.ui.messages.size() != said) continue;
            const std::int32_t id = ws.documents().FindText(
                st.GetName(TopicId::TextGroups, group, false) + "\\" + name);
            if (id) logLine(logFd, "A import " + std::to_string(id) + " " + name);
        } else if (op < 75) {
            if (texts.size() < 3) continue;
            const std::int32_t text = pick(rng, texts);
            std::string line = "A deltext " + std::to_string(text);
            for (std::int32_t c : st.FindIds(TopicId::Codings, TopicId::Texts, text))
                line += " " + std::to_string(c);
            logLine(logFd, "B deltext " + std::to_string(text));
            if (ws.documents().DeleteObject(TopicId::Texts, text)) logLine(logFd, line);
        } else if (op < 85) {
            logLine(logFd, "B newcode");
            if (const std::int32_t id = ws.codes().NewCode(0, name, false))
                logLine(logFd, "A newcode " + std::to_string(id) + " " + name);
        } else {
            const bool text = op % 2 == 0;
            const int topic = text ? TopicId::Texts : TopicId::Codes;
            const std::int32_t id = pick(rng, text ? texts : codes);
            if (!id) continue;
            const std::string tail = std::to_string(topic) + " " + std::to_string(id);
            logLine(logFd, "B rename " + tail);
            if (ws.documents().RenameObject(topic, id, name))
                logLine(logFd, "A rename " + tail + " " + name);
        }
    }
    _exit(0);
}

// What the acknowledged operations say about one record.
struct Fact {
    bool present = true;
    std::string name;                // texts and codes
    std::int32_t text = 0, code = 0; // codings
    std::int32_t start = 0, finish = 0;
};
using Key = std::pair<int, std::int32_t>;

Fact gone() {
    Fact f;
    f.present = false;
    return f;
}

class Model {
public:
    // An acknowledged operation.
    void apply(const std::string& line) {
        std::istringstream in(line);
        std::string tag, op;
        in >> tag >> op;
        if (op == "codenew") {
            std::int32_t code = 0;
            Fact named;
            in >> code >> named.name;
            facts_[{TopicId::Codes, code}] = named;
        }
        if (op == "code" || op == "codenew") {
            Fact f;
            std::int32_t id = 0, old = 0;
            in >> id >> f.text >> f.code >> f.start >> f.finish;
            facts_[{TopicId::Codings, id}] = f;
            while (in >> old)
                facts_[{TopicId::Codings, old}] = gone();
        } else if (op == "uncode") {
            std::int32_t id = 0;
            in >> id;
            facts_[{TopicId::Codings, id}] = gone();
        } else if (op == "import" || op == "importnew" || op == "newcode") {
            std::int32_t id = 0;
            Fact f;
            in >> id >> f.name;
            facts_[{op == "newcode" ? TopicId::Codes : TopicId::Texts, id}] = f;
        } else if (op == "deltext") {
            std::int32_t id = 0, coding = 0;
            in >> id;
            facts_[{TopicId::Texts, id}] = gone();
            while (in >> coding)
                facts_[{TopicId::Codings, coding}] = gone();
        } else if (op == "rename") {
            int topic = 0;
            std::int32_t id = 0;
            Fact f;
            in >> topic >> id >> f.name;
            facts_[{topic, id}] = f;
        }
    }

    // An operation that was running when the process died may or may not be in the file:
    // whatever it could touch is no longer known.
    void forgetInFlight(const std::string& line) {
        std::istringstream in(line);
        std::string tag, op;
        in >> tag >> op;
        std::int32_t a = 0, b = 0;
        in >> a >> b;
        std::erase_if(facts_, [&](const auto& kv) {
            const auto& [key, f] = kv;
            const auto& [topic, id] = key;
            // A new record may take the id of a deleted one.
            const bool codings = op == "code" || op == "codenew";
            const bool texts = op == "import" || op == "importnew";
            const bool codes = op == "newcode" || op == "codenew";
            if (!f.present &&
                ((codings && topic == TopicId::Codings) || (texts && topic == TopicId::Texts) ||
                 (codes && topic == TopicId::Codes)))
                return true;
            if (op == "code") return topic == TopicId::Codings && f.text == a && f.code == b;
            if (op == "uncode") return topic == TopicId::Codings && id == a;
            if (op == "deltext")
                return (topic == TopicId::Texts && id == a) ||
                       (topic == TopicId::Codings && f.text == a);
            if (op == "rename") return topic == a && id == b;
            return false;
        });
    }

    // What the file breaks of the facts, one line each.
    std::vector<std::string> check(const TopicStore& s) const {
        std::vector<std::string> wrong;
        for (const auto& [key, f] : facts_) {
            const int topic = key.first;
            const std::int32_t id = key.second;
            const Topic* t = s.GetTopic(topic);
            const bool there = t && t->contains(id);
            const std::string what = (topic == TopicId::Codings ? "coding "
                                      : topic == TopicId::Texts ? "text "
                                                                : "code ") +
                                     std::to_string(id);
            if (!f.present) {
                if (there) wrong.push_back(what + " was deleted but is back");
                continue;
            }
            if (!there) {
                wrong.push_back(what + " was acknowledged but is missing");
                continue;
            }
            if (topic == TopicId::Codings) {
                const auto get = [&](int field) { return s.GetInt(topic, id, field); };
                if (get(CodingField::Text) != f.text || get(CodingField::Code) != f.code ||
                    get(CodingField::StartChar) != f.start ||
                    get(CodingField::FinishChar) != f.finish)
                    wrong.push_back(what + " is not the acknowledged one");
            } else {
                const int field = topic == TopicId::Texts ? TextField::Name : CodeField::Name;
                if (s.GetText(topic, id, field) != f.name)
                    wrong.push_back(what + " is named \"" + s.GetText(topic, id, field) +
                                    "\", not \"" + f.name + "\"");
            }
        }
        return wrong;
    }

    std::size_t size() const { return facts_.size(); }

private:
    std::map<Key, Fact> facts_;
};

// An operation of two steps cut short by the kill has made both or neither.
std::string splitUnit(const TopicStore& s, const std::string& inFlight) {
    std::istringstream in(inFlight);
    std::string tag, op, name;
    in >> tag >> op >> name;
    const int topic = op == "codenew" ? TopicId::Codes : TopicId::TextGroups;
    if (op != "codenew" && op != "importnew") return {};
    const int field = op == "codenew" ? CodeField::Name : GroupField::Name;
    for (std::int32_t id : s.ListIds(topic)) {
        if (s.GetText(topic, id, field) != name) continue;
        const bool empty = op == "codenew"
                               ? s.FindIds(TopicId::Codings, TopicId::Codes, id).empty()
                               : s.FindIds(TopicId::Texts, TopicId::TextGroups, id).empty();
        if (empty)
            return op == "codenew" ? "the new code " + name + " is there without its coding"
                                   : "the new group " + name + " is there without its text";
    }
    return {};
}

// Counters a unit of work keeps with its codings.
std::vector<std::string> counterMismatches(const TopicStore& s) {
    std::vector<std::string> wrong;
    std::map<std::int32_t, int> perText, perCode;
    for (std::int32_t c : s.ListIds(TopicId::Codings)) {
        ++perText[s.GetInt(TopicId::Codings, c, CodingField::Text)];
        ++perCode[s.GetInt(TopicId::Codings, c, CodingField::Code)];
    }
    for (std::int32_t t : s.ListIds(TopicId::Texts))
        if (s.GetInt(TopicId::Texts, t, TextField::Codes) != perText[t])
            wrong.push_back("text " + std::to_string(t) + " counts " +
                            std::to_string(s.GetInt(TopicId::Texts, t, TextField::Codes)) +
                            " codings, holds " + std::to_string(perText[t]));
    for (std::int32_t c : s.ListIds(TopicId::Codes))
        if (s.GetInt(TopicId::Codes, c, CodeField::Codes) != perCode[c])
            wrong.push_back("code " + std::to_string(c) + " counts " +
                            std::to_string(s.GetInt(TopicId::Codes, c, CodeField::Codes)) +
                            " codings, holds " + std::to_string(perCode[c]));
    return wrong;
}

std::string integrity(CVexDoc& doc) {
    auto st = doc.database()->connection().prepare("PRAGMA integrity_check;");
    std::string out;
    while (st.step() == platform::SqliteStatement::Step::Row)
        out += (out.empty() ? "" : "; ") + st.columnText(0);
    return out;
}

} // namespace

namespace {

// Kills a child working on one project again and again and checks the file each time.
void killRepeatedly(bool twoSteps) {
    const char* longMode = std::getenv("VEXANA_LONG_TESTS");
    const int kills = longMode && std::string(longMode) == "1" ? 300 : 30;
    SyncFreeDir dir;
    const std::string project = dir.file("p.vxp"), log = dir.file("ops.log");
    {
        Session s;
        ASSERT_TRUE(s.open(project));
        auto& docs = s.ws->documents();
        const std::int32_t group = docs.NewTextGroup();
        ASSERT_TRUE(docs.RenameObject(TopicId::TextGroups, group, "G"));
        for (const char* name : {"One", "Two", "Three"})
            ASSERT_TRUE(docs.CreateTextWith(
                group, name,
                platform::RichText::fromPlain(std::string(name) + " speaks.\rA second paragraph.")
                    .toRtf()));
        ASSERT_TRUE(s.ws->codes().FindCodeByPath(0, "Work\\Bakery", true));
        ASSERT_TRUE(s.ws->codes().FindCodeByPath(0, "Family", true));
    }
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ASSERT_GE(logFd, 0);

    Model model;
    std::size_t consumed = 0; // bytes of the log already applied
    std::mt19937 rng(20240611u);
    std::vector<std::string> problems;
    int acknowledged = 0, inFlight = 0;
    for (int round = 0; round < kills && problems.size() < 20; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            work(project, dir.path(), logFd, ready[1], static_cast<unsigned>(round), twoSteps);
        }
        ::close(ready[1]);
        // Now and then during the opening, mostly while operations run.
        const bool early = std::uniform_int_distribution<int>(0, 5)(rng) == 0;
        if (!early) {
            pollfd p{ready[0], POLLIN, 0};
            ::poll(&p, 1, 10000);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<int>(0, early ? 15000 : 40000)(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
            problems.push_back("round " + std::to_string(round) + ": the child could not open");

        // Only whole lines count; a torn last line is cut off so the next child starts clean.
        const std::string text = readAll(log);
        const std::size_t end = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
        if (end < text.size()) ASSERT_EQ(::ftruncate(logFd, static_cast<off_t>(end)), 0);
        std::string last;
        for (std::size_t p = consumed; p < end;) {
            const std::size_t nl = text.find('\n', p);
            const std::string line = text.substr(p, nl - p);
            p = nl + 1;
            if (line.starts_with("A ")) {
                model.apply(line);
                ++acknowledged;
            }
            last = line;
        }
        consumed = end;
        if (last.starts_with("B ")) {
            model.forgetInFlight(last);
            ++inFlight;
        }

        Session s;
        const std::string at = "round " + std::to_string(round) + ": ";
        if (!s.open(project)) {
            problems.push_back(at + "the project does not open: " +
                               (s.ui.messages.empty() ? "" : s.ui.messages.back().text));
            break;
        }
        if (const std::string ok = integrity(s.doc); ok != "ok")
            problems.push_back(at + "integrity check: " + ok);
        for (const auto& w : model.check(s.doc.store()))
            problems.push_back(at + w);
        for (const auto& w : counterMismatches(s.doc.store()))
            problems.push_back(at + w);
        if (last.starts_with("B "))
            if (const std::string split = splitUnit(s.doc.store(), last); !split.empty())
                problems.push_back(at + split);
    }
    ::close(logFd);
    std::printf("[   kills  ] %d kills, %d acknowledged operations, %d cut short, %zu facts\n",
                kills, acknowledged, inFlight, model.size());
    EXPECT_GT(acknowledged, kills) << "the child hardly got to work before it was killed";
    std::string all;
    for (const auto& p : problems)
        all += "\n  " + p;
    EXPECT_TRUE(problems.empty()) << all;
}

} // namespace

TEST(KillTest, AKilledProgramKeepsEveryAcknowledgedChangeAndAWholeFile) {
    killRepeatedly(false);
}

TEST(KillTest, ACommandThatMakesItsCodeOrGroupFirstIsStillOneUnit) {
    killRepeatedly(true);
}
