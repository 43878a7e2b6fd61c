#include "FaultVfs.h"
#include "ProjectFixture.h"
#include "analysis/Retrieval.h"
#include "exchange/TextImport.h"
#include "platform/Sqlite.h"

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <tuple>

using namespace vexana;
using namespace vexana::store;
using namespace vexana::test;
using Step = platform::SqliteStatement::Step;

namespace {

// Every table of the open project, each as its sorted rows: what the file holds.
std::string fileContents(CVexDoc& doc) {
    platform::SqliteDatabase& db = doc.database()->connection();
    std::vector<std::string> tables;
    {
        auto st = db.prepare("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name;");
        while (st.step() == Step::Row)
            tables.push_back(st.columnText(0));
    }
    std::string out;
    for (const std::string& table : tables) {
        auto st = db.prepare("SELECT * FROM [" + table + "];");
        std::vector<std::string> rows;
        while (st.step() == Step::Row) {
            std::string row;
            for (int c = 0; c < st.columnCount(); ++c)
                row += (st.isNull(c) ? std::string("<null>") : st.columnText(c)) + "|";
            rows.push_back(std::move(row));
        }
        std::sort(rows.begin(), rows.end());
        out += "== " + table + "\n";
        for (const auto& r : rows)
            out += r + "\n";
    }
    return out;
}

// Every persistent record the store holds, by its values: what memory holds.
std::string memoryContents(CVexDoc& doc) {
    std::string out;
    for (int topic : {TopicId::TextGroups, TopicId::TextSets, TopicId::Texts, TopicId::TextLinks,
                      TopicId::Codes, TopicId::Codings, TopicId::Memos}) {
        std::vector<std::string> rows;
        for (std::int32_t id : doc.store().ListIds(topic)) {
            std::string row;
            for (int f = 0; f < doc.store().FieldCount(topic); ++f)
                row += doc.store().GetText(topic, id, doc.store().FieldAt(topic, f)->id) + "|";
            rows.push_back(std::move(row));
        }
        std::sort(rows.begin(), rows.end());
        out += "== " + std::to_string(topic) + "\n";
        for (const auto& r : rows)
            out += r + "\n";
    }
    return out;
}

class Undo : public ProjectFixture {
protected:
    std::string state() { return fileContents(doc) + memoryContents(doc); }

