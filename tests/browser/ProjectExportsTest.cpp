#include "browser/ProjectExports.h"

#include "../analysis/ProjectFixture.h"
#include "platform/Files.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace vexana;
using namespace vexana::store;
using vexana::test::ProjectFixture;

namespace {

class ProjectExports : public ProjectFixture {
protected:
    // Two groups; codes made as Zeta, Beta and then Alpha below Zeta, so Index alone (Zeta 0,
    // Alpha 0, Beta 1) would mix the levels.
    void build() {
        g1 = docs().NewTextGroup();
        g2 = docs().NewTextGroup();
        b = text(g1, "B", "One two.\rThree.");
        a = text(g1, "A", "Four five.");
        c = text(g2, "C", "Six.");
        zeta = codes().NewCode(0, "Zeta", false);
        beta = codes().NewCode(0, "Beta", false);
        alpha = codes().NewCode(zeta, "Alpha", false);
        ASSERT_TRUE(b && a && c && zeta && beta && alpha);
    }
    std::string name(int topic, std::int32_t id) { return s().GetName(topic, id, true); }

    std::int32_t g1 = 0, g2 = 0, a = 0, b = 0, c = 0, zeta = 0, beta = 0, alpha = 0;
};

} // namespace

TEST_F(ProjectExports, MatrixCountsInTreeOrder) {
    build();
    // Two codings of one text with one code count two; weight plays no part.
    ASSERT_TRUE(code(b, zeta, 0, 3));
    ASSERT_TRUE(code(b, zeta, 4, 8, analysis::CodingOperations::NewBatch, 10));
    ASSERT_TRUE(code(a, alpha, 0, 4, analysis::CodingOperations::NewBatch, 50));
    ASSERT_TRUE(code(c, zeta, 0, 3));
    EXPECT_EQ(browser::textsInTreeOrder(s()), (std::vector{b, a, c}));
    EXPECT_EQ(browser::codesInTreeOrder(s()), (std::vector{zeta, alpha, beta}));

    browser::CodeMatrix m;
    ASSERT_TRUE(browser::countCodeMatrix(s(), browser::textsInTreeOrder(s()),
                                         browser::matrixCodes(s(), false), m));
    const std::string expected = "Textname\tZeta\tZeta\\Alpha\tBeta\r\n" + name(TopicId::Texts, b) +
                                 "\t2\t0\t0\r\n" + name(TopicId::Texts, a) + "\t0\t1\t0\r\n" +
                                 name(TopicId::Texts, c) + "\t1\t0\t0\r\n";
    EXPECT_EQ(browser::matrixText(s(), m), expected);

    // Only the active codes: columns of the others and their codings drop out.
    ASSERT_TRUE(codes().ActivateCode(beta, true));
    ASSERT_TRUE(browser::countCodeMatrix(s(), browser::textsInTreeOrder(s()),
                                         browser::matrixCodes(s(), true), m));
    EXPECT_EQ(m.codes, (std::vector{beta}));
    EXPECT_EQ(m.counts, (std::vector<std::int32_t>{0, 0, 0}));

    // Sorted siblings move their subtrees along; the texts follow their group's new order.
    ASSERT_TRUE(docs().Sort(analysis::TreeKind::CodesRoot, 0));
    ASSERT_TRUE(docs().Sort(analysis::TreeKind::Group, g1));
    EXPECT_EQ(browser::codesInTreeOrder(s()), (std::vector{beta, zeta, alpha}));
    EXPECT_EQ(browser::textsInTreeOrder(s()), (std::vector{a, b, c}));
    // What is made after a sort goes after its sorted siblings, as reopening will show it.
    ASSERT_TRUE(docs().Sort(analysis::TreeKind::GroupsRoot, 0));
    const std::int32_t aa = text(g1, "Aardvark", "x.");
    const std::int32_t d = text(docs().NewTextGroup(), "D", "y.");
    const std::int32_t copy = docs().CopyText(c, TopicId::TextGroups, g1);
    EXPECT_EQ(browser::textsInTreeOrder(s()), (std::vector{a, b, aa, copy, c, d}));
}

