#include "store/ProjectDatabase.h"

#include "StoreBuilders.h"
#include "TestSupport.h"
#include "platform/Sqlite.h"
#include "store/SchemaSetup.h"
#include "store/TopicStore.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vexana;
using namespace vexana::store;
using namespace vexana::test;

namespace {

bool loadAll(ProjectDatabase& db, TopicStore& s) {
    setUpInMemoryTopics(s);
    for (int id : loadOrder())
        if (!db.LoadTopic(*s.GetTopic(id))) return false;
    return true;
}

void rawExec(const std::string& path, const std::string& sql) {
    platform::SqliteDatabase raw;
    ASSERT_TRUE(raw.open(path, platform::SqliteDatabase::OpenMode::Create));
    ASSERT_TRUE(raw.exec(sql)) << raw.errorText();
}

std::string rawValue(const std::string& path, const std::string& sql) {
    platform::SqliteDatabase raw;
    if (!raw.open(path, platform::SqliteDatabase::OpenMode::ReadWrite)) return "<no file>";
    auto st = raw.prepare(sql);
    if (!st.valid() || st.step() != platform::SqliteStatement::Step::Row) return "<none>";
    return st.columnText(0);
}

std::string newProject(const TempDir& dir, const std::string& name = "p.vxp") {
    ProjectDatabase db;
    EXPECT_TRUE(db.Open(dir.file(name)));
    return dir.file(name);
}

} // namespace

TEST(ProjectDatabase, NewFileHasTheWholeSchemaAndLoads) {
    TempDir dir;
    ScriptedUserInterface ui;
    ProjectDatabase db(std::string(DataTypeMain), &ui);
    ASSERT_TRUE(db.Open(dir.file("new.vxp")));
    EXPECT_EQ(db.dataEngine(), "020905");
    std::string v;
    ASSERT_TRUE(db.GetSetup("DataType", v));
    EXPECT_EQ(v, "MAIN");
    ASSERT_TRUE(db.GetSetup("NoSuchKey", v));
    EXPECT_EQ(v, "");
    TopicStore s;
    ASSERT_TRUE(loadAll(db, s));
    EXPECT_EQ(s.GetTopic(TopicId::Memos)->annotationFormat().size(), 37u);
    EXPECT_EQ(s.FieldCount(TopicId::Codings), 12);
    EXPECT_EQ(s.GetField(TopicId::Codes, CodeField::Parent)->source, "WordID");
    EXPECT_EQ(s.GetTopic(TopicId::Texts)->referencingTopics(), (std::vector<int>{6, 10, 11}));
    EXPECT_EQ(s.GetTopic(TopicId::Codes)->referencingTopics(), (std::vector<int>{8, 10, 11}));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(db.GetProjectName(false), "new.vxp");
    // No temporary files are left beside it.
    db.Close();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ProjectDatabase, OlderVersionsAreUpgradedAndOthersRefusedUntouched) {
    TempDir dir;
    const std::string p1 = newProject(dir, "old1.vxp");
    rawExec(p1,
            "DROP TABLE sys_Values; UPDATE sys_Setup SET Value='010406' WHERE Key='DataEngine';");
    const std::string p2 = newProject(dir, "old2.vxp");
    rawExec(p2, "UPDATE sys_Setup SET Value='020524' WHERE Key='DataEngine';");
    for (const auto& p : {p1, p2}) {
        ProjectDatabase db;
        ASSERT_TRUE(db.Open(p)) << p;
        EXPECT_EQ(db.dataEngine(), "020905");
        std::string rt;
        db.GetSetup("RichText", rt);
        EXPECT_EQ(rt, "1");
    }
    EXPECT_EQ(rawValue(p1, "SELECT count(*) FROM sys_Values"), "0");

    const std::string future = newProject(dir, "future.vxp");
    rawExec(future, "UPDATE sys_Setup SET Value='999999' WHERE Key='DataEngine';");
    const std::string noVersion = newProject(dir, "noversion.vxp");
    rawExec(noVersion, "DELETE FROM sys_Setup WHERE Key='DataEngine';");
    for (const auto& p : {future, noVersion}) {
        const std::string before = readAll(p);
        ScriptedUserInterface ui;
        ProjectDatabase db(std::string(DataTypeMain), &ui);
        EXPECT_FALSE(db.Open(p));
        EXPECT_TRUE(ui.said("Uncompatible Data Format"));
        EXPECT_EQ(ui.messages.back().icon, MessageIcon::Stop);
        EXPECT_FALSE(db.IsOpen());
        EXPECT_TRUE(readAll(p) == before);
    }
}

