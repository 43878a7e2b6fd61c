#include "exchange/ArchiveImport.h"

#include "ArchiveWriter.h"
#include "FaultVfs.h"
#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/richtext/RichText.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "store/TopicStore.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>
#include <gtest/gtest.h>

using namespace vexana;
using namespace vexana::exchange;
using namespace vexana::store;
using namespace vexana::test;

namespace {

// A small study with every member type: two groups, three texts (one without members), three
// variables (two of one name), a code tree two levels deep with good and bad segments, four
// memos, the members the import does not read, and a type the predecessor never wrote.
std::string studyArchive() {
    const std::vector<GroupSpec> groups = {{"Interviews", 1, {{"Anna", 1}, {"Bernd", 2}}},
                                           {"Notes", 0, {{"Field", 3}}}};
    const std::vector<CodeSpec> codes = {
        {"Topics",
         1,
         {},
         {{"Work",
           0,
           {{1, 0, 1, 4, 80, 1},    // "Hello"
            {2, 0, 2, 5, 300, 1},   // "Second", weight above 100
            {2, 0, 3, 1, 100, 1},   // end line not in the table
            {2, 0, 1, 1, 100, 1},   // end line before the start line
            {2, 0, 2, 40, 100, 1}}, // past the text's end
           {}},
          {"Family", 0, {{2, 0, 2, 3, 100, 2}}, {}}}}, // line 2 of "Short" is cut off
        {"Mood", 1, {{1, 6, 1, 10, 50, 99}, {1, 0, 1, 10, 50, 2}}, {}}};
    ArchiveWriter w;
    w.member(MemberType::VariableTable, 1,
             variableTable({{"Age", 1}, {"Sex", 2}, {"age", 1}, {"Textgruppe", 2}, {"A\tB", 2}}));
    w.member(MemberType::Objects, 1, objectFile("My: Study?", groups, codes));
    w.member(MemberType::Text, 1, "Hello world\r\nSecond line");
    w.member(MemberType::Lines, 1, lineTable({13, -24}));
    w.member(MemberType::Values, 1, variableValues({{1, "", 34}, {2, "female", 0}, {1, "", -7}}));
    w.member(MemberType::Text, 2, "Short");
    w.member(MemberType::Lines, 2, lineTable({5, 100}));
    w.member(MemberType::Values, 2,
             variableValues({{1, "", 51}, {2, "male", 0}, {1, "", 1}, {2, "extra", 0}}));
    w.member(MemberType::OldNumbers, 1, Bytes().u16(10).u16(11).u16(12).u16(13).str());
    w.member(
        MemberType::Memo, 5,
        memoFile({1, 2, "First memo", "Ann", 3, 4, 1998, {"Topics.Work", "Nope"}, "Memo body"}));
    w.member(MemberType::Memo, 11, memoFile({0, 0, "Work memo", "Bo", 0, 0, 0, {}, "On work"}));
    w.member(MemberType::Memo, 42, memoFile({7, 1, "Lost", "", 1, 1, 2000, {}, "No text 7"}));
    w.member(MemberType::Memo, 99, memoFile({0, 0, "Orphan", "", 1, 1, 2000, {}, "No code"}));
    w.member(MemberType::Log, 1, "log");
    w.member(MemberType::LogMemos, 1, "memo log");
    w.member(99, 1, "never written by the predecessor");
    return w.bytes();
}

struct Project {
    ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    explicit Project(const std::string& path) { EXPECT_TRUE(doc.OpenPath(path, false)); }
    TopicStore& s() { return doc.store(); }
    std::int32_t find(int topic, int field, const std::string& name) {
        for (std::int32_t id : s().ListIds(topic))
            if (s().GetText(topic, id, field) == name) return id;
        return 0;
    }
    std::string body(int topic, std::int32_t id, int field) {
        RecordCursor c;
        if (!s().GetRecord(topic, id, c, true)) return "?";
        return platform::RichText::fromRtf(
                   std::string(c.block(field).begin(), c.block(field).end()))
            .plainText();
    }
};

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> out;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                out.push_back(e->d_name);
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<ArchiveCounts> importBytes(const std::string& bytes, const TempDir& dir,
                                         ScriptedUserInterface& ui,
                                         const std::string& project = "new.vxp") {
    writeAll(dir.file("a.vxa"), bytes);
    ArchiveImport import(ui);
    if (!import.open(dir.file("a.vxa"))) return std::nullopt;
    return import.importInto(dir.file(project));
}

// Every reader of the archive on bytes of any shape: none may crash, run long or read past
// what it was given (the sanitizers watch).
void readEverything(const std::string& bytes) {
    std::string error;
    const auto archive = Archive::read(bytes, error);
    if (!archive) {
        EXPECT_FALSE(error.empty());
        return;
    }
    if (const auto kob = archive->file(MemberType::Objects)) readObjectFile(*kob, error);
    for (int n : archive->memoNumbers())
        readMemoFile(*archive->file(MemberType::Memo, n), error);
    for (const ArchiveMember& m : archive->members()) {
        const LineTable lines(archive->data(m));
        lines.body(archive->data(m));
        lines.end(lines.lines(), 3, 1);
        readVariableValues(archive->data(m));
        readVariableTable(archive->data(m));
    }
}

} // namespace

