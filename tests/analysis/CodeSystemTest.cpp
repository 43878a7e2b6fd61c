#include "ProjectFixture.h"

using namespace vexana::store;
using namespace vexana::analysis;
using vexana::test::ProjectFixture;

TEST(CodeNames, ShorteningFollowsItsRules) {
    const std::string forty = "This is a rather long name for one code";
    ASSERT_EQ(forty.size(), 39u);
    EXPECT_EQ(shortenName(forty + "s", 31), "This is a rather long name for");
    EXPECT_EQ(shortenName("   padded   ", 31), "padded");
    EXPECT_EQ(shortenName(std::string(40, 'x'), 31), std::string(31, 'x'));
    EXPECT_EQ(shortenName("two\r\nlines", 31), "two");
    EXPECT_EQ(shortenName("tab\there", 31), "tab here");
}

TEST_F(ProjectFixture, NewCodesAndPaths) {
    EXPECT_EQ(s().GetText(TopicId::Codes, codes().NewCode(0, "", true), CodeField::Name), "Code 1");
    EXPECT_EQ(s().GetText(TopicId::Codes, codes().NewCode(0, "", false), CodeField::Name),
              "Code 2");
    EXPECT_TRUE(view.saw(ViewEvent::RenameStarted, TopicId::Codes, 1));
    EXPECT_FALSE(view.saw(ViewEvent::RenameStarted, TopicId::Codes, 2));
    EXPECT_EQ(s().GetInt(TopicId::Codes, 1, CodeField::State), 1);
    const std::int32_t a = codes().NewCode(0, "A", false);
    EXPECT_EQ(codes().FindCodeByPath(0, "A\\B", false), 0);
    const std::int32_t b = codes().FindCodeByPath(0, " A \\ B ", true);
    EXPECT_EQ(codes().FullName(b), "A\\B");
    EXPECT_EQ(codes().Children(0).size(), 3u); // only the second level was created
    EXPECT_EQ(codes().FindCodeByPath(0, "A\\B", true), b);
    EXPECT_EQ(codes().FindCodeByPath(0, "a\\B", false), 0); // case counts
    EXPECT_EQ(codes().ResolvePathIgnoringCase(0, "a\\b"), b);
    EXPECT_EQ(codes().FindCodeByPath(0, "\\B", true), 0);
    const std::string longName(50, 'L');
    const std::int32_t l = codes().FindCodeByPath(a, longName, true);
    EXPECT_EQ(codes().FindCodeByPath(a, longName, true), l); // found again, not made twice
    EXPECT_EQ(codes().NewCode(99, "orphan", false), 0);
}

TEST_F(ProjectFixture, ActivationCoversTheSubtree) {
    const std::int32_t a = codes().NewCode(0, "A", false);
    const std::int32_t b = codes().NewCode(a, "B", false);
    const std::int32_t c = codes().NewCode(b, "C", false);
    codes().ActivateCode(c, true);
    const int builds = ws->retrievalBuilds();
    EXPECT_TRUE(codes().ActivateCode(a, true));
    EXPECT_TRUE(ws->IsActive(TopicId::Codes, b) && ws->IsActive(TopicId::Codes, c));
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    EXPECT_FALSE(codes().ActivateCode(a, true));
    EXPECT_TRUE(codes().ToggleCode(a));
    EXPECT_FALSE(ws->IsActive(TopicId::Codes, c));
    EXPECT_TRUE(docs().ActivateObjects(ActivationScope::AllCodes, 0, true));
    EXPECT_TRUE(ws->IsActive(TopicId::Codes, c));
}

TEST_F(ProjectFixture, ColoursReachTheCodingsAndKeepTheFlag) {
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t t = text(g, "t", "words to code");
    const std::int32_t k = codes().NewCode(0, "K", false);
    const std::int32_t coding = code(t, k, 0, 5);
    EXPECT_FALSE(codes().SetCodeColour(k, 0));
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Codes, k, c));
    c.setInt(CodeField::Type, 1000000);
    ASSERT_TRUE(s().Save(c));
    EXPECT_TRUE(codes().SetCodeColour(k, 3));
    EXPECT_EQ(s().GetInt(TopicId::Codes, k, CodeField::Type), 1000003);
    EXPECT_EQ(s().GetInt(TopicId::Codings, coding, CodingField::Type), 3);
    EXPECT_EQ(CodeSystem::DisplayColour(1000003), (Rgb{164, 0, 0}));
    EXPECT_EQ(CodeSystem::DisplayColour(9), (Rgb{0, 128, 0}));
    EXPECT_EQ(CodeSystem::IconIndex(2, false), 17);
    EXPECT_EQ(CodeSystem::IconIndex(2, true), 18);
    EXPECT_FALSE(codes().SetCodeColour(k, 7));
}

TEST_F(ProjectFixture, NewSubcodesAreCountedAmongTheirSiblingsAndPathsAreShortened) {
    const std::int32_t top = codes().NewCode(0, "Top", false);
    const std::int32_t first = codes().NewCode(top, "First", false);
    const std::int32_t second = codes().NewCode(top, "Second", false);
    EXPECT_EQ(s().GetInt(TopicId::Codes, first, CodeField::Index), 0);
    EXPECT_EQ(s().GetInt(TopicId::Codes, second, CodeField::Index), 1);
    EXPECT_EQ(s().GetInt(TopicId::Codes, codes().NewCode(0, "Next", false), CodeField::Index), 1);
    // A level made from a path is shortened as New Code shortens, and found again by the path.
    const std::string level = "This is a rather long name for one code";
    const std::int32_t made = codes().FindCodeByPath(top, level, true);
    EXPECT_EQ(s().GetText(TopicId::Codes, made, CodeField::Name), "This is a rather long name for");
    EXPECT_EQ(codes().FindCodeByPath(top, level, true), made);
    EXPECT_EQ(codes().ResolvePathIgnoringCase(top, "THIS IS A RATHER LONG NAME FOR ONE CODE"),
              made);
    EXPECT_EQ(codes().Children(top).size(), 3u);
}
