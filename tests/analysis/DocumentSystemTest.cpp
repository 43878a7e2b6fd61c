#include "ProjectFixture.h"

using namespace vexana;
using namespace vexana::store;
using namespace vexana::analysis;
using vexana::test::ProjectFixture;

TEST_F(ProjectFixture, NewObjectsGetTheirNamesStatesAndNotifications) {
    const std::int32_t g = docs().NewTextGroup();
    EXPECT_EQ(s().GetText(TopicId::TextGroups, g, GroupField::Name), "Group 1");
    EXPECT_EQ(s().GetInt(TopicId::TextGroups, g, GroupField::State), 1);
    EXPECT_TRUE(view.saw(ViewEvent::RenameStarted, TopicId::TextGroups, g));
    const std::int32_t t = docs().CreateText(g);
    EXPECT_EQ(s().GetName(TopicId::Texts, t, true), "Group 1\\Text 1");
    EXPECT_NE(s().GetText(TopicId::Texts, t, TextField::Date), "1899-12-30 00:00");
    EXPECT_EQ(docs().CreateText(99), 0);
    EXPECT_EQ(docs().CreateTextWith(g, "  " + std::string(70, 'n') + " ", "{\\rtf1 x}"), 2);
    EXPECT_EQ(s().GetText(TopicId::Texts, 2, TextField::Name), std::string(63, 'n'));

    // New Set takes the active texts only; with none it is empty.
    EXPECT_TRUE(s().FindIds(TopicId::TextLinks, TopicId::TextSets, docs().NewSet()).empty());
    docs().ToggleText(t);
    const std::int32_t set = docs().NewSet();
    EXPECT_EQ(s().GetText(TopicId::TextSets, set, GroupField::Name), "Set 2");
    EXPECT_EQ(s().FindIds(TopicId::TextLinks, TopicId::TextSets, set).size(), 1u);
    EXPECT_EQ(s().FindIds(TopicId::TextLinks, TopicId::TextSets, docs().NewSetFromGroup(g)).size(),
              2u);
    EXPECT_EQ(docs().AddTextToSet(set, 99), 0);

    // A copy: inactive, named after its source with its own id, no codings counted.
    const std::int32_t c = codes().NewCode(0, "C", false);
    code(t, c, 0, 1);
    const std::int32_t g2 = docs().NewTextGroup();
    const std::int32_t copy = docs().CopyText(t, TopicId::TextGroups, g2);
    EXPECT_EQ(s().GetText(TopicId::Texts, copy, TextField::Name),
              "Text 1 (" + std::to_string(copy) + ")");
    EXPECT_EQ(s().GetInt(TopicId::Texts, copy, TextField::State) & StateActive, 0);
    EXPECT_EQ(s().GetInt(TopicId::Texts, copy, TextField::Codes), 0);
    EXPECT_EQ(s().GetReference(TopicId::Texts, docs().CopyText(2, TopicId::Texts, copy),
                               TopicId::TextGroups),
              g2);
}

TEST_F(ProjectFixture, ActivationCountsOnceStaysInMemoryAndRebuildsOnlyOnChange) {
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t t1 = text(g, "a", "one"), t2 = text(g, "b", "two");
    const std::int32_t s1 = docs().NewSetFromGroup(g), s2 = docs().NewSet();
    docs().AddTextToSet(s2, t1);
    EXPECT_TRUE(docs().ActivateObjects(ActivationScope::AllSets, 0, true));
    EXPECT_EQ(ws->activeTexts, 2);
    const int builds = ws->retrievalBuilds();
    EXPECT_FALSE(docs().ActivateObjects(ActivationScope::AllTexts, 0, true));
    EXPECT_EQ(ws->retrievalBuilds(), builds);
    EXPECT_TRUE(docs().ToggleLink(s().FindIds(TopicId::TextLinks, TopicId::TextSets, s2).front()));
    EXPECT_FALSE(ws->IsActive(TopicId::Texts, t1));
    EXPECT_TRUE(ws->IsActive(TopicId::Texts, t2));
    EXPECT_EQ(ws->activeTexts, 1);
    (void)s1;
    // The bit reaches the file only with a save for another reason.
    ASSERT_TRUE(doc.OpenPath(dir.file("p.vxp"), false));
    EXPECT_EQ(ws->activeTexts, 0);
    docs().ToggleText(t2);
    docs().RenameObject(TopicId::Texts, t2, "renamed");
    docs().ToggleText(t1);
    ASSERT_TRUE(doc.OpenPath(dir.file("p.vxp"), false));
    EXPECT_TRUE(ws->IsActive(TopicId::Texts, t2));
    EXPECT_FALSE(ws->IsActive(TopicId::Texts, t1));
    EXPECT_EQ(ws->activeTexts, 1);
}

