#include "variables/VariableTable.h"

#include "FaultVfs.h"
#include "ProjectSession.h"
#include "VariablesFixture.h"
#include "platform/Files.h"

#include <sys/stat.h>

using namespace vexana;
using namespace vexana::store;
using namespace vexana::variables;
using vexana::test::readAll;
using vexana::test::VariablesFixture;
using vexana::test::writeAll;

namespace {

const std::string head = "Textgroup\tTextname\tCreation Date\tNumber of Coded Segments";

} // namespace

TEST_F(VariablesFixture, ExportWritesTheListedFieldsOfEveryText) {
    const std::int32_t g = group("Interviews");
    const std::int32_t a = text(g, "Anna"), b = text(g, "Bernd");
    const int age = vars.Add("Age", TypeInteger), smoker = vars.Add("Smoker", TypeBoolean),
              job = vars.Add("Job", TypeString);
    vars.SetValue(a, age, "41");
    vars.SetValue(a, smoker, "1");
    vars.SetValue(b, smoker, "0");
    vars.SetValue(b, job, "Baker");
    const std::string date = value(a, TextField::Date);
    VariableTable table(doc);
    ASSERT_TRUE(table.Export(dir.file("vars.txt")));
    EXPECT_EQ(readAll(dir.file("vars.txt")),
              head + "\tAge\tSmoker\tJob\r\n" + "Interviews\tAnna\t" + date + "\t0\t41\t1\t\r\n" +
                  "Interviews\tBernd\t" + value(b, TextField::Date) + "\t0\t0\t\tBaker\r\n");

    // A target that cannot be written is reported and nothing is left there.
    EXPECT_FALSE(table.Export(dir.file("no/folder/vars.txt")));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind(
                  "The variables cannot be written to " + dir.file("no/folder/vars.txt") + ": ", 0),
              0u);
    EXPECT_FALSE(platform::fileExists(dir.file("no/folder/vars.txt")));
}

TEST_F(VariablesFixture, ImportClassifiesColumnsByWholeCellsAndFindsTextsByName) {
    const std::int32_t g = group("Interviews"), other = group("interviews");
    const std::int32_t a = text(g, "Anna"), b = text(g, "Bernd"), c = text(other, "Carla");
    const int age = vars.Add("Age", TypeInteger);
    const std::string file = "textgruppe\tTEXTNAME\tFlag\tScore\tDrop\tCode\tWord\tage\t\r\n"
                             " Interviews \tanna\t1\t2.5\t-3\t12abc\tabc\t30\tx\r\n"
                             "INTERVIEWS\tBernd\t0\t\t1,5\t1\t\t\r\n"
                             "Interviews\tCarla\t\t1\t\t\t\t\r\n"
                             "Nobody\tAnna\t1\t\t\t\t\t\r\n";
    writeAll(dir.file("in.txt"), file);
    VariableTable table(doc);
    // A cell that is not a value of its variable (30.7 for the whole numbers of Age) refuses
    // the whole table, naming the line.
    std::string bad = file;
    bad.replace(bad.find("\t30\t"), 4, "\t30.7\t");
    writeAll(dir.file("bad.txt"), bad);
    EXPECT_FALSE(table.Import(dir.file("bad.txt")).ok);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("nothing was changed.\nline 2: \"30.7\" is not a value of "
                                       "Age (a whole number is)"),
              std::string::npos)
        << ui.messages[0].text;
    EXPECT_EQ(vars.List().size(), 1u);
    ui.messages.clear();
    ui.progress.clear();
    const ImportResult r = table.Import(dir.file("in.txt"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.imported, 2);
    EXPECT_EQ(r.skipped, 2); // Carla is in the second group of that name; Nobody is none
    ASSERT_EQ(r.created.size(), 5u);
    const auto type = [&](int k) { return s().GetField(TopicId::Texts, r.created[k])->type; };
    EXPECT_EQ(type(0), TypeBoolean); // Flag: 1, 0 and empty
    EXPECT_EQ(type(1), TypeFloat);   // Score: 2.5 and 1
    EXPECT_EQ(type(2), TypeFloat);   // Drop: -3 and 1,5
    EXPECT_EQ(type(3), TypeString);  // Code: 12abc is no number
    EXPECT_EQ(type(4), TypeString);  // Word
    EXPECT_EQ(value(a, r.created[0]), "1");
    EXPECT_EQ(value(a, r.created[1]), "2.5");
    EXPECT_EQ(value(b, r.created[2]), "1.5");
    EXPECT_EQ(value(a, r.created[3]), "12abc");
    EXPECT_EQ(value(a, age), "30"); // an existing variable keeps its type
    EXPECT_EQ(value(c, r.created[0]), "");
    EXPECT_EQ(ui.progress.front(), "Analyze Variables...");
    EXPECT_EQ(ui.progress.back(), "Texts imported: 2");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "2 lines name no text of the project and were skipped (lines 4, 5).");
    EXPECT_TRUE(view.saw(ViewEvent::Changed, TopicId::Texts, a));
    EXPECT_EQ(doc.undoText(), "Undo Import Variables");

    // Undo takes the whole import back: new variables and every value.
    ASSERT_TRUE(doc.Undo());
    for (int f : r.created)
        EXPECT_EQ(s().GetField(TopicId::Texts, f), nullptr);
    EXPECT_EQ(value(a, age), "0");
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(value(a, age), "30");
    EXPECT_EQ(value(a, r.created[3]), "12abc");
}