TEST(ArchiveImport, RebuildsTheStudyWithItsTextsCodesCodingsAndMemos) {
    TempDir dir;
    ScriptedUserInterface ui;
    writeAll(dir.file("a.vxa"), studyArchive());
    ArchiveImport import(ui);
    ASSERT_TRUE(import.open(dir.file("a.vxa")));
    EXPECT_EQ(import.proposedName(), "My_ Study_");
    const auto counts = import.importInto(dir.file("study.vxp"));
    ASSERT_TRUE(counts) << (ui.messages.empty() ? "" : ui.messages[0].text);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(counts->groups, 2);
    EXPECT_EQ(counts->texts, 3);
    EXPECT_EQ(counts->variables, 5);
    EXPECT_EQ(counts->codes, 4);
    EXPECT_EQ(counts->codings, 2);
    EXPECT_EQ(counts->memos, 2);
    EXPECT_EQ(counts->skippedSegments, 6);
    EXPECT_EQ(counts->skippedMemos, 2);
    for (const char* p : {"Extract Archive ...", "Import Archive ...", "Texts: 3", "Codes: 4",
                          "Memos: 2", "Coded Segments: 2 "})
        EXPECT_NE(std::find(ui.progress.begin(), ui.progress.end(), p), ui.progress.end()) << p;
    // Nothing but the project is left in the folder.
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"a.vxa", "study.vxp"}));

    Project p(dir.file("study.vxp"));
    TopicStore& s = p.s();
    const std::int32_t interviews = p.find(TopicId::TextGroups, GroupField::Name, "Interviews");
    const std::int32_t notes = p.find(TopicId::TextGroups, GroupField::Name, "Notes");
    EXPECT_EQ(s.GetInt(TopicId::TextGroups, interviews, GroupField::State), 1);
    EXPECT_EQ(s.GetInt(TopicId::TextGroups, notes, GroupField::State), 0);
    const std::int32_t anna = p.find(TopicId::Texts, TextField::Name, "Anna");
    const std::int32_t bernd = p.find(TopicId::Texts, TextField::Name, "Bernd");
    const std::int32_t field = p.find(TopicId::Texts, TextField::Name, "Field");
    EXPECT_EQ(s.GetInt(TopicId::Texts, bernd, TextField::Index), 2);
    EXPECT_EQ(s.GetReference(TopicId::Texts, field, TopicId::TextGroups), notes);
    // Line ends of the old text are blanks; a last negative entry ends with a blank; an entry
    // past the characters ends the body at the line before it.
    EXPECT_EQ(p.body(TopicId::Texts, anna, TextField::Body), "Hello world  \rSecond line ");
    EXPECT_EQ(p.body(TopicId::Texts, bernd, TextField::Body), "Short\r");
    EXPECT_EQ(p.body(TopicId::Texts, field, TextField::Body), "");

    // Variables in table order; a repeated name gets the next free one, one the variable
    // import would misread a name of its own, control characters are blanks.
    std::vector<std::string> names;
    std::vector<int> vars = s.ListVariables(TopicId::Texts);
    for (int f : vars)
        names.push_back(s.GetField(TopicId::Texts, f)->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Age", "Sex", "age(1)", "Variable 4", "A B"}));
    RecordCursor a;
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, anna, a));
    EXPECT_EQ(a.valueText(vars[0]), "34");
    EXPECT_EQ(a.valueText(vars[1]), "female");
    EXPECT_EQ(a.valueText(vars[2]), "-7");
    EXPECT_EQ(s.GetField(TopicId::Texts, vars[0])->type, TypeInteger);
    EXPECT_EQ(s.GetField(TopicId::Texts, vars[1])->type, TypeString);

    // The code tree with its flags as states.
    const std::int32_t topics = p.find(TopicId::Codes, CodeField::Name, "Topics");
    const std::int32_t work = p.find(TopicId::Codes, CodeField::Name, "Work");
    const std::int32_t family = p.find(TopicId::Codes, CodeField::Name, "Family");
    const std::int32_t mood = p.find(TopicId::Codes, CodeField::Name, "Mood");
    EXPECT_EQ(s.GetInt(TopicId::Codes, work, CodeField::Parent), topics);
    EXPECT_EQ(s.GetInt(TopicId::Codes, family, CodeField::Index), 1);
    EXPECT_EQ(s.GetInt(TopicId::Codes, mood, CodeField::Parent), 0);
    EXPECT_EQ(s.GetInt(TopicId::Codes, topics, CodeField::State), 1);
    EXPECT_EQ(s.GetInt(TopicId::Codes, work, CodeField::State), 0);

    // Only the segments that fit their text, finished from the body; counters follow them.
    std::vector<std::int32_t> codings = s.ListIds(TopicId::Codings);
    ASSERT_EQ(codings.size(), 2u);
    RecordCursor c;
    ASSERT_TRUE(s.GetRecord(TopicId::Codings, codings[0], c));
    EXPECT_EQ(c.getInt(CodingField::Code), work);
    EXPECT_EQ(c.getInt(CodingField::Text), anna);
    EXPECT_EQ(c.getInt(CodingField::StartChar), 0);
    EXPECT_EQ(c.getInt(CodingField::FinishChar), 5);
    EXPECT_EQ(c.getText(CodingField::Preview), "Hello");
    EXPECT_EQ(c.getInt(CodingField::Weight), 80);
    EXPECT_EQ(p.body(TopicId::Codings, codings[0], CodingField::Body), "Hello");
    ASSERT_TRUE(s.GetRecord(TopicId::Codings, codings[1], c));
    EXPECT_EQ(c.getText(CodingField::Preview), "Second");
    EXPECT_EQ(c.getInt(CodingField::StartPara), 2);
    EXPECT_EQ(c.getInt(CodingField::FinishPara), 2);
    EXPECT_EQ(c.getInt(CodingField::Weight), 100);
    EXPECT_EQ(s.GetInt(TopicId::Codes, work, CodeField::Codes), 2);
    EXPECT_EQ(s.GetInt(TopicId::Codes, family, CodeField::Codes), 0);
    EXPECT_EQ(s.GetInt(TopicId::Codes, mood, CodeField::Codes), 0);
    EXPECT_EQ(s.GetInt(TopicId::Texts, anna, TextField::Codes), 2);
    EXPECT_EQ(s.GetInt(TopicId::Texts, bernd, TextField::Codes), 0);

    // A text memo at its line with the codes that exist; a code's memo found by old number.
    const std::int32_t first = p.find(TopicId::Memos, MemoField::Title, "First memo");
    const std::int32_t onWork = p.find(TopicId::Memos, MemoField::Title, "Work memo");
    RecordCursor m;
    ASSERT_TRUE(s.GetRecord(TopicId::Memos, first, m, true));
    EXPECT_EQ(m.getInt(MemoField::Text), anna);
    EXPECT_EQ(m.getInt(MemoField::Pos), 15);
    EXPECT_EQ(m.getText(MemoField::Author), "Ann");
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    ASSERT_TRUE(m.getDate(MemoField::Date).toCivil(y, mo, d, h, mi, se));
    EXPECT_EQ(std::vector<int>({y, mo, d, h}), std::vector<int>({1998, 4, 3, 0}));
    EXPECT_EQ(m.getText(MemoField::Preview), "Memo body");
    EXPECT_EQ(m.block(MemoField::Codes).size(), 4u);
    EXPECT_EQ(p.body(TopicId::Memos, first, MemoField::Body), "Memo body");
    EXPECT_EQ(s.GetInt(TopicId::Memos, onWork, MemoField::Code), work);
    EXPECT_EQ(s.GetInt(TopicId::Codes, work, CodeField::MemoID), onWork);
}

