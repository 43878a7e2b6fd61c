#include "store/ProjectDatabase.h"

#include "StoreBuilders.h"
#include "TestSupport.h"
#include "platform/Sqlite.h"
#include "store/CVexDoc.h"
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
    // Files of those versions have no "RichText" row.
    rawExec(p1, "DROP TABLE sys_Values; DELETE FROM sys_Setup WHERE Key='RichText'; "
                "UPDATE sys_Setup SET Value='010406' WHERE Key='DataEngine';");
    const std::string p2 = newProject(dir, "old2.vxp");
    rawExec(p2, "DELETE FROM sys_Setup WHERE Key='RichText'; "
                "UPDATE sys_Setup SET Value='020524' WHERE Key='DataEngine';");
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

TEST(ProjectDatabase, AProjectOpenElsewhereIsRefusedAndStaysUsable) {
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

namespace {

// A project with one group, one text, one code and one coding.
std::string codedProject(const TempDir& dir, const std::string& name) {
    const std::string path = dir.file(name);
    ProjectDatabase db;
    TopicStore s;
    EXPECT_TRUE(db.Open(path) && loadAll(db, s));
    const std::int32_t text = addText(s, addGroup(s, "G"), "T");
    addCoding(s, text, addCode(s, 0, "C"), 0, 5);
    return path;
}

// A project open through the document, which makes units transactions.
struct OpenDoc {
    ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
    bool open(const std::string& path) { return doc.OpenPath(path, false); }
};

// Leaves a log beside path that holds a change the file itself does not, as a crash does.
void leaveLog(const std::string& path, const std::string& sql) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        platform::SqliteDatabase raw;
        const bool ok = raw.open(path, platform::SqliteDatabase::OpenMode::ReadWrite) &&
                        raw.exec("PRAGMA journal_mode=WAL;") && raw.exec(sql);
        _exit(ok ? 0 : 1); // without closing: the log stays
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(std::filesystem::file_size(path + "-wal") > 0);
}

} // namespace

TEST(ProjectDatabase, DamagedProjectsAreRefusedUntouchedNamingTheTable) {
    TempDir dir;
    const std::string good = codedProject(dir, "good.vxp");
    const struct {
        const char* sql;
        const char* said;
    } cases[] = {
        {"UPDATE Codings SET ID=0;", "Codings holds a record with the id 0"},
        {"UPDATE Textgroups SET ID=-3;", "Textgroups holds a record with the id -3"},
        {"DROP INDEX Codings_ID; INSERT INTO Codings(ID, TextID, WordID) VALUES(1, 1, 1);",
         "Codings holds two records with the id 1"},
        {"DELETE FROM sys_Fields WHERE TopicID=10 AND ID=0;", "no id field for Codings"},
        {"UPDATE sys_Fields SET Type=6 WHERE TopicID=8 AND ID=0;", "id field of Codewords"},
        {"DELETE FROM sys_Topics WHERE ID=5;", "sys_Topics has no row for Texts"},
        {"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<3000) "
         "INSERT INTO sys_Fields SELECT 5, i+100, 'v', 'V'||i, 3, 128, 0 FROM n;",
         "more than 2000 fields for Texts"},
        {"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<9000) "
         "INSERT INTO sys_Fields SELECT 5, i+100, 'v', 'V'||i, 3, 128, 0 FROM n WHERE i<1990; "
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<9000) "
         "INSERT INTO Texts(ID) SELECT i+10 FROM n;",
         "too large to be held in memory"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = dir.file("bad" + std::to_string(n++) + ".vxp");
        std::filesystem::copy_file(good, path);
        rawExec(path, c.sql);
        const std::string before = readAll(path);
        ScriptedUserInterface ui;
        ProjectDatabase db(std::string(DataTypeMain), &ui);
        EXPECT_FALSE(db.Open(path)) << c.sql;
        ASSERT_EQ(ui.messages.size(), 1u) << c.sql;
        EXPECT_NE(ui.messages[0].text.find(c.said), std::string::npos) << ui.messages[0].text;
        EXPECT_TRUE(readAll(path) == before) << c.sql;
        EXPECT_FALSE(std::filesystem::exists(path + "-wal")) << c.sql;
    }
    // A foreign database in log mode, with a log: neither is folded into the other.
    const std::string foreign = dir.file("foreign.vxp");
    rawExec(foreign, "CREATE TABLE notes(body TEXT);");
    leaveLog(foreign, "INSERT INTO notes VALUES('x');");
    const std::string before = readAll(foreign), log = readAll(foreign + "-wal");
    ScriptedUserInterface ui;
    ProjectDatabase db(std::string(DataTypeMain), &ui);
    EXPECT_FALSE(db.Open(foreign));
    EXPECT_TRUE(readAll(foreign) == before);
    EXPECT_TRUE(readAll(foreign + "-wal") == log);
}