TEST_F(ProjectFixture, ResetClearsEverythingWithoutRebuilding) {
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t t = text(g, "a", "some words");
    const std::int32_t c = codes().NewCode(0, "C", false);
    code(t, c, 0, 4);
    docs().ToggleText(t);
    codes().ToggleCode(c);
    ws->retrieved = {1};
    const int builds = ws->retrievalBuilds();
    docs().Reset();
    EXPECT_FALSE(ws->IsActive(TopicId::Texts, t));
    EXPECT_FALSE(ws->IsActive(TopicId::Codes, c));
    EXPECT_TRUE(ws->retrieved.empty());
    EXPECT_EQ(ws->activeTexts, 0);
    EXPECT_EQ(ws->retrievalBuilds(), builds);
    EXPECT_TRUE(view.saw(ViewEvent::SegmentsReplaced, TopicId::Codings, 0));
}

TEST_F(ProjectFixture, DeletingAsksFirstAndTakesEverythingThatDependsOnTheObject) {
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t t = text(g, "a", "some words here");
    const std::int32_t c = codes().NewCode(0, "C", false);
    const std::int32_t set = docs().NewSetFromGroup(g);
    const std::int32_t coding = code(t, c, 0, 4);
    docs().ToggleText(t);
    ui.answers = {false};
    EXPECT_FALSE(docs().ConfirmAndDelete(TopicId::TextGroups, g));
    EXPECT_EQ(count(TopicId::Texts), 1);
    ui.answers = {true};
    EXPECT_TRUE(docs().ConfirmAndDelete(TopicId::TextGroups, g));
    EXPECT_EQ(count(TopicId::Texts), 0);
    EXPECT_EQ(count(TopicId::Codings), 0);
    EXPECT_EQ(count(TopicId::TextLinks), 0);
    EXPECT_EQ(s().GetInt(TopicId::Codes, c, CodeField::Codes), 0);
    EXPECT_EQ(ws->activeTexts, 0);
    EXPECT_TRUE(view.saw(ViewEvent::Removed, TopicId::Codings, coding));
    EXPECT_TRUE(view.saw(ViewEvent::Changed, TopicId::TextSets, set));
    EXPECT_FALSE(docs().DeleteObject(TopicId::Texts, t));
}

TEST_F(ProjectFixture, SortingAndOverviews) {
    const std::int32_t g = docs().NewTextGroup();
    docs().RenameObject(TopicId::TextGroups, g, "Interviews");
    const std::int32_t b = text(g, "beta", "x"), a = text(g, "Alpha", "y"),
                       c = text(g, "gamma", "z");
    ASSERT_TRUE(docs().Sort(TreeKind::Group, g));
    EXPECT_EQ(s().GetInt(TopicId::Texts, a, TextField::Index), 0);
    EXPECT_EQ(s().GetInt(TopicId::Texts, b, TextField::Index), 1);
    EXPECT_EQ(s().GetInt(TopicId::Texts, c, TextField::Index), 2);
    EXPECT_TRUE(view.saw(ViewEvent::SortChildren, TreeKind::Group, g));
    const std::int32_t k = codes().NewCode(0, "K", false);
    code(a, k, 0, 1);
    code(c, k, 0, 1);
    const Overview o = docs().OverviewOf(TreeKind::Group, g, TopicId::Codings);
    EXPECT_EQ(o.title, "Text Group: Interviews");
    EXPECT_EQ(o.ids.size(), 2u);
    EXPECT_EQ(docs().OverviewOf(TreeKind::GroupsRoot, 0, TopicId::Texts).title, "All Texts");
    EXPECT_EQ(docs().OverviewOf(TopicId::Texts, a, TopicId::Texts).ids,
              std::vector<std::int32_t>{a});
    EXPECT_EQ(codes().CodingsOverview(k).title, "Code: K");
}

TEST_F(ProjectFixture, ActiveCountsOfCodesFollowCodingsThatGo) {
    const std::int32_t g1 = docs().NewTextGroup(), g2 = docs().NewTextGroup();
    const std::int32_t t1 = text(g1, "a", "some words here"), t2 = text(g2, "b", "other words"),
                       t3 = text(g1, "c", "more words");
    const std::int32_t c = codes().NewCode(0, "C", false);
    docs().ToggleText(t1);
    docs().ToggleText(t2);
    code(t1, c, 0, 4);
    code(t1, c, 5, 10);
    code(t2, c, 0, 5);
    code(t3, c, 0, 4);
    auto active = [&] { return s().GetInt(TopicId::Codes, c, CodeField::ActiveCodes); };
    EXPECT_EQ(active(), 3);
    ws->countActiveCodes = true;
    docs().ToggleText(t3);
    EXPECT_EQ(active(), 4);
    docs().ToggleText(t3);
    EXPECT_EQ(active(), 3);
    // Batches newest first: t3's coding (inactive text), then t2's.
    EXPECT_EQ(codings().UndoBatch(1), 1);
    EXPECT_EQ(active(), 2);
    EXPECT_TRUE(docs().DeleteObject(TopicId::TextGroups, g1));
    EXPECT_EQ(active(), 0);
    EXPECT_EQ(s().GetInt(TopicId::Codes, c, CodeField::Codes), 0);
    ws->recountActiveCodes();
    EXPECT_EQ(active(), 0);
}