TEST(ArchiveImport, LineTablesConvertPlacesAsTheOldDisplayCountedThem) {
    const LineTable t(lineTable({-6, 17, 17}));
    EXPECT_EQ(t.body("Hello world again"), U"Hello  world again\r\r");
    EXPECT_EQ(t.offsetOf(2), 7);
    EXPECT_EQ(t.start(2, 0), 7);
    EXPECT_EQ(t.end(2, 4, 2), 12); // "world" ends after column 4
    EXPECT_FALSE(t.end(1, 4, 2));  // not looked for before the start line
    EXPECT_FALSE(t.end(4, 0, 1));  // no such line
    EXPECT_FALSE(t.start(0, 0));
    // A table running backwards gives an empty line, and the next goes on from the furthest
    // character so far: the same characters are never read twice.
    const LineTable back(lineTable({5, 2, 7}));
    const std::u32string body = back.body("abcdefg");
    EXPECT_EQ(body, U"abcde\r\rfg\r");
    EXPECT_EQ(back.offsetOf(3), 7);
    EXPECT_EQ(body[static_cast<std::size_t>(*back.offsetOf(3))], U'f');
    // The predecessor's code page, and the most negative entry, do not upset it.
    const LineTable extreme(lineTable({2, static_cast<std::int32_t>(0x80000000u)}));
    EXPECT_EQ(extreme.body("\xe9t\x00x"), U"\u00e9t\r");
    EXPECT_EQ(projectNameFor("a\\b/c:d*e?f<g>h|i"), "a_b_c_d_e_f_g_h_i");
}

