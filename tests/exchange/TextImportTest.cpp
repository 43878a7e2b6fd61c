#include "exchange/TextImport.h"

#include "../analysis/ProjectFixture.h"

using namespace vexana;
using namespace vexana::store;
using vexana::exchange::TextImport;
using vexana::test::ProjectFixture;

namespace {

std::string plainOfText(TopicStore& s, std::int32_t text) {
    RecordCursor c;
    if (!s.GetRecord(TopicId::Texts, text, c, true)) return "<none>";
    const auto& b = c.block(TextField::Body);
    return platform::RichText::fromRtf(std::string(b.begin(), b.end())).plainText();
}

class Import : public ProjectFixture {
protected:
    void SetUp() override {
        ProjectFixture::SetUp();
        group = docs().NewTextGroup();
    }
    int preprocess(const std::string& plain) {
        return TextImport(*ws).ImportPreprocessed(group, platform::RichText::fromPlain(plain));
    }
    std::int32_t group = 0;
};

} // namespace

TEST_F(Import, FilesBecomeTextsAndUnreadableOnesAreReported) {
    const std::string rtf = "{\\rtf1\\ansi {\\b Bold} words\\par}";
    vexana::test::writeAll(dir.file("anna.interview.rtf"), rtf);
    vexana::test::writeAll(dir.file("notes.txt"), "caf\xE9 one\r\nline two\n");
    ui.fileLists = {dir.file("anna.interview.rtf"), dir.file("missing.rtf"), dir.file("notes.txt")};
    EXPECT_EQ(TextImport(*ws).ImportTextsCommand(group), 2);
    EXPECT_EQ(ui.dialogs.back(), FileDialog::ImportTexts);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, dir.file("missing.rtf") + "  can not be opened");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(docs().FindText(s().GetName(TopicId::TextGroups, group, false) + "\\anna"), 1);
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Texts, 1, c, true));
    EXPECT_EQ(std::string(c.block(TextField::Body).begin(), c.block(TextField::Body).end()),
              rtf); // unchanged
    EXPECT_EQ(plainOfText(s(), 2), "caf\xC3\xA9 one\rline two\r");
    EXPECT_EQ(TextImport::NameForFile("C:\\data\\x.y.rtf"), "x");
    EXPECT_EQ(TextImport::NameForFile(".hidden"), ".hidden");
    EXPECT_EQ(TextImport(*ws).ImportFiles(99, {dir.file("notes.txt")}), 0);
}

TEST_F(Import, ThePreprocessorMakesTextsAndCodingsAndRemovesEveryTag) {
    const std::string doc =
        "ignored\r#TEXT   Bernd   \rBernd talks.\r#CODE Family\\Children\rTwo children.\r"
        "#ENDCODE\r#endcode\rAnd work:\r#code work\rA bakery.\r#CODE Work\rSecond "
        "passage.\r#ENDTEXT\r"
        "between\r#text " +
        std::string(70, 'N') + "\rNo end tag.\r#TEXT Third\rlast #CODE \rempty path\r#CODE";
    EXPECT_EQ(preprocess(doc), 3);
    EXPECT_EQ(ui.progress.front(), "Importing Texts ...");
    EXPECT_EQ(ui.progress.back(), "Texts coded: 3 / 3");
    EXPECT_EQ(s().GetText(TopicId::Texts, 1, TextField::Name), "Bernd");
    EXPECT_EQ(s().GetText(TopicId::Texts, 2, TextField::Name), std::string(63, 'N'));
    EXPECT_EQ(plainOfText(s(), 1),
              "Bernd talks.\rTwo children.\rAnd work:\rA bakery.\rSecond passage.");
    EXPECT_EQ(plainOfText(s(), 2), "No end tag.");
    EXPECT_EQ(plainOfText(s(), 3), "last empty path\r");
    const std::int32_t children = codes().FindCodeByPath(0, "Family\\Children", false);
    const std::int32_t work = codes().FindCodeByPath(0, "work", false);
    ASSERT_NE(children, 0);
    ASSERT_NE(work, 0);
    EXPECT_EQ(codes().Children(0).size(), 2u); // "Work" matched "work" without case
    const auto kids = s().FindIds(TopicId::Codings, TopicId::Codes, children);
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_EQ(s().GetText(TopicId::Codings, kids[0], CodingField::Preview), "Two children.");
    EXPECT_EQ(s().GetInt(TopicId::Codings, kids[0], CodingField::StartPara), 2);
    const auto works = s().FindIds(TopicId::Codings, TopicId::Codes, work);
    ASSERT_EQ(works.size(), 2u); // the first passage ends before the next #CODE
    EXPECT_EQ(s().GetText(TopicId::Codings, works[0], CodingField::Preview), "A bakery.");
    EXPECT_EQ(s().GetText(TopicId::Codings, works[1], CodingField::Preview), "Second passage.");
    for (std::int32_t t : s().ListIds(TopicId::Texts)) {
        const std::string p = plainOfText(s(), t);
        EXPECT_EQ(p.find('#'), std::string::npos) << p;
    }
}

TEST_F(Import, DocumentsWithoutUsableTagsCreateNothing) {
    EXPECT_EQ(preprocess("no tags at all"), 0);
    EXPECT_EQ(preprocess("#TEXT without a line end"), 0);
    EXPECT_EQ(preprocess("#TEXT   \rbody of a nameless text\r"), 0);
    EXPECT_EQ(preprocess("#ENDTEXT\r#ENDCODE\r#CODE x\r"), 0);
    EXPECT_EQ(count(TopicId::Texts), 0);
    EXPECT_EQ(count(TopicId::Codes), 0);
    vexana::test::writeAll(dir.file("doc.rtf"),
                           "{\\rtf1 #TEXT A\\par {\\b #CODE B}\\par coded\\par #ENDCODE\\par}");
    EXPECT_EQ(TextImport(*ws).PreprocessFiles(group, {dir.file("doc.rtf"), dir.file("nope.rtf")}),
              1);
    EXPECT_EQ(ui.messages.back().text, dir.file("nope.rtf") + "  can not be opened");
    EXPECT_EQ(plainOfText(s(), 1), "coded\r");
    EXPECT_EQ(count(TopicId::Codings), 1);
}

TEST_F(Import, AnEmptyCodeBlockStillMakesItsCode) {
    EXPECT_EQ(preprocess("#TEXT A\rbefore\r#CODE Topics\\Empty\r#ENDCODE\rafter\r#ENDTEXT\r"), 1);
    const std::int32_t code = codes().FindCodeByPath(0, "Topics\\Empty", false);
    EXPECT_NE(code, 0);
    EXPECT_EQ(count(TopicId::Codings), 0);
    EXPECT_EQ(plainOfText(s(), s().ListIds(TopicId::Texts)[0]), "before\rafter");
}
