#include "exchange/Teamwork.h"

#include "../analysis/ProjectFixture.h"
#include "ProjectSession.h"
#include "analysis/MemoOperations.h"
#include "platform/Files.h"
#include "variables/Variables.h"

#include <filesystem>
#include <sqlite3.h>

using namespace vexana;
using namespace vexana::store;
using vexana::exchange::ExchangeCounts;
using vexana::exchange::Teamwork;
using vexana::test::ProjectFixture;
using vexana::test::ProjectSession;
namespace fs = std::filesystem;

namespace {

void sql(const std::string& path, const std::string& statement) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        out.insert(e.path().filename().string());
    return out;
}

// Everything the counters and trees say, for "nothing changed".
struct Snapshot {
    std::vector<int> counts;
    std::vector<std::string> names;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(TopicStore& s) {
    Snapshot out;
    for (int t : {TopicId::TextGroups, TopicId::Texts, TopicId::TextSets, TopicId::TextLinks,
                  TopicId::Codes, TopicId::Codings, TopicId::Memos})
        out.counts.push_back(s.RecordCount(t));
    for (std::int32_t c : s.ListIds(TopicId::Codes))
        out.names.push_back(s.GetName(TopicId::Codes, c, true) + "=" +
                            std::to_string(s.GetInt(TopicId::Codes, c, CodeField::Codes)));
    for (std::int32_t t : s.ListIds(TopicId::Texts))
        out.names.push_back(s.GetName(TopicId::Texts, t, true) + "=" +
                            std::to_string(s.GetInt(TopicId::Texts, t, TextField::Codes)));
    for (int f : s.ListVariables(TopicId::Texts))
        out.names.push_back(s.GetField(TopicId::Texts, f)->name);
    return out;
}

// A small study: two interviews coded with Family\Children and Work, a code memo, a text
// memo, a set and an Integer variable Age.
class Teamwork_ : public ProjectFixture {
protected:
    void SetUp() override {
        ProjectFixture::SetUp();
        group = docs().NewTextGroup();
        ASSERT_TRUE(docs().RenameObject(TopicId::TextGroups, group, "Interviews"));
        anna = text(group, "Anna", "Anna works at a bakery.\rShe has two children.");
        bernd = text(group, "Bernd", "Bernd drives a bus.\rHe likes it.");
        children = codes().FindCodeByPath(0, "Family\\Children", true);
        work = codes().FindCodeByPath(0, "Work", true);
        ASSERT_TRUE(code(anna, children, 24, 45));
        ASSERT_TRUE(code(anna, work, 0, 23));
        ASSERT_TRUE(code(bernd, work, 0, 19));
        analysis::MemoOperations memos(*ws);
        ASSERT_TRUE(memos.CodeMemo(work));
        ASSERT_TRUE(memos.NewTextMemo(anna, 5));
        set = docs().NewSet(false);
        ASSERT_TRUE(set && docs().AddTextToSet(set, anna));
        variables::Variables vars(doc);
        age = vars.Add("Age", TypeInteger);
        ASSERT_GE(age, 0);
        ASSERT_TRUE(vars.SetValue(anna, age, "41"));
    }
    // A copy of the open project, as another coder's would be.
    std::string copy(const std::string& name) {
        std::string error;
        EXPECT_TRUE(doc.Backup(dir.file(name), error)) << error;
        return dir.file(name);
    }
    Teamwork team() { return Teamwork(*ws); }

    std::int32_t group = 0, anna = 0, bernd = 0, children = 0, work = 0, set = 0;
    int age = -1;
};

} // namespace