TEST(ArchiveImport, DamagedArchivesAreRefusedWithAReasonAndLeaveNothingBehind) {
    TempDir dir;
    const std::string kob = objectFile("T", {{"G", 0, {{"A", 1}}}}, {{"C", 0, {}, {}}});
    struct Case {
        std::string bytes;
        std::string reason;
    };
    std::string deep = objectFile("T", {}, {});
    deep.resize(deep.size() - 2);
    Bytes nest;
    nest.u16(1);
    for (int i = 0; i < 10000; ++i)
        nest.name("Again").u16(0).u16(0).u16(0).u16(1); // each code its own only subcode
    const std::vector<Case> cases = {
        {"PK\x03\x04 not an archive", "it is not a VEX archive"},
        {"VEX-ARC short", "inside its header"},
        {ArchiveWriter().bytes(), "it holds no object file"},
        {ArchiveWriter().lyingMember(MemberType::Objects, 4000000000u, kob).bytes(),
         "claims 4000000000 bytes, but only"},
        {ArchiveWriter().member(MemberType::Objects, 1, kob).bytes() + "\x01\x00\x01",
         "inside the member"},
        {ArchiveWriter().member(MemberType::Objects, 1, deep + nest.str()).bytes(),
         "nested deeper than 64 levels"},
        {ArchiveWriter()
             .member(MemberType::Objects, 1, Bytes().name("T").u16(0).u16(65535).str())
             .bytes(),
         "object file is damaged (header"},
        {ArchiveWriter()
             .member(MemberType::Objects, 1, kob)
             .member(MemberType::Memo, 3,
                     memoFile({1, 1, "M", "", 1, 1, 2000, {"C"}, "x"}).substr(0, 74))
             .bytes(),
         "memo 00000003.001 is damaged"},
        {ArchiveWriter()
             .member(MemberType::Objects, 1, kob)
             .member(MemberType::VariableTable, 1,
                     variableTable(std::vector<VariableSpec>(1001, {"Same", 2})))
             .bytes(),
         "holds 1001 variables"}};
    for (const Case& c : cases) {
        ScriptedUserInterface ui;
        EXPECT_FALSE(importBytes(c.bytes, dir, ui)) << c.reason;
        ASSERT_EQ(ui.messages.size(), 1u) << c.reason;
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
        EXPECT_NE(ui.messages[0].text.find(c.reason), std::string::npos) << ui.messages[0].text;
        EXPECT_EQ(
            ui.messages[0].text.rfind("The archive " + dir.file("a.vxa") + " cannot be read: ", 0),
            0u);
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"a.vxa"});
    }
    ScriptedUserInterface ui;
    ArchiveImport missing(ui);
    EXPECT_FALSE(missing.open(dir.file("none.vxa")));
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST(ArchiveImport, AnArchiveCutAtAnyByteIsReadOrRefusedButNeverHalfImported) {
    const std::string whole = studyArchive();
    for (std::size_t n = 0; n <= whole.size(); ++n)
        readEverything(whole.substr(0, n));
    // Damage inside the members too: every byte of the archive set to 0xFF in turn.
    for (std::size_t i = Archive::headerBytes; i < whole.size(); ++i) {
        std::string b = whole;
        b[i] = '\xff';
        readEverything(b);
    }
    // A whole import at every member boundary and at a spread of cuts between: either a
    // project that opens, or a message and no file.
    TempDir dir;
    std::string error;
    const auto archive = Archive::read(whole, error);
    ASSERT_TRUE(archive);
    std::vector<std::size_t> cuts;
    for (const ArchiveMember& m : archive->members())
        cuts.push_back(m.offset + m.length);
    for (std::size_t n = 0; n < whole.size(); n += 53)
        cuts.push_back(n);
    for (std::size_t n : cuts) {
        ScriptedUserInterface ui;
        const auto counts = importBytes(whole.substr(0, n), dir, ui);
        if (counts) {
            EXPECT_TRUE(ui.messages.empty());
            {
                Project p(dir.file("new.vxp"));
                EXPECT_EQ(p.s().RecordCount(TopicId::Texts), counts->texts);
                EXPECT_EQ(p.s().RecordCount(TopicId::Codings), counts->codings);
            }
            platform::removeFile(dir.file("new.vxp"));
        } else {
            EXPECT_EQ(ui.messages.size(), 1u) << n;
        }
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"a.vxa"}) << n;
    }
}

