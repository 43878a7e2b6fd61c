#include "analysis/ContextCommands.h"

#include "ProjectFixture.h"
#include "analysis/Retrieval.h"

using namespace vexana::store;
using namespace vexana::analysis;
using vexana::test::ProjectFixture;

TEST(ContextCommandTable, EveryIdOnceInOrderWithItsMenuText) {
    const auto& t = contextCommands();
    ASSERT_EQ(t.size(), 104u);
    for (std::size_t i = 0; i < t.size(); ++i)
        EXPECT_EQ(t[i].id, 20001 + static_cast<int>(i));
    EXPECT_EQ(findContextCommand(20010)->text, "Overview o Coded Segments");
    EXPECT_EQ(findContextCommand(20073)->text, "purpur");
    EXPECT_EQ(findContextCommand(20099)->text, "E&dit Weight Filter ...");
    EXPECT_EQ(findContextCommand(20000), nullptr);
    EXPECT_EQ(commandsOf(ContextMenu::Textlink).size(), 6u);
    EXPECT_EQ(commandsOf(ContextMenu::Coding).front().text, "Delete");
}

TEST_F(ProjectFixture, ContextCommandsReachTheirOperations) {
    Retrieval retrieval(*ws);
    std::int32_t opened = 0;
    Overview shown;
    ContextHost host;
    host.openText = [&](std::int32_t t) { opened = t; };
    host.showOverview = [&](const Overview& o) { shown = o; };
    host.functionDialog = [&](FunctionDialogValues& v) {
        v.number = 3;
        return true;
    };
    host.selection = [&](CodingTemplate& t) { return codings().TemplateFor(1, 0, 4, t); };
    ContextCommands cc(*ws, retrieval, host);
    ASSERT_TRUE(cc.Execute(20001, 0));
    const std::int32_t g = s().ListIds(TopicId::TextGroups).front();
    ASSERT_TRUE(cc.Execute(20015, g));
    EXPECT_EQ(count(TopicId::Texts), 1);
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Texts, 1, c));
    c.setBlock(TextField::Body, vexana::platform::RichText::fromPlain("Some text here").toRtf());
    ASSERT_TRUE(s().Save(c, true));
    EXPECT_TRUE(cc.Execute(20020, 1));
    EXPECT_TRUE(ws->IsActive(TopicId::Texts, 1));
    EXPECT_TRUE(cc.Execute(20055, 0));
    const std::int32_t code = codes().Children(0).front();
    EXPECT_TRUE(cc.Execute(20060, code)); // code the selection with the clicked code
    EXPECT_EQ(s().GetInt(TopicId::Codes, code, CodeField::Codes), 1);
    EXPECT_EQ(ws->quickList.current(), code);
    EXPECT_TRUE(cc.Execute(20072, code));
    EXPECT_EQ(s().GetInt(TopicId::Codes, code, CodeField::Type), 3);
    EXPECT_TRUE(cc.Execute(20024, 1));
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(cc.Execute(20010, g));
    EXPECT_EQ(shown.title, "Text Group: Group 1");
    EXPECT_EQ(shown.ids.size(), 1u);
    EXPECT_TRUE(cc.Execute(20088, 0)); // At Least, through the dialog
    EXPECT_EQ(retrieval.settings.atLeastCount, 3);
    EXPECT_FALSE(cc.Execute(20088, 0)); // the same function again: nothing
    // Unavailable and foreign ids do nothing; a refused confirmation deletes nothing.
    EXPECT_FALSE(cc.Execute(20027, 1));
    EXPECT_FALSE(cc.Execute(32905, 0));
    ui.answers = {false};
    EXPECT_FALSE(cc.Execute(20025, 1));
    EXPECT_EQ(count(TopicId::Texts), 1);
    ui.answers = {true};
    EXPECT_TRUE(cc.Execute(20025, 1));
    EXPECT_EQ(count(TopicId::Texts), 0);
}