    template <class T> T pick(const std::vector<T>& v) {
        return v.empty() ? T{}
                         : v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)];
    }
    int between(int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); }

    // One user operation of some kind, as one named unit, the way the desktop runs a command.
    void randomOperation() {
        const auto groups = s().ListIds(TopicId::TextGroups);
        const auto texts = s().ListIds(TopicId::Texts);
        const auto codeIds = s().ListIds(TopicId::Codes);
        std::vector<std::int32_t> codingIds;
        for (std::int32_t id : s().ListIds(TopicId::Codings))
            if (s().GetInt(TopicId::Codings, id, CodingField::Code) != 0) codingIds.push_back(id);
        const std::vector<std::pair<const char*, std::function<void()>>> ops = {
            {"New Group", [&] { docs().NewTextGroup(); }},
            {"New Text",
             [&] {
                 if (!groups.empty())
                     text(pick(groups), "T" + std::to_string(between(0, 99)),
                          "One two three.\nFour five six seven.\nEight.");
             }},
            {"Rename",
             [&] {
                 if (!texts.empty()) docs().RenameObject(TopicId::Texts, pick(texts), "R'n\"x");
             }},
            {"Rename Code",
             [&] {
                 if (!codeIds.empty()) docs().RenameObject(TopicId::Codes, pick(codeIds), "Kid");
             }},
            {"New Code", [&] { codes().NewCode(between(0, 1) ? pick(codeIds) : 0, "C", false); }},
            {"Code",
             [&] {
                 if (texts.empty() || codeIds.empty()) return;
                 const int a = between(0, 20);
                 code(pick(texts), pick(codeIds), a, a + between(1, 15));
             }},
            {"Delete Coded Segment",
             [&] {
                 if (!codingIds.empty()) codings().DeleteCoding(pick(codingIds), false);
             }},
            {"Weight",
             [&] {
                 if (!codingIds.empty()) codings().SetWeight(pick(codingIds), between(0, 100));
             }},
            {"Colour",
             [&] {
                 if (!codeIds.empty()) codes().SetCodeColour(pick(codeIds), between(1, 15));
             }},
            {"Delete Text",
             [&] {
                 if (!texts.empty()) docs().DeleteObject(TopicId::Texts, pick(texts));
             }},
            {"Delete Group",
             [&] {
                 if (!groups.empty() && between(0, 2) == 0)
                     docs().DeleteObject(TopicId::TextGroups, pick(groups));
             }},
            {"Delete Code",
             [&] {
                 if (!codeIds.empty()) docs().DeleteObject(TopicId::Codes, pick(codeIds));
             }},
            {"New Set",
             [&] {
                 if (!texts.empty()) docs().AddTextToSet(docs().NewSet(false), pick(texts));
             }},
            {"Copy Text",
             [&] {
                 if (!texts.empty() && !groups.empty())
                     docs().CopyText(pick(texts), TopicId::TextGroups, pick(groups));
             }},
            {"Undo Code", [&] { codings().UndoBatch(0); }},
            {"Import Text(s)",
             [&] {
                 if (groups.empty()) return;
                 writeAll(dir.file("in.txt"), "Imported line.\nAnd a second one.\n");
                 exchange::TextImport(*ws).ImportFiles(pick(groups), {dir.file("in.txt")});
             }},
            {"New Variable",
             [&] {
                 FieldInfo f;
                 f.name = "Age";
                 f.type = between(0, 1) ? TypeInteger : TypeString;
                 f.state = FieldState::NewVariable;
                 s().AddField(TopicId::Texts, f);
             }},
            {"Rename Variable",
             [&] {
                 const auto vars = s().ListVariables(TopicId::Texts);
                 if (!vars.empty()) s().RenameField(TopicId::Texts, pick(vars), "Renamed");
             }},
            {"Remove Variable",
             [&] {
                 const auto vars = s().ListVariables(TopicId::Texts);
                 if (!vars.empty() && between(0, 2) == 0)
                     s().RemoveField(TopicId::Texts, pick(vars));
             }},
            {"Set Variable",
             [&] {
                 const auto vars = s().ListVariables(TopicId::Texts);
                 RecordCursor c;
                 if (!vars.empty() && !texts.empty() &&
                     s().GetRecord(TopicId::Texts, pick(texts), c))
                     s().SetFieldText(c, pick(vars), std::to_string(between(1, 90)));
             }},
            {"In-Vivo",
             [&] {
                 analysis::CodingTemplate t;
                 if (!texts.empty() && codings().TemplateFor(pick(texts), 0, 3, t))
                     codings().InVivo(t);
             }},
            {"Save Text",
             [&] {
                 if (texts.empty()) return;
                 const std::int32_t t = pick(texts);
                 std::vector<analysis::EditedCoding> edited;
                 for (std::int32_t c : s().FindIds(TopicId::Codings, TopicId::Texts, t))
                     edited.push_back({c, 0, 0, false, true});
                 codings().SaveEditedText(t, platform::RichText::fromPlain("Edited body."), edited,
                                          {});
             }},
        };
        const auto& [name, op] =
            ops[static_cast<std::size_t>(between(0, static_cast<int>(ops.size()) - 1))];
        StoreBatch unit(s(), name);
        op();
    }

    std::mt19937 rng{12345};
};

} // namespace

TEST_F(Undo, EveryStepGoesBackAndForthExactly) {
    for (unsigned seed : {1u, 2u, 3u}) {
        rng.seed(seed);
        doc.history()->clear();
        std::vector<std::string> states{state()};
        std::vector<std::string> names;
        for (int i = 0; i < 60; ++i) {
            const std::size_t units = doc.history()->unitCount();
            randomOperation();
            const std::string now = state();
            if (doc.history()->unitCount() == units) {
                // Refused or without effect: nothing to undo.
                ASSERT_EQ(now, states.back()) << seed << ": " << i;
                continue;
            }
            ASSERT_TRUE(doc.canUndo()) << seed << ": " << i;
            states.push_back(now);
            names.push_back(doc.undoText());
        }
        ASSERT_GT(states.size(), 20u);
        for (std::size_t i = states.size() - 1; i > 0; --i) {
            EXPECT_EQ(doc.undoText(), names[i - 1]);
            ASSERT_TRUE(doc.Undo()) << seed << ": undo " << i << " " << names[i - 1];
            ASSERT_EQ(state(), states[i - 1]) << seed << ": after undoing " << names[i - 1];
        }
        EXPECT_FALSE(doc.canUndo());
        for (std::size_t i = 1; i < states.size(); ++i) {
            ASSERT_TRUE(doc.Redo()) << seed << ": redo " << i;
            ASSERT_EQ(state(), states[i]) << seed << ": after redoing " << names[i - 1];
        }
        EXPECT_FALSE(doc.canRedo());
        EXPECT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    }
}