TEST(ArchiveImport, AMillionMembersAreReadQuicklyAndTheLastOfANameCounts) {
    ArchiveWriter w;
    w.member(MemberType::Objects, 1, objectFile("Old", {}, {}));
    for (int i = 0; i < 1000000; ++i)
        w.member(i % 2 ? MemberType::Log : 77, static_cast<int>(i % 65536), "");
    w.member(MemberType::Objects, 1, objectFile("New", {{"G", 0, {{"T", 1}}}}, {}));
    TempDir dir;
    ScriptedUserInterface ui;
    const auto start = std::chrono::steady_clock::now();
    writeAll(dir.file("a.vxa"), w.bytes());
    ArchiveImport import(ui);
    ASSERT_TRUE(import.open(dir.file("a.vxa")));
    EXPECT_EQ(import.archive()->members().size(), 1000002u);
    EXPECT_EQ(import.proposedName(), "New");
    const auto counts = import.importInto(dir.file("big.vxp"));
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->texts, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(ArchiveImport, AnExistingProjectIsNeverReplaced) {
    TempDir dir;
    writeAll(dir.file("taken.vxp"), "someone's file");
    ScriptedUserInterface ui;
    EXPECT_FALSE(importBytes(studyArchive(), dir, ui, "taken.vxp"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "The project " + dir.file("taken.vxp") + " exists already.");
    EXPECT_EQ(readAll(dir.file("taken.vxp")), "someone's file");
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"a.vxa", "taken.vxp"}));
}