TEST_F(VariablesFixture, ImportReadsEveryLineEndEncodingAndRaggedRows) {
    const std::int32_t g = group("Ärzte");
    const std::int32_t a = text(g, "Anna"), b = text(g, "Bernd");
    const int job = vars.Add("Job", TypeString), age = vars.Add("Age", TypeInteger);
    vars.SetValue(b, age, "50");
    VariableTable table(doc);
    const auto importOf = [&](const std::string& bytes) {
        writeAll(dir.file("in.txt"), bytes);
        ui.messages.clear();
        return table.Import(dir.file("in.txt"));
    };
    // LF only, with a UTF-8 byte-order mark.
    ImportResult r = importOf("\xEF\xBB\xBFTextgroup\tTextname\tJob\n\xC3\x84rzte\tAnna\tLF\n");
    EXPECT_EQ(r.imported, 1);
    EXPECT_EQ(value(a, job), "LF");
    // CR only; the last line needs no line end.
    r = importOf("Textgroup\tTextname\tJob\r\xC3\x84rzte\tAnna\tCR\r\xC3\x84rzte\tBernd\tlast");
    EXPECT_EQ(r.imported, 2);
    EXPECT_EQ(value(a, job), "CR");
    EXPECT_EQ(value(b, job), "last");
    // Windows-1252: Ä and é as single bytes.
    r = importOf("Textgroup\tTextname\tJob\r\n\xC4rzte\tAnna\tCaf\xE9\r\n");
    EXPECT_EQ(r.imported, 1);
    EXPECT_EQ(value(a, job), "Caf\xC3\xA9");
    // Ragged rows: missing cells change nothing, extra cells are dropped.
    r = importOf("Textgroup\tTextname\tJob\tAge\r\n\xC3\x84rzte\tBernd\r\n"
                 "\xC3\x84rzte\tAnna\tNurse\t33\tsurplus\textra\r\n");
    EXPECT_EQ(r.imported, 2);
    EXPECT_EQ(value(b, job), "last");
    EXPECT_EQ(value(b, age), "50");
    EXPECT_EQ(value(a, job), "Nurse");
    EXPECT_EQ(value(a, age), "33");
    EXPECT_TRUE(ui.messages.empty());

    // 100,000 lines, one unit.
    std::string many = "Textgroup\tTextname\tAge\r\n";
    for (int i = 0; i < 100000; ++i)
        many += std::string("\xC3\x84rzte\t") + (i % 2 ? "Anna" : "Bernd") + "\t" +
                std::to_string(i % 2 ? 7 : 8) + "\r\n";
    ui.progress.clear();
    r = importOf(many);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.imported, 100000);
    EXPECT_EQ(value(a, age), "7");
    EXPECT_EQ(value(b, age), "8");
    EXPECT_EQ(ui.progress.back(), "Texts imported: 100000");
}