TEST_F(Undo, HistoryRulesAndFailures) {
    const std::int32_t group = docs().NewTextGroup();
    const std::int32_t t = text(group, "T", "Some text to code here.");
    const std::int32_t c = codes().NewCode(0, "C", false);
    ASSERT_GT(code(t, c, 0, 9), 0);
    {
        StoreBatch unit(s(), "Delete Code");
        docs().DeleteObject(TopicId::Codes, c);
    }
    EXPECT_EQ(doc.undoText(), "Undo Delete Code");
    EXPECT_EQ(doc.redoText(), "Redo");
    // A refused operation leaves nothing to undo.
    EXPECT_EQ(code(t, 999, 0, 3), 0);
    EXPECT_EQ(doc.undoText(), "Undo Delete Code");

    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(s().GetInt(TopicId::Codes, c, CodeField::Codes), 1);
    EXPECT_EQ(s().GetInt(TopicId::Texts, t, TextField::Codes), 1);
    EXPECT_EQ(doc.redoText(), "Redo Delete Code");
    // A new change drops what was undone.
    docs().RenameObject(TopicId::TextGroups, group, "G2");
    EXPECT_FALSE(doc.canRedo());
    EXPECT_EQ(doc.redoText(), "Redo");

    // A command's units are one step, named after it.
    const std::size_t steps = doc.history()->unitCount();
    doc.beginCommand("New Code");
    const std::int32_t fresh = codes().NewCode(0, "New", false);
    docs().RenameObject(TopicId::Codes, fresh, "Renamed");
    doc.endCommand();
    EXPECT_EQ(doc.history()->unitCount(), steps + 1);
    EXPECT_EQ(doc.undoText(), "Undo New Code");
    ASSERT_TRUE(doc.Undo());
    EXPECT_FALSE(s().GetTopic(TopicId::Codes)->contains(fresh));

    // An analysis's result codings (no code) are the retrieval's: no step.
    const std::size_t before2 = doc.history()->unitCount();
    {
        StoreBatch unit(s(), "Intersection");
        RecordCursor r;
        ASSERT_TRUE(s().NewRecord(TopicId::Codings, r));
        r.setInt(CodingField::Text, t);
        ASSERT_TRUE(s().Save(r));
    }
    EXPECT_EQ(doc.history()->unitCount(), before2);

    // A record brought back takes its place again, as loading would put it.
    const std::int32_t a = codes().NewCode(0, "A", false), b = codes().NewCode(0, "B", false),
                       c3 = codes().NewCode(0, "C", false);
    const auto order = s().ListIds(TopicId::Codes);
    docs().DeleteObject(TopicId::Codes, b);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(s().ListIds(TopicId::Codes), order) << a << c3;

    // The history belongs to the project.
    ASSERT_TRUE(doc.OpenPath(dir.file("other.vxp"), false));
    EXPECT_FALSE(doc.canUndo());
    EXPECT_EQ(doc.undoText(), "Undo");
}