TEST(ProjectDatabase, FilesThatAreNotProjectsAreRefusedByteForByte) {
    TempDir dir;
    const std::string good = newProject(dir);
    std::string random;
    for (int i = 0; i < 5000; ++i)
        random += static_cast<char>((i * 7919 + 13) & 0xFF);
    writeAll(dir.file("text.vxp"), "This is a letter, not a project.\n");
    writeAll(dir.file("random.vxp"), random);
    writeAll(dir.file("truncated.vxp"), readAll(good).substr(0, 3000));
    writeAll(dir.file("empty.vxp"), "");
    rawExec(dir.file("other.vxp"),
            "CREATE TABLE notes(id INTEGER, body TEXT); INSERT INTO notes VALUES(1,'x');");
    std::string corrupt = readAll(good);
    for (std::size_t i = 4096; i < corrupt.size(); i += 3)
        corrupt[i] = '\x5A';
    writeAll(dir.file("corrupt.vxp"), corrupt);
    for (const char* name :
         {"text.vxp", "random.vxp", "truncated.vxp", "empty.vxp", "other.vxp", "corrupt.vxp"}) {
        const std::string before = readAll(dir.file(name));
        ScriptedUserInterface ui;
        ProjectDatabase db(std::string(DataTypeMain), &ui);
        TopicStore s;
        const bool opened = db.Open(dir.file(name)) && loadAll(db, s);
        EXPECT_FALSE(opened) << name;
        db.Close();
        EXPECT_TRUE(readAll(dir.file(name)) == before) << name;
        EXPECT_FALSE(std::filesystem::exists(dir.file(name) + "-wal")) << name;
    }
    ScriptedUserInterface ui;
    ProjectDatabase db(std::string(DataTypeMain), &ui);
    EXPECT_FALSE(db.Open(dir.file("no/such/folder/p.vxp")));
    EXPECT_FALSE(ui.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
    EXPECT_FALSE(db.Open(dir.path()));
}

TEST(ProjectDatabase, AProjectOpenElsewhereIsRefusedAtOnceAndStaysUsable) {
    TempDir dir;
    const std::string path = newProject(dir);
    ProjectDatabase first;
    ASSERT_TRUE(first.Open(path));
    TopicStore s;
    ASSERT_TRUE(loadAll(first, s));

    // Another program: a child process tries while we hold the file.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ScriptedUserInterface ui;
        ProjectDatabase second(std::string(DataTypeMain), &ui);
        const bool opened = second.Open(path);
        _exit(!opened && ui.messages.size() == 1 &&
                      ui.messages[0].text.find("open in another program") != std::string::npos
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(addGroup(s, "still writable"), 1);
}

TEST(ProjectDatabase, RecordsAreWrittenThroughWithQuotesBlocksAndValues) {
    TempDir dir;
    const std::string path = newProject(dir);
    {
        ProjectDatabase db;
        ASSERT_TRUE(db.Open(path));
        TopicStore s;
        ASSERT_TRUE(loadAll(db, s));
        const std::int32_t g = addGroup(s, "O'Brien's \"group\"; DROP TABLE Texts;--");
        RecordCursor c;
        ASSERT_TRUE(s.NewRecord(TopicId::Texts, c));
        c.setInt(TextField::Group, g);
        c.setText(TextField::Name, "it's");
        c.setBlock(TextField::Body, std::string_view("{\\rtf1 Hello}"));
        c.setDate(TextField::Date, DateTime::fromCivil(2020, 5, 17, 10, 30));
        const std::int32_t t = c.id();
        ASSERT_TRUE(s.Save(c, true, true));
        // Edited again: the same row, not a second one.
        ASSERT_TRUE(s.GetRecord(TopicId::Texts, t, c));
        c.setInt(TextField::Codes, 3);
        ASSERT_TRUE(s.Save(c));
        EXPECT_EQ(rawValue(path, "SELECT count(*) FROM Texts"), "<none>"); // locked while open

        FieldInfo v;
        v.name = "Age 'years'";
        v.type = TypeInteger;
        v.state = FieldState::NewVariable;
        const int age = s.AddField(TopicId::Texts, v);
        FieldInfo col;
        col.name = "Region";
        col.source = "Region";
        col.type = TypeString;
        col.state = FieldState::Editable | FieldState::Variable;
        const int region = s.AddField(TopicId::Texts, col);
        ASSERT_GE(age, 0);
        ASSERT_GE(region, 0);
        ASSERT_TRUE(s.GetRecord(TopicId::Texts, t, c));
        c.setInt(age, 44);
        c.setText(region, "North");
        ASSERT_TRUE(s.Save(c, false, true));
        ASSERT_TRUE(s.RenameField(TopicId::Texts, age, "Age"));

        // A field of a record that is not in the file yet is not saved and adds nothing.
        RecordCursor fresh;
        ASSERT_TRUE(s.NewRecord(TopicId::TextGroups, fresh));
        EXPECT_FALSE(s.SetFieldText(fresh, GroupField::Name, "x"));
    }
    ProjectDatabase db;
    ASSERT_TRUE(db.Open(path));
    TopicStore s;
    ASSERT_TRUE(loadAll(db, s));
    EXPECT_EQ(s.RecordCount(TopicId::TextGroups), 1);
    EXPECT_EQ(s.GetName(TopicId::Texts, 1, true), "O'Brien's \"group\"; DROP TABLE Texts;--\\it's");
    EXPECT_EQ(s.GetInt(TopicId::Texts, 1, TextField::Codes), 3);
    EXPECT_EQ(s.GetText(TopicId::Texts, 1, TextField::Date), "2020-05-17 10:30");
    EXPECT_EQ(s.GetField(TopicId::Texts, 9)->name, "Age");
    EXPECT_EQ(s.GetInt(TopicId::Texts, 1, 9), 44);
    EXPECT_EQ(s.GetText(TopicId::Texts, 1, 10), "North");
    // Bodies are read on demand only.
    EXPECT_LT(s.memoryBytes(), 20000u);
    RecordCursor c;
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, 1, c));
    EXPECT_TRUE(c.block(TextField::Body).empty());
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, 1, c, true));
    EXPECT_EQ(std::string(c.block(TextField::Body).begin(), c.block(TextField::Body).end()),
              "{\\rtf1 Hello}");
    // Saving without blocks keeps the stored body.
    c.setText(TextField::Name, "renamed");
    c.setBlock(TextField::Body, std::string_view(""));
    ASSERT_TRUE(s.Save(c));
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, 1, c, true));
    EXPECT_EQ(c.block(TextField::Body).size(), 13u);
    c.Release();

    ASSERT_TRUE(s.RemoveField(TopicId::Texts, 9));
    ASSERT_TRUE(s.RemoveField(TopicId::Texts, 10));
    ASSERT_TRUE(s.DeleteRecord(TopicId::TextGroups, 1));
    db.Close();
    EXPECT_EQ(rawValue(path, "SELECT count(*) FROM sys_Values"), "0");
    EXPECT_EQ(rawValue(path, "SELECT count(*) FROM Texts"), "0");
    EXPECT_EQ(rawValue(path, "SELECT count(*) FROM sys_Fields WHERE TopicID=5"), "9");
}