TEST_F(VariablesFixture, RefusedImportsSayWhyAndChangeNothing) {
    const std::int32_t a = text(group("G"), "Anna");
    const int job = vars.Add("Job", TypeString);
    vars.SetValue(a, job, "before");
    const int fields = fieldCount();
    VariableTable table(doc);
    const std::string prefix = "The variables cannot be imported from " + dir.file("in.txt") + ": ";
    const std::pair<std::string, std::string> cases[] = {
        {"Textgroup\tTextname\tJob\tNew", "it has no line end, so it holds no texts"},
        {"", "it has no line end, so it holds no texts"},
        {"Textname\tJob\tNew\r\nG\tAnna\tx\ty\r\n", "its header has no \"Textgroup\" column"},
        {"Textgroup\tJob\tNew\r\nG\tx\ty\r\n", "its header has no \"Textname\" column"},
        {"Job\tNew\r\nx\ty\r\n", "its header has no \"Textgroup\" and no \"Textname\" column"},
        {"Textgroup\tTextname\tJob\tNew\r\n", "it holds no lines of texts"},
        {"Textgroup\tTextname\tJob\tNew\r\nG\tBerta\tx\ty\r\n",
         "no line names a text of the project"},
    };
    for (const auto& [bytes, why] : cases) {
        writeAll(dir.file("in.txt"), bytes);
        ui.messages.clear();
        const ImportResult r = table.Import(dir.file("in.txt"));
        EXPECT_FALSE(r.ok) << why;
        ASSERT_EQ(ui.messages.size(), 1u) << why;
        EXPECT_EQ(ui.messages[0].text, prefix + why + "; nothing was changed.");
        EXPECT_EQ(fieldCount(), fields) << why;
        EXPECT_EQ(value(a, job), "before");
    }
    ui.messages.clear();
    EXPECT_FALSE(table.Import(dir.file("missing.txt")).ok);
    EXPECT_FALSE(table.Import(dir.path()).ok);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text.rfind(
                  "The variables cannot be imported from " + dir.file("missing.txt") + ": ", 0),
              0u);
    // Columns whose name no variable may have are left out, and said so.
    writeAll(dir.file("in.txt"), "Textgroup\tTextname\tGroup\tJob\r\nG\tAnna\t5\tafter\r\n");
    ui.messages.clear();
    const ImportResult r = table.Import(dir.file("in.txt"));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(fieldCount(), fields);
    EXPECT_EQ(value(a, job), "after");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "These columns were left out:\n\"Group\": \"Group\" is the name "
                                   "of a built-in field.");
}

TEST_F(VariablesFixture, ExportThenImportGivesBackEveryValueExactly) {
    const std::int32_t g = group("G");
    const std::int32_t a = text(g, "Anna"), b = text(g, "Bernd");
    const int f = vars.Add("Income", TypeFloat), d = vars.Add("Interview", TypeDateTime),
              flag = vars.Add("Flag", TypeBoolean), job = vars.Add("Job", TypeString);
    vars.SetValue(a, f, "1234567.89");
    vars.SetValue(a, d, "2023-11-05 13:45:30");
    vars.SetValue(a, flag, "1");
    vars.SetValue(b, job, "Caf\xC3\xA9 \xCE\xBB");
    VariableTable table(doc);
    ASSERT_TRUE(table.Export(dir.file("out.txt")));
    vars.SetValue(a, f, "1");
    vars.SetValue(a, d, "2000-01-01");
    vars.SetValue(a, flag, "0");
    vars.SetValue(b, job, "x");
    const ImportResult r = table.Import(dir.file("out.txt"));
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.created.empty());
    reopen();
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Texts, a, c));
    EXPECT_EQ(c.getDouble(f), 1234567.89);
    EXPECT_EQ(c.getDate(d).days, DateTime::fromCivil(2023, 11, 5, 13, 45, 30).days);
    EXPECT_EQ(value(a, flag), "1");
    EXPECT_EQ(value(b, job), "Caf\xC3\xA9 \xCE\xBB");
}