TEST_F(Teamwork_, MergingACopyDoublesEverythingButTheCodeSystem) {
    const std::string source = copy("copy.vxp");
    const std::string bytes = vexana::test::readAll(source);
    const auto n = team().Merge(source);
    ASSERT_TRUE(n.has_value()) << (ui.messages.empty() ? "" : ui.messages.back().text);
    EXPECT_EQ(n->groups, 1);
    EXPECT_EQ(n->texts, 2);
    EXPECT_EQ(n->sets, 1);
    EXPECT_EQ(n->links, 1);
    EXPECT_EQ(n->codings, 3);
    EXPECT_EQ(n->memos, 1); // the text memo; the code already has its memo
    EXPECT_EQ(n->codesCreated, 0);
    EXPECT_EQ(n->variablesCreated, 0);
    EXPECT_EQ(count(TopicId::TextGroups), 2);
    EXPECT_EQ(count(TopicId::Texts), 4);
    EXPECT_EQ(count(TopicId::Codes), 3);
    EXPECT_EQ(count(TopicId::Codings), 6);
    EXPECT_EQ(count(TopicId::Memos), 3);
    EXPECT_EQ(s().GetInt(TopicId::Codes, work, CodeField::Codes), 4);
    EXPECT_EQ(s().GetInt(TopicId::Codes, children, CodeField::Codes), 2);
    EXPECT_EQ(std::find(ui.progress.begin(), ui.progress.end(), "Merging Projects ...") !=
                  ui.progress.end(),
              true);
    // The new Anna: her body, her value, her codings, neither active nor open.
    const std::int32_t anna2 = s().ListIds(TopicId::Texts)[2];
    EXPECT_EQ(s().GetText(TopicId::Texts, anna2, TextField::Name), "Anna");
    EXPECT_EQ(s().GetText(TopicId::Texts, anna2, age), "41");
    EXPECT_EQ(s().GetInt(TopicId::Texts, anna2, TextField::Codes), 2);
    EXPECT_EQ(s().GetInt(TopicId::Texts, anna2, TextField::State) & 6, 0);
    RecordCursor body;
    ASSERT_TRUE(s().GetRecord(TopicId::Texts, anna2, body, true));
    EXPECT_FALSE(body.block(TextField::Body).empty());
    // Each coding brings its segment along.
    const auto codingIds = s().ListIds(TopicId::Codings);
    for (std::size_t i = 0; i < 3; ++i) {
        RecordCursor mine, merged;
        ASSERT_TRUE(s().GetRecord(TopicId::Codings, codingIds[i], mine, true));
        const auto twin = std::find_if(codingIds.begin() + 3, codingIds.end(), [&](std::int32_t c) {
            return s().GetInt(TopicId::Codings, c, CodingField::StartChar) ==
                       mine.getInt(CodingField::StartChar) &&
                   s().GetInt(TopicId::Codings, c, CodingField::FinishChar) ==
                       mine.getInt(CodingField::FinishChar) &&
                   s().GetInt(TopicId::Codings, c, CodingField::Code) ==
                       mine.getInt(CodingField::Code);
        });
        ASSERT_NE(twin, codingIds.end());
        ASSERT_TRUE(s().GetRecord(TopicId::Codings, *twin, merged, true));
        EXPECT_FALSE(mine.block(CodingField::Body).empty());
        EXPECT_EQ(merged.block(CodingField::Body), mine.block(CodingField::Body));
    }
    // The source was only read: the same bytes, no files beside it.
    EXPECT_EQ(vexana::test::readAll(source), bytes);
    EXPECT_FALSE(fs::exists(source + "-wal"));
    EXPECT_FALSE(fs::exists(source + "-shm"));
    // One step of the history takes all of it back.
    EXPECT_EQ(doc.undoText(), "Undo Merge Projects");
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(count(TopicId::Texts), 2);
    EXPECT_EQ(count(TopicId::Codings), 3);
    EXPECT_EQ(s().GetInt(TopicId::Codes, work, CodeField::Codes), 2);
}