TEST(ProjectDatabase, CompactWritesAWorkingCopyAndNeverOverwritesItself) {
    TempDir dir;
    const std::string path = newProject(dir);
    ProjectDatabase db;
    ASSERT_TRUE(db.Open(path));
    TopicStore s;
    ASSERT_TRUE(loadAll(db, s));
    addGroup(s, "G");
    std::string error;
    EXPECT_FALSE(db.Compact(path, error));
    EXPECT_FALSE(error.empty());
    writeAll(dir.file("old-backup.vxp"), "an older backup");
    ASSERT_TRUE(db.Compact(dir.file("old-backup.vxp"), error)) << error;
    EXPECT_FALSE(db.Compact(dir.file("missing/b.vxp"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(addGroup(s, "after"), 2);
    ProjectDatabase copy;
    ASSERT_TRUE(copy.Open(dir.file("old-backup.vxp")));
    TopicStore cs;
    ASSERT_TRUE(loadAll(copy, cs));
    EXPECT_EQ(cs.RecordCount(TopicId::TextGroups), 1);
}

TEST(ProjectDatabase, AKilledBulkWriteLeavesAllOrNothing) {
    TempDir dir;
    const std::string path = newProject(dir);
    constexpr int rows = 20000;
    int killedCount = 0;
    // Both journals: the log of everyday changes and the rollback journal of bulk ones.
    for (int attempt = 0; attempt < 4; ++attempt) {
        int pipefd[2];
        ASSERT_EQ(pipe(pipefd), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(pipefd[0]);
            ProjectDatabase db;
            TopicStore s;
            if (!db.Open(path) || !loadAll(db, s)) _exit(2);
            db.beginTransaction(attempt % 2 == 1);
            for (int i = 0; i < rows; ++i) {
                addRecord(s, TopicId::Codings, {{CodingField::StartChar, i}},
                          {{CodingField::Preview, "x"}});
                if (i == rows / 2)
                    (void)!write(pipefd[1], "h", 1); // halfway: the parent may kill us now
            }
            db.endTransaction(true);
            _exit(0);
        }
        close(pipefd[1]);
        char c;
        const bool halfway = read(pipefd[0], &c, 1) == 1;
        close(pipefd[0]);
        if (halfway) kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) ++killedCount;
        ProjectDatabase db;
        TopicStore s;
        ASSERT_TRUE(db.Open(path));
        ASSERT_TRUE(loadAll(db, s));
        const int n = s.RecordCount(TopicId::Codings);
        EXPECT_TRUE(n % rows == 0) << n;
    }
    EXPECT_GT(killedCount, 0);
    {
        ProjectDatabase db;
        TopicStore s;
        ASSERT_TRUE(db.Open(path) && loadAll(db, s));
        db.beginTransaction(true);
        addRecord(s, TopicId::Codings, {{CodingField::StartChar, 1}}, {});
        ASSERT_TRUE(db.endTransaction(true));
    }
    EXPECT_EQ(rawValue(path, "PRAGMA journal_mode;"), "wal"); // the log is back after a bulk unit
}