TEST_F(Undo, BoundsDropTheOldestAndRefuseWhatIsTooLarge) {
    UndoHistory::Limits limits;
    limits.units = 5;
    limits.bytes = 200000;
    UndoHistory small(s(), limits);
    s().setChangeObserver(&small);
    const std::int32_t group = docs().NewTextGroup();
    for (int i = 0; i < 8; ++i) {
        small.beginUnit("Rename");
        docs().RenameObject(TopicId::TextGroups, group, "G" + std::to_string(i));
        small.endUnit(true);
    }
    EXPECT_EQ(small.unitCount(), 5u);
    small.beginUnit("Import Text(s)");
    text(group, "Big", std::string(300000, 'x'));
    small.endUnit(true);
    EXPECT_TRUE(small.canUndo()); // made rows are kept by their ids alone
    small.beginUnit("Delete Group");
    docs().DeleteObject(TopicId::TextGroups, group);
    small.endUnit(true);
    EXPECT_FALSE(small.canUndo());
    EXPECT_EQ(small.undoText(), "Can't Undo Delete Group: too large");
    EXPECT_LE(small.bytes(), limits.bytes);
    s().setChangeObserver(doc.history());
}

TEST(UndoOnAFullDisk, IsReportedAndChangesNothing) {
    FaultVfs vfs;
    TempDir dir;
    ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    ASSERT_TRUE(doc.OpenPath(dir.file("p.vxp"), false));
    analysis::Workspace ws(doc);
    const std::int32_t group = ws.documents().NewTextGroup();
    ws.documents().CreateTextWith(group, "T", platform::RichText::fromPlain("Body.").toRtf());
    {
        StoreBatch unit(doc.store(), "Delete Group");
        ws.documents().DeleteObject(TopicId::TextGroups, group);
    }
    const std::string before = fileContents(doc) + memoryContents(doc);
    vfs.arm(VfsCall::Write, 1, SQLITE_FULL, true);
    EXPECT_FALSE(doc.Undo());
    vfs.disarm();
    EXPECT_TRUE(ui.said("The change could not be saved in the project " + doc.title() +
                        ": the disk is full."));
    EXPECT_EQ(fileContents(doc) + memoryContents(doc), before);
    EXPECT_EQ(doc.undoText(), "Undo Delete Group");
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.store().RecordCount(TopicId::Texts), 1);
}

// A unit that fails on a disk that keeps failing is rolled back and the views catch up; the
// retrieval they rebuild fails too, and that must end.
TEST(AFailingDisk, EndsAfterOneRollBack) {
    FaultVfs vfs;
    TempDir dir;
    ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    ASSERT_TRUE(doc.OpenPath(dir.file("p.vxp"), false));
    analysis::Workspace ws(doc);
    analysis::Retrieval retrieval(ws);
    const std::int32_t text = ws.documents().CreateTextWith(
        ws.documents().NewTextGroup(), "T",
        platform::RichText::fromPlain("One two three four five six.").toRtf());
    const std::int32_t a = ws.codes().NewCode(0, "A", false), b = ws.codes().NewCode(0, "B", false);
    for (auto [code, start, end] : {std::tuple{a, 0, 12}, std::tuple{b, 4, 20}}) {
        analysis::CodingTemplate t;
        ASSERT_TRUE(ws.codings().TemplateFor(text, start, end, t));
        t.code = code;
        std::int32_t batch = analysis::CodingOperations::NewBatch;
        ASSERT_TRUE(ws.codings().AddCoding(t, batch) || ws.codings().lastCoding());
    }
    ws.documents().ActivateObjects(analysis::ActivationScope::AllTexts, 0, true);
    ws.codes().ActivateAllCodes(true);
    ASSERT_TRUE(retrieval.SelectFunction(analysis::Intersection));
    ASSERT_EQ(ws.retrieved.size(), 1u);
    const std::string before = fileContents(doc);
    vfs.arm(VfsCall::Write, 1, SQLITE_FULL, true);
    analysis::CodingTemplate t;
    ASSERT_TRUE(ws.codings().TemplateFor(text, 21, 25, t));
    t.code = a;
    std::int32_t batch = analysis::CodingOperations::NewBatch;
    ws.codings().AddCoding(t, batch);
    vfs.disarm();
    EXPECT_EQ(ws.codings().lastCoding(), 0);
    EXPECT_TRUE(ui.said("The change could not be saved in the project " + doc.title() +
                        ": the disk is full."));
    EXPECT_EQ(fileContents(doc), before);
    // Memory holds what the file holds.
    auto rows = doc.database()->connection().prepare("SELECT count(*) FROM Codings;");
    ASSERT_EQ(rows.step(), Step::Row);
    EXPECT_EQ(doc.store().RecordCount(TopicId::Codings), rows.columnInt(0));
}