TEST_F(Teamwork_, CodesJoinByPathWithoutCaseAndVariablesByNameAndType) {
    // Another coder's project: b under a, Age as text, a code memo on A\B, a coding of a code
    // the file no longer has, a set that links a text without group.
    const std::string other = dir.file("other.vxp");
    {
        ProjectSession o;
        ASSERT_TRUE(o.open(other));
        const std::int32_t g = o.docs().NewTextGroup();
        const std::int32_t t = o.docs().CreateTextWith(
            g, "Carla", platform::RichText::fromPlain("Carla bakes bread.").toRtf());
        const std::int32_t orphan = o.docs().CreateTextWith(
            g, "Orphan", platform::RichText::fromPlain("No group.").toRtf());
        const std::int32_t ab = o.ws->codes().FindCodeByPath(0, "FAMILY\\children", true);
        analysis::CodingTemplate tpl;
        ASSERT_TRUE(o.ws->codings().TemplateFor(t, 0, 5, tpl));
        tpl.code = ab;
        std::int32_t batch = analysis::CodingOperations::NewBatch;
        o.ws->codings().AddCoding(tpl, batch);
        const std::int32_t lost = o.ws->codes().FindCodeByPath(0, "Lost", true);
        tpl.code = lost;
        batch = analysis::CodingOperations::NewBatch;
        o.ws->codings().AddCoding(tpl, batch);
        ASSERT_TRUE(analysis::MemoOperations(*o.ws).CodeMemo(ab));
        variables::Variables v(o.doc);
        ASSERT_GE(v.Add("age", TypeString), 0);
        const std::int32_t st = o.docs().NewSet(false);
        ASSERT_TRUE(o.docs().AddTextToSet(st, t) && o.docs().AddTextToSet(st, orphan));
        RecordCursor c;
        ASSERT_TRUE(o.doc.store().GetRecord(TopicId::Texts, orphan, c));
        c.setInt(TextField::Group, 0);
        ASSERT_TRUE(o.doc.store().Save(c));
        // The code "Lost" goes, its coding stays behind (a damaged file); the text still
        // counts it.
        o.doc.database()->Close();
        sql(other, "DELETE FROM Codewords WHERE Name='Lost';");
    }
    ASSERT_GE(variables::Variables(doc).Add("Age(1)", TypeDateTime), 0);
    const auto n = team().Merge(other);
    ASSERT_TRUE(n.has_value()) << (ui.messages.empty() ? "" : ui.messages.back().text);
    EXPECT_EQ(n->codesCreated, 0);
    EXPECT_EQ(n->texts, 1); // the text without a group is in no group that comes over
    EXPECT_EQ(n->codings, 1);
    EXPECT_EQ(n->links, 1); // the link to the text that did not come over is left out
    EXPECT_EQ(count(TopicId::TextLinks), 2);
    for (std::int32_t l : s().ListIds(TopicId::TextLinks))
        EXPECT_NE(s().GetInt(TopicId::TextLinks, l, LinkField::Text), 0);
    EXPECT_EQ(s().GetInt(TopicId::Codes, children, CodeField::Codes), 2);
    // The code had no memo: it takes the other's.
    EXPECT_NE(s().GetInt(TopicId::Codes, children, CodeField::MemoID), 0);
    // Counters follow the codings that came over, not the source's counter.
    const std::int32_t carla = docs().FindText(
        s().GetName(TopicId::TextGroups, s().ListIds(TopicId::TextGroups)[1], false) + "\\Carla");
    ASSERT_NE(carla, 0);
    EXPECT_EQ(s().GetInt(TopicId::Texts, carla, TextField::Codes), 1);
    // age (String) meets Age (Integer), and Age(1) is taken: age(2).
    std::vector<std::string> names;
    for (int f : s().ListVariables(TopicId::Texts))
        names.push_back(s().GetField(TopicId::Texts, f)->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Age", "Age(1)", "age(2)"}));
    EXPECT_EQ(n->variablesCreated, 1);
}

TEST_F(Teamwork_, ABadSourceIsRefusedWithAMessageAndChangesNothing) {
    const Snapshot before = snapshot(s());
    const std::string good = copy("good.vxp");
    std::vector<std::pair<std::string, std::string>> cases;
    cases.emplace_back(dir.file("missing.vxp"), "does not exist");
    vexana::test::writeAll(dir.file("junk.vxp"), std::string(5000, 'x'));
    cases.emplace_back(dir.file("junk.vxp"), "not a project file");
    fs::copy_file(good, dir.file("exchange.vxp"));
    sql(dir.file("exchange.vxp"), "UPDATE sys_Setup SET Value='EXCHANGE' WHERE Key='DataType';");
    cases.emplace_back(dir.file("exchange.vxp"), "is not a project");
    fs::copy_file(good, dir.file("newer.vxp"));
    sql(dir.file("newer.vxp"), "UPDATE sys_Setup SET Value='030101' WHERE Key='DataEngine';");
    cases.emplace_back(dir.file("newer.vxp"), "Uncompatible Data Format");
    fs::copy_file(good, dir.file("older.vxp"));
    sql(dir.file("older.vxp"), "UPDATE sys_Setup SET Value='020524' WHERE Key='DataEngine';");
    cases.emplace_back(dir.file("older.vxp"), "older version");
    fs::copy_file(good, dir.file("damaged.vxp"));
    sql(dir.file("damaged.vxp"), "INSERT INTO Texts(ID, Name) VALUES(-5, 'negative');");
    cases.emplace_back(dir.file("damaged.vxp"), "damaged");
    cases.emplace_back(dir.file("p.vxp"), "cannot be merged into itself");
    fs::copy_file(good, dir.file("locked.vxp"));
    cases.emplace_back(dir.file("locked.vxp"), "another program");
    ProjectSession holder;
    ASSERT_TRUE(holder.open(dir.file("locked.vxp")));

    for (const auto& [path, said] : cases) {
        const std::set<std::string> files = filesIn(dir.path());
        const std::string bytes = fs::exists(path) ? vexana::test::readAll(path) : "";
        ui.messages.clear();
        EXPECT_FALSE(team().Merge(path).has_value()) << path;
        ASSERT_FALSE(ui.messages.empty()) << path;
        EXPECT_NE(ui.messages.back().text.find(said), std::string::npos)
            << path << ": " << ui.messages.back().text;
        EXPECT_TRUE(snapshot(s()) == before) << path;
        EXPECT_EQ(filesIn(dir.path()), files) << path;
        if (path != dir.file("locked.vxp") && path != dir.file("p.vxp"))
            EXPECT_EQ(fs::exists(path) ? vexana::test::readAll(path) : "", bytes) << path;
    }
    EXPECT_FALSE(doc.canUndo() && doc.undoText() == "Undo Merge Projects");
}

TEST_F(Teamwork_, ATeamworkFileCarriesOneTextAndImportsOnce) {
    const std::string theirs = copy("theirs.vxp");
    // The other coder adds a coding of a new code and one that encloses two of ours.
    {
        ProjectSession o;
        ASSERT_TRUE(o.open(theirs));
        const std::int32_t t = o.docs().FindText("Interviews\\Anna");
        const std::int32_t extra = o.ws->codes().FindCodeByPath(0, "work\\Extra", true);
        for (auto [c, a, b] : {std::tuple{extra, 0, 4}, std::tuple{std::int32_t{0}, 0, 45}}) {
            analysis::CodingTemplate tpl;
            ASSERT_TRUE(o.ws->codings().TemplateFor(t, a, b, tpl));
            tpl.code = c ? c : o.ws->codes().FindCodeByPath(0, "Family\\Children", false);
            std::int32_t batch = analysis::CodingOperations::NewBatch;
            o.ws->codings().AddCoding(tpl, batch);
        }
        ASSERT_TRUE(analysis::MemoOperations(*o.ws).NewTextMemo(t, 9));
        const auto out = Teamwork(*o.ws).ExportText(t, dir.file("anna"));
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(out->codings.added, 3); // [0,45) took the place of [24,45) there
        EXPECT_EQ(out->memos.added, 3);   // Work's memo, two text memos
    }
    const std::string file = dir.file("anna.vxe");
    ASSERT_TRUE(fs::exists(file));
    {
        // What the file holds: the one text as id 1 without body or group, the codes used.
        ProjectDatabase x{std::string(DataTypeExchange)};
        ASSERT_TRUE(x.OpenForReading(file));
        std::string type, project, textName;
        x.GetSetup("DataType", type);
        x.GetSetup("SourceProject", project);
        x.GetSetup("SourceText", textName);
        EXPECT_EQ(type, "EXCHANGE");
        EXPECT_EQ(project, "theirs.vxp");
        EXPECT_EQ(textName, "Anna");
        TopicStore xs;
        ASSERT_TRUE(doc.LoadSecondStore(xs, x, false));
        EXPECT_EQ(xs.ListIds(TopicId::Texts), std::vector<std::int32_t>{1});
        EXPECT_EQ(xs.GetInt(TopicId::Texts, 1, TextField::Group), 0);
        RecordCursor c;
        ASSERT_TRUE(xs.GetRecord(TopicId::Texts, 1, c, true));
        EXPECT_TRUE(c.block(TextField::Body).empty());
        std::vector<std::string> paths;
        for (std::int32_t code : xs.ListIds(TopicId::Codes))
            paths.push_back(xs.GetName(TopicId::Codes, code, true) + "=" +
                            std::to_string(xs.GetInt(TopicId::Codes, code, CodeField::Codes)));
        std::sort(paths.begin(), paths.end());
        // "work\Extra" (a code of its own there) joined Work in the file.
        EXPECT_EQ(paths, (std::vector<std::string>{"Family=0", "Family\\Children=1", "Work=1",
                                                   "Work\\Extra=1"}));
    }
    // Into our Anna: the question names the source, duplicates are skipped, the enclosing
    // coding replaces the one it encloses, "work\Extra" joins "Work".
    ui.answers = {true};
    ui.files = {file};
    ASSERT_TRUE(team().ImportTextCommand(anna));
    ASSERT_FALSE(ui.questions.empty());
    EXPECT_EQ(ui.questions.back(),
              "Coded Segments & Memos from\n\nProject:\ttheirs.vxp\nText:\tAnna\n\nimport?");
    EXPECT_EQ(ui.dialogs.back(), FileDialog::ImportFragment);
    EXPECT_EQ(count(TopicId::Codes), 4);
    const std::int32_t extra = codes().FindCodeByPath(0, "Work\\Extra", false);
    ASSERT_NE(extra, 0);
    EXPECT_EQ(s().GetInt(TopicId::Codes, extra, CodeField::Codes), 1);
    // Children: [24,45) was enclosed by the new [0,45), which replaced it.
    const auto ofChildren = s().FindIds(TopicId::Codings, TopicId::Codes, children);
    ASSERT_EQ(ofChildren.size(), 1u);
    EXPECT_EQ(s().GetInt(TopicId::Codings, ofChildren[0], CodingField::StartChar), 0);
    EXPECT_EQ(s().GetInt(TopicId::Codes, children, CodeField::Codes), 1);
    EXPECT_EQ(s().GetInt(TopicId::Codes, work, CodeField::Codes), 2); // the same [0,23) kept
    EXPECT_EQ(s().GetInt(TopicId::Texts, anna, TextField::Codes), 3);
    EXPECT_EQ(s().FindIds(TopicId::Memos, TopicId::Texts, anna).size(), 2u);
    // The second time changes nothing.
    const Snapshot once = snapshot(s());
    const auto again = team().ImportText(anna, file, false);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->codings.added, 0);
    EXPECT_EQ(again->codings.skipped, 3);
    EXPECT_EQ(again->memos.added, 0);
    EXPECT_TRUE(snapshot(s()) == once);
    // Not for Bernd, not on "no", not a project as exchange file: refused, nothing changed.
    ui.messages.clear();
    EXPECT_FALSE(team().ImportText(bernd, file, false).has_value());
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("not of \"Bernd\""), std::string::npos);
    ui.answers = {false};
    EXPECT_FALSE(team().ImportText(anna, file, true).has_value());
    EXPECT_FALSE(team().ImportText(anna, theirs, false).has_value());
    EXPECT_NE(ui.messages.back().text.find("is not an exchange file"), std::string::npos);
    EXPECT_TRUE(snapshot(s()) == once);
    // A segment beyond our text (theirs was longer) is skipped, not stored pointing at nothing.
    const std::string longer = dir.file("longer.vxe");
    fs::copy_file(file, longer);
    sql(longer, "UPDATE Codings SET FinishChar=1000, StartChar=2;");
    const auto beyond = team().ImportText(anna, longer, false);
    ASSERT_TRUE(beyond.has_value());
    EXPECT_EQ(beyond->codings.added, 0);
    EXPECT_EQ(beyond->codings.skipped, 3);
    EXPECT_TRUE(snapshot(s()) == once);
}