TEST(VariableTableReader, ClassesOnlyMoveDown) {
    TableText t;
    std::string why;
    ASSERT_TRUE(readTable("A\tB\tC\tD\n1\t0\t2\t-\n0\t1,5\t\t\n1\t1e3\t3\t5\n", t, why));
    ASSERT_EQ(t.lines.size(), 3u);
    const auto classes = classifyColumns(t);
    EXPECT_EQ(classes[0], ColumnClass::Boolean);
    EXPECT_EQ(classes[1], ColumnClass::FloatingPoint);
    EXPECT_EQ(classes[2], ColumnClass::FloatingPoint);
    EXPECT_EQ(classes[3], ColumnClass::String); // "-" alone is no number, and 5 cannot undo it
    for (const char* n : {"0", "-3", "+2.5", ",5", "1e-3", "12.", "1,5E+2"})
        EXPECT_TRUE(isNumber(n)) << n;
    for (const char* n : {"", "-", ".", "12abc", "1e", "1.2.3", "0x10", " 1", "1 000"})
        EXPECT_FALSE(isNumber(n)) << n;
}

// One failed write at each place in turn (a full disk that frees up again, so the unit can
// be rolled back in place).
TEST(VariableTableFaults, AFullDiskAtAnyWriteOfTheImportChangesNothingAndSaysSo) {
    test::FaultVfs vfs; // outlives every connection below
    test::TempDir dir;
    test::ProjectSession s;
    ASSERT_TRUE(s.open(dir.file("p.vxp")));
    const std::int32_t g = s.docs().NewTextGroup();
    s.docs().RenameObject(TopicId::TextGroups, g, "G");
    std::vector<std::int32_t> texts;
    std::string file = "Textgroup\tTextname\tJob\tAge\r\n";
    for (int i = 0; i < 30; ++i) {
        texts.push_back(s.docs().CreateTextWith(g, "T" + std::to_string(i), "{\\rtf1 x}"));
        file += "G\tT" + std::to_string(i) + "\tjob " + std::to_string(i) + "\t" +
                std::to_string(i) + "\r\n";
    }
    Variables vars(s.doc);
    const int job = vars.Add("Job", TypeString);
    vars.SetValue(texts[3], job, "before");
    const int fields = s.doc.store().FieldCount(TopicId::Texts);
    bool stored = false;
    for (int k = 1; k < 400 && !stored; k += 3) {
        s.ui.messages.clear();
        vfs.arm(test::VfsCall::Write, k, SQLITE_FULL);
        const ImportResult r = VariableTable(s.doc).ImportText(file, "in.txt");
        vfs.disarm();
        stored = r.ok;
        if (stored) break;
        ASSERT_EQ(s.ui.messages.size(), 1u) << k;
        EXPECT_NE(s.ui.messages[0].text.find("the disk is full"), std::string::npos)
            << s.ui.messages[0].text;
        EXPECT_EQ(s.doc.store().FieldCount(TopicId::Texts), fields) << k;
        EXPECT_EQ(s.doc.store().GetText(TopicId::Texts, texts[3], job), "before") << k;
    }
    EXPECT_TRUE(stored);
    EXPECT_EQ(s.doc.store().GetText(TopicId::Texts, texts[3], job), "job 3");
}