TEST_F(ProjectExports, MatrixWithoutCodesAndTheCommand) {
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t t = text(g, "Anna", "Hello.");
    const std::string path = dir.file("m.txt");
    EXPECT_EQ(browser::exportCodeMatrix(s(), false, path), "");
    EXPECT_EQ(test::readAll(path), "Textname\r\n" + name(TopicId::Texts, t) + "\r\n");

    // No code active: every code, without asking.
    const std::int32_t work = codes().NewCode(0, "Work", false);
    const std::int32_t rest = codes().NewCode(0, "Rest", false);
    ui.files = {path};
    EXPECT_TRUE(browser::codeMatrixCommand(s(), ui));
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(ui.dialogs.back(), FileDialog::ExportMatrix);
    EXPECT_EQ(test::readAll(path).substr(0, 20), "Textname\tWork\tRest\r\n");

    // One active: asked; No gives every code, Yes the active ones.
    ASSERT_TRUE(codes().ActivateCode(rest, true));
    ui.files = {path};
    ui.answers = {false};
    EXPECT_TRUE(browser::codeMatrixCommand(s(), ui));
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0], "Export only active codes?");
    EXPECT_EQ(test::readAll(path).substr(0, 20), "Textname\tWork\tRest\r\n");
    ui.files = {path};
    ui.answers = {true};
    EXPECT_TRUE(browser::codeMatrixCommand(s(), ui));
    EXPECT_EQ(test::readAll(path).substr(0, 15), "Textname\tRest\r\n");
    (void)work;

    // Cancelled: nothing written, nothing said.
    ui.answers = {true};
    EXPECT_FALSE(browser::codeMatrixCommand(s(), ui));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProjectExports, AFileThatCannotBeWrittenIsReportedAndLeftAlone) {
    const std::int32_t g = docs().NewTextGroup();
    text(g, "Anna", "Hello.");
    codes().NewCode(0, "Work", false);
    // A folder that does not exist: said so, no file.
    ui.files = {dir.file("missing/m.txt")};
    EXPECT_FALSE(browser::codeMatrixCommand(s(), ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(ui.messages[0].text, "The file " + dir.file("missing/m.txt") +
                                       " cannot be written: the folder does not exist.");

    // A folder in the way: said so, the folder untouched.
    ASSERT_TRUE(platform::makeDirectories(dir.file("taken.txt")));
    EXPECT_EQ(browser::exportCodeMatrix(s(), false, dir.file("taken.txt")),
              "The file " + dir.file("taken.txt") + " cannot be written: a folder has that name.");
    EXPECT_TRUE(platform::isDirectory(dir.file("taken.txt")));

    // A folder without write access: the old file stays as it was.
    const std::string kept = dir.file("kept.txt");
    test::writeAll(kept, "old");
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
        const std::string why = browser::exportCodeMatrix(s(), false, kept);
        ::chmod(dir.path().c_str(), 0755);
        EXPECT_EQ(why, "The file " + kept + " cannot be written: access is denied.");
        EXPECT_EQ(test::readAll(kept), "old");
    }
}

TEST_F(ProjectExports, TreesAsTheirWindowsShowThem) {
    build();
    ASSERT_TRUE(code(b, alpha, 0, 3));
    ASSERT_TRUE(docs().ActivateObjects(analysis::ActivationScope::Text, a, true));
    const std::int32_t set = docs().NewSet();
    ASSERT_TRUE(set);
    const platform::RichText d = browser::documentSystemExport(s());
    const std::string gName = s().GetName(TopicId::TextGroups, g1, false);
    const std::string setName = s().GetName(TopicId::TextSets, set, false);
    EXPECT_EQ(d.plainText(), "Text Groups\r" + gName + "\rB (1)\rA (0)\r" +
                                 s().GetName(TopicId::TextGroups, g2, false) + "\rC (0)\rSets\r" +
                                 setName + "\rA\r");
    EXPECT_EQ(d.paraFormat(0).leftIndent, 0);
    EXPECT_GT(d.paraFormat(2).leftIndent, d.paraFormat(1).leftIndent);
    // The active text is red as in the window, in the group and in the set.
    const std::int32_t aLine = d.find("A (0)", 0, true), link = d.find("\rA\r", 0, true);
    EXPECT_EQ(d.charFormatAt(aLine).color, 0xC80000);
    EXPECT_EQ(d.charFormatAt(link + 1).color, 0xC80000);
    EXPECT_NE(d.charFormatAt(d.find("B (1)", 0, true)).color, 0xC80000);

    ASSERT_TRUE(codes().ActivateCode(beta, true));
    const platform::RichText k = browser::codeSystemExport(s());
    EXPECT_EQ(k.plainText(), "Code System\rZeta (0)\rAlpha (1)\rBeta (0)\r");
    EXPECT_GT(k.paraFormat(2).leftIndent, k.paraFormat(1).leftIndent);
    EXPECT_TRUE(k.charFormatAt(k.find("Beta", 0, true)).bold);
    EXPECT_FALSE(k.charFormatAt(k.find("Zeta", 0, true)).bold);
    // What is written reads back the same.
    const std::string path = dir.file("codes.rtf");
    EXPECT_EQ(browser::writeExportFile(path, k.toRtf()), "");
    EXPECT_TRUE(platform::RichText::fromRtf(test::readAll(path)).sameContent(k));
}

TEST_F(ProjectExports, ADamagedTreeStillGivesEveryObjectOnce) {
    build();
    ASSERT_TRUE(code(b, alpha, 0, 3));
    // Zeta made its own grandchild: a cycle no path from the top reaches.
    RecordCursor rec;
    ASSERT_TRUE(s().GetRecord(TopicId::Codes, zeta, rec));
    rec.setInt(CodeField::Parent, alpha);
    ASSERT_TRUE(s().Save(rec));
    EXPECT_EQ(browser::codesInTreeOrder(s()), (std::vector{beta, zeta, alpha}));
    EXPECT_EQ(browser::codeSystemExport(s()).plainText(), "Code System\rBeta (0)\r");
    browser::CodeMatrix m;
    ASSERT_TRUE(browser::countCodeMatrix(s(), browser::textsInTreeOrder(s()),
                                         browser::matrixCodes(s(), false), m));
    EXPECT_EQ(m.at(0, 2), 1);
    // A matrix beyond the limit is refused rather than counted.
    const std::vector<std::int32_t> wide(16384, zeta);
    EXPECT_FALSE(browser::countCodeMatrix(
        s(), std::vector<std::int32_t>(browser::maxMatrixCells / wide.size() + 1, a), wide, m));
    EXPECT_TRUE(m.counts.empty());
}