TEST(ArchiveImport, AFailingDiskLeavesNoProjectAndSaysWhy) {
    SyncFreeDir dir;
    writeAll(dir.file("a.vxa"), studyArchive());
    int writes = 0;
    {
        FaultVfs vfs;
        ScriptedUserInterface ui;
        ArchiveImport import(ui);
        ASSERT_TRUE(import.open(dir.file("a.vxa")));
        ASSERT_TRUE(import.importInto(dir.file("clean.vxp")));
        writes = vfs.count(VfsCall::Write);
    }
    platform::removeFile(dir.file("clean.vxp"));
    ASSERT_GT(writes, 0);
    const int step = std::max(1, writes / 40);
    for (int k = 1; k <= writes; k += step) {
        {
            FaultVfs vfs;
            vfs.arm(VfsCall::Write, k, SQLITE_FULL, true);
            ScriptedUserInterface ui;
            ArchiveImport import(ui);
            ASSERT_TRUE(import.open(dir.file("a.vxa")));
            const auto counts = import.importInto(dir.file("new.vxp"));
            if (!counts) {
                ASSERT_FALSE(ui.messages.empty()) << k;
                // The engine does not report a close that could not fold its log in.
                const std::string& said = ui.messages[0].text;
                EXPECT_TRUE(said.find("the disk is full") != std::string::npos ||
                            said.find("could not be closed completely") != std::string::npos)
                    << said;
            }
        }
        const std::vector<std::string> left = filesIn(dir.path());
        if (left.size() == 2) {
            EXPECT_EQ(left[1], "new.vxp") << k;
            Project p(dir.file("new.vxp"));
            EXPECT_EQ(p.s().RecordCount(TopicId::Codings), 2) << k;
        } else {
            EXPECT_EQ(left, std::vector<std::string>{"a.vxa"}) << k;
        }
        platform::removeFile(dir.file("new.vxp"));
    }
}

TEST(ArchiveImport, TheCommandAsksForTheArchiveThenTheProjectAndOpensIt) {
    TempDir dir;
    writeAll(dir.file("a.vxa"), studyArchive());
    // Proposals are noted so the test sees the one the save dialog gets.
    struct Proposing : ScriptedUserInterface {
        std::string proposed;
        void proposeFileName(const std::string& name) override { proposed = name; }
    } ui;
    RecentProjects recent;
    CVexDoc doc(ui, recent);
    ASSERT_TRUE(doc.OpenPath(dir.file("current.vxp"), false));

    EXPECT_FALSE(ArchiveImport::Command(doc)); // cancelled at the first dialog
    ui.files = {dir.file("a.vxa")};
    EXPECT_FALSE(ArchiveImport::Command(doc)); // cancelled where the project goes
    EXPECT_EQ(ui.proposed, "My_ Study_.vxp");
    EXPECT_FALSE(platform::fileExists(dir.file("study.vxp")));

    ui.files = {dir.file("a.vxa"), dir.file("study.vxp")};
    ASSERT_TRUE(ArchiveImport::Command(doc));
    EXPECT_EQ(ui.dialogs,
              (std::vector<FileDialog>{FileDialog::ImportArchive, FileDialog::ImportArchive,
                                       FileDialog::NewProject, FileDialog::ImportArchive,
                                       FileDialog::NewProject}));
    EXPECT_EQ(doc.store().RecordCount(TopicId::Texts), 3);
    EXPECT_EQ(doc.store().RecordCount(TopicId::Codings), 2);
    EXPECT_EQ(recent.entries().front(), dir.file("study.vxp")); // the open project
}

TEST(ArchiveImport, ManyVariablesOfOneNameGetANameSeriesQuickly) {
    TempDir dir;
    ScriptedUserInterface ui;
    const auto start = std::chrono::steady_clock::now();
    const auto counts =
        importBytes(ArchiveWriter()
                        .member(MemberType::Objects, 1, objectFile("T", {{"G", 0, {{"A", 1}}}}, {}))
                        .member(MemberType::VariableTable, 1,
                                variableTable(std::vector<VariableSpec>(300, {"Same", 1})))
                        .bytes(),
                    dir, ui);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->variables, 300);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    Project p(dir.file("new.vxp"));
    const std::vector<int> vars = p.s().ListVariables(TopicId::Texts);
    ASSERT_EQ(vars.size(), 300u);
    EXPECT_EQ(p.s().GetField(TopicId::Texts, vars.back())->name, "Same(299)");
}