TEST_F(Teamwork_, TheCodeSystemTravelsWithoutCounters) {
    ui.files = {dir.file("codes")};
    ASSERT_TRUE(team().ExportCodeSystemCommand());
    EXPECT_EQ(ui.dialogs.back(), FileDialog::ExportCodeSystem);
    const std::string file = dir.file("codes.vxt");
    ASSERT_TRUE(fs::exists(file));
    ProjectSession fresh;
    ASSERT_TRUE(fresh.open(dir.file("fresh.vxp")));
    const std::int32_t mine = fresh.ws->codes().FindCodeByPath(0, "WORK", true);
    const auto n = Teamwork(*fresh.ws).ImportCodeSystem(file);
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->codes.added, 2); // Family, Family\Children; Work joins WORK
    EXPECT_EQ(n->memos.added, 1);
    TopicStore& f = fresh.doc.store();
    EXPECT_EQ(f.RecordCount(TopicId::Codes), 3);
    EXPECT_NE(f.GetInt(TopicId::Codes, mine, CodeField::MemoID), 0);
    for (std::int32_t c : f.ListIds(TopicId::Codes))
        EXPECT_EQ(f.GetInt(TopicId::Codes, c, CodeField::Codes), 0);
    // A second import adds nothing; the memo is not doubled.
    const auto again = Teamwork(*fresh.ws).ImportCodeSystem(file);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->codes.added, 0);
    EXPECT_EQ(again->memos.added, 0);
    EXPECT_EQ(f.RecordCount(TopicId::Memos), 1);
}

TEST_F(Teamwork_, AnExportReplacesItsTargetOnlyWhenComplete) {
    const std::string target = dir.file("anna.vxe");
    vexana::test::writeAll(target, "an older exchange file");
    // A target folder that is gone: nothing is written, the message says why.
    EXPECT_FALSE(team().ExportText(anna, dir.file("gone/anna.vxe")).has_value());
    EXPECT_NE(ui.messages.back().text.find("cannot be written"), std::string::npos);
    EXPECT_EQ(vexana::test::readAll(target), "an older exchange file");
    const auto files = filesIn(dir.path());
    ASSERT_TRUE(team().ExportText(anna, dir.file("ANNA.VXE")).has_value());
    ASSERT_TRUE(team().ExportText(anna, target).has_value());
    EXPECT_NE(vexana::test::readAll(target), "an older exchange file");
    auto now = filesIn(dir.path());
    now.erase("ANNA.VXE");
    EXPECT_EQ(now, files); // no temporary file left beside it
    EXPECT_EQ(Teamwork::WithExtension("a.VxE", ".vxe"), "a.VxE");
    EXPECT_EQ(Teamwork::WithExtension("a.vx", ".vxe"), "a.vx.vxe");
}