TEST(ProjectDatabase, NewFilesAndBackupsNeverInheritAnEarlierFilesLog) {
    TempDir dir;
    const std::string path = codedProject(dir, "x.vxp");
    leaveLog(path, "INSERT INTO Textgroups(ID, Name) VALUES(77, 'old');");
    std::filesystem::remove(path);
    {
        ProjectDatabase db;
        TopicStore s;
        ASSERT_TRUE(db.Open(path) && loadAll(db, s));
        EXPECT_EQ(s.RecordCount(TopicId::TextGroups), 0);
    }
    // A backup written over a path that still has the log of the file it replaces.
    const std::string target = codedProject(dir, "backup.vxp");
    leaveLog(target, "INSERT INTO Textgroups(ID, Name) VALUES(77, 'old');");
    {
        ProjectDatabase db;
        TopicStore s;
        ASSERT_TRUE(db.Open(path) && loadAll(db, s));
        addGroup(s, "new");
        std::string error;
        ASSERT_TRUE(db.Compact(target, error)) << error;
    }
    EXPECT_EQ(rawValue(target, "PRAGMA integrity_check;"), "ok");
    ProjectDatabase db;
    TopicStore s;
    ASSERT_TRUE(db.Open(target) && loadAll(db, s));
    ASSERT_EQ(s.RecordCount(TopicId::TextGroups), 1);
    EXPECT_EQ(s.GetName(TopicId::TextGroups, s.ListIds(TopicId::TextGroups)[0], false), "new");
}

TEST(ProjectDatabase, LeftoversOfAKilledCreationAreRemovedOnlyWhenTheirProgramIsGone) {
    TempDir dir;
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = dir.file("p.vxp.new-" + std::to_string(gone) + "-0");
    const std::string alive = dir.file("p.vxp.new-" + std::to_string(getppid()) + "-0");
    const std::string other = dir.file("p.vxp.notes");
    for (const std::string& f : {dead, dead + "-journal", alive, other})
        writeAll(f, "x");
    newProject(dir);
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_FALSE(std::filesystem::exists(dead + "-journal"));
    EXPECT_TRUE(std::filesystem::exists(alive));
    EXPECT_TRUE(std::filesystem::exists(other));
}

TEST(ProjectDatabase, OpeningWaitsBrieflyForAProgramThatIsOnlyStarting) {
    TempDir dir;
    const std::string path = newProject(dir);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ProjectDatabase db;
        const bool ok = db.Open(path);
        (void)!write(ready[1], "r", 1);
        usleep(300 * 1000);
        _exit(ok ? 0 : 1);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ScriptedUserInterface ui;
    ProjectDatabase db(std::string(DataTypeMain), &ui);
    EXPECT_TRUE(db.Open(path)) << (ui.messages.empty() ? "" : ui.messages[0].text);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(ready[0]);
    close(ready[1]);
}

TEST(ProjectDatabase, UnitsKeepTheLastWriteAndSkipMissingColumns) {
    TempDir dir;
    const std::string path = codedProject(dir, "p.vxp");
    // Older files gain the index that variable lookups need.
    rawExec(path, "DROP INDEX sys_Values_Object;");
    {
        OpenDoc doc;
        ASSERT_TRUE(doc.open(path));
        TopicStore& s = doc.doc.store();
        const std::int32_t group = s.ListIds(TopicId::TextGroups)[0];
        StoreBatch unit(s);
        RecordCursor c;
        ASSERT_TRUE(s.GetRecord(TopicId::TextGroups, group, c));
        c.setInt(GroupField::Index, 77);
        ASSERT_TRUE(s.Save(c));
        ASSERT_TRUE(s.GetRecord(TopicId::TextGroups, group, c));
        ASSERT_TRUE(s.SetFieldText(c, GroupField::Name, "Renamed"));
        c.Release();
        ASSERT_TRUE(unit.finish());
    }
    EXPECT_EQ(rawValue(path, "SELECT Name FROM Textgroups;"), "Renamed");
    EXPECT_EQ(rawValue(path, "SELECT [Index] FROM Textgroups;"), "77");
    EXPECT_EQ(rawValue(path, "SELECT count(*) FROM sqlite_master WHERE name='sys_Values_Object';"),
              "1");

    rawExec(path, "ALTER TABLE Codings DROP COLUMN Preview;");
    {
        OpenDoc doc;
        ASSERT_TRUE(doc.open(path));
        TopicStore& s = doc.doc.store();
        const std::int32_t text = s.ListIds(TopicId::Texts)[0];
        const std::int32_t code = s.ListIds(TopicId::Codes)[0];
        EXPECT_GT(addCoding(s, text, code, 6, 9), 0);
        RecordCursor c;
        ASSERT_TRUE(s.GetRecord(TopicId::Codings, s.ListIds(TopicId::Codings)[0], c));
        EXPECT_TRUE(s.SetFieldText(c, CodingField::Preview, "not kept"));
        EXPECT_TRUE(doc.ui.messages.empty());
    }
    EXPECT_EQ(rawValue(path, "SELECT count(*) FROM Codings;"), "2");
}
