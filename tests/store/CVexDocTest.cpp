#include "store/CVexDoc.h"

#include "StoreBuilders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace vexana::store;
using namespace vexana::test;

namespace {

struct RecordingView : ViewListener {
    int loaded = 0, closed = 0;
    std::vector<std::int32_t> opened;
    void onViewEvent(ViewEvent, int, std::int32_t) override {}
    void onProjectLoaded(bool) override { ++loaded; }
    void onProjectClosed() override { ++closed; }
    void onOpenText(std::int32_t id) override { opened.push_back(id); }
};

class Doc : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedUserInterface ui;
    RecentProjects recent;
    CVexDoc doc{ui, recent};
};

} // namespace

TEST_F(Doc, StartingWithAPathOpensItWithTheProgressTextsInOrder) {
    doc.setStartupPath(dir.file("a.vxp"));
    ASSERT_TRUE(doc.ChooseProjectAtStartup());
    EXPECT_EQ(ui.startDialogs, 0);
    EXPECT_EQ(ui.progress,
              (std::vector<std::string>{"Load Text Groups ...", "Load Texts ...", "Load Sets ...",
                                        "Load Textlinks ...", "Load Code System ...",
                                        "Load Coded Segments ...", "Load Memos ...",
                                        "Initialize Windows..."}));
    EXPECT_EQ(doc.title(), dir.file("a.vxp"));
    EXPECT_EQ(recent.entries(), std::vector<std::string>{dir.file("a.vxp")});
    EXPECT_EQ(doc.setup("RichText"), "2");
    const TopicStore& s = doc.store();
    EXPECT_EQ(s.GetField(TopicId::Texts, TextField::Group)->name, "Textgroup");
    EXPECT_EQ(s.GetField(TopicId::Codes, CodeField::ActiveCodes)->name, "Active Coded Segments");
    EXPECT_EQ(s.GetField(TopicId::Codings, CodingField::Weight)->name, "Weight Score");
    EXPECT_EQ(s.GetField(TopicId::Memos, MemoField::Date)->name, "Creation Date");
    EXPECT_EQ(s.GetField(TopicId::DictItems, 4)->name, "Only Exact Matches");
    EXPECT_EQ(s.RecordCount(TopicId::Texts), 0);
}

TEST_F(Doc, TheStartDialogCreatesOrOpensAndCancellingEndsTheProgram) {
    ui.start.kind = StartChoice::Kind::CreateNew;
    ui.files = {dir.file("new.vxp")};
    ASSERT_TRUE(doc.ChooseProjectAtStartup());
    EXPECT_EQ(ui.dialogs, std::vector<FileDialog>{FileDialog::NewProject});
    EXPECT_TRUE(doc.isOpen());

    ScriptedUserInterface ui2;
    CVexDoc other(ui2, recent);
    ui2.start.kind = StartChoice::Kind::OpenExisting;
    EXPECT_FALSE(other.ChooseProjectAtStartup()); // "Other Projects..." and a cancelled dialog
    EXPECT_EQ(ui2.dialogs, std::vector<FileDialog>{FileDialog::OpenProject});
    ui2.start.recentPath = dir.file("broken.vxp");
    writeAll(dir.file("broken.vxp"), "not a project");
    EXPECT_FALSE(other.ChooseProjectAtStartup());
    EXPECT_FALSE(other.isOpen());

    // A person who cancels the file dialog is shown the choice again; quitting it ends.
    struct Person : ScriptedUserInterface {
        StartChoice startDialog(const std::vector<std::string>& recent) override {
            StartChoice c = ScriptedUserInterface::startDialog(recent);
            c.answered = true;
            c.cancelled = startDialogs > 2;
            return c;
        }
    } person;
    CVexDoc third(person, recent);
    EXPECT_FALSE(third.ChooseProjectAtStartup());
    EXPECT_EQ(person.startDialogs, 3);
    EXPECT_EQ(person.dialogs.size(), 2u);
}

TEST_F(Doc, SwitchingProjectsKeepsTheCurrentOneWhenTheNewOneFails) {
    ASSERT_TRUE(doc.OpenPath(dir.file("a.vxp"), true));
    addGroup(doc.store(), "In A");
    ui.files = {""};
    EXPECT_FALSE(doc.OnOpenProject());
    writeAll(dir.file("junk.vxp"), std::string(3000, '\x01'));
    ui.files = {dir.file("junk.vxp")};
    EXPECT_FALSE(doc.OnOpenProject());
    EXPECT_FALSE(ui.messages.empty());
    EXPECT_EQ(doc.title(), dir.file("a.vxp"));
    EXPECT_EQ(doc.store().RecordCount(TopicId::TextGroups), 1);
    EXPECT_EQ(addGroup(doc.store(), "Still A"), 2);

    ui.files = {dir.file("b.vxp")};
    ASSERT_TRUE(doc.OnNewProject());
    EXPECT_EQ(doc.store().RecordCount(TopicId::TextGroups), 0);
    ui.files = {dir.file("a.vxp")};
    ASSERT_TRUE(doc.OnOpenProject());
    EXPECT_EQ(doc.store().RecordCount(TopicId::TextGroups), 2);
    ASSERT_TRUE(doc.OpenPath(dir.file("a.vxp"), true));
    EXPECT_EQ(recent.entries(), (std::vector<std::string>{dir.file("a.vxp"), dir.file("b.vxp")}));
    EXPECT_TRUE(doc.OnRecentProject(1));
    EXPECT_EQ(doc.title(), dir.file("b.vxp"));
    EXPECT_FALSE(doc.OnRecentProject(4));
}

TEST_F(Doc, NewProjectAndBackupNeverDestroyTheOpenProject) {
    ASSERT_TRUE(doc.OpenPath(dir.file("a.vxp"), false));
    addGroup(doc.store(), "Precious");
    ui.files = {dir.file("a.vxp")};
    EXPECT_FALSE(doc.OnNewProject());
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().icon, MessageIcon::Stop);
    ui.files = {dir.file("./a.vxp")};
    EXPECT_FALSE(doc.OnBackupProject());
    EXPECT_EQ(ui.messages.back().icon, MessageIcon::Stop);
    EXPECT_EQ(doc.store().RecordCount(TopicId::TextGroups), 1);
    ui.files = {dir.file("copy.vxp")};
    EXPECT_TRUE(doc.OnBackupProject());
    EXPECT_EQ(doc.title(), dir.file("a.vxp"));
    EXPECT_EQ(addGroup(doc.store(), "After backup"), 2);
    EXPECT_EQ(recent.entries().size(), 1u); // the copy is not a recent project
}

TEST_F(Doc, OptionsCharSetAndTheOpenTextSurviveReopening) {
    RecordingView view;
    doc.addView(&view);
    ASSERT_TRUE(doc.OpenPath(dir.file("a.vxp"), false));
    EXPECT_EQ(doc.charSet(), 0);
    doc.setOptions("1|2|3");
    doc.setCharSet(161);
    const std::int32_t t1 = addText(doc.store(), 0, "one");
    const std::int32_t t2 =
        addRecord(doc.store(), TopicId::Texts, {{TextField::State, StateOpenInBrowser}});
    addRecord(doc.store(), TopicId::Texts, {{TextField::State, StateOpenInBrowser}});
    ASSERT_TRUE(doc.OpenPath(dir.file("b.vxp"), false));
    EXPECT_EQ(view.closed, 1);
    EXPECT_EQ(doc.options(), "");
    ASSERT_TRUE(doc.OpenPath(dir.file("a.vxp"), false));
    EXPECT_EQ(doc.options(), "1|2|3");
    EXPECT_EQ(doc.charSet(), 161);
    EXPECT_EQ(view.opened, std::vector<std::int32_t>{t2});
    EXPECT_EQ(view.loaded, 3);
    (void)t1;
}

TEST_F(Doc, ParagraphEndsOfOlderProjectsAreConvertedOnce) {
    {
        ASSERT_TRUE(doc.OpenPath(dir.file("old.vxp"), false));
        const std::int32_t t = addText(doc.store(), 0, "t");
        RecordCursor body;
        ASSERT_TRUE(doc.store().GetRecord(TopicId::Texts, t, body));
        body.setBlock(TextField::Body, std::string_view("{\\rtf1\\ansi ab\\par cd\\par ef}"));
        ASSERT_TRUE(doc.store().Save(body, true));
        // "ab", "cd", "ef" counted with two characters per paragraph end.
        addCoding(doc.store(), t, addCode(doc.store(), 0, "C"), 4, 6);
        addRecord(doc.store(), TopicId::Memos, {{MemoField::Text, t}, {MemoField::Pos, 8}});
        ASSERT_TRUE(doc.database()->SetSetup("RichText", "1"));
    }
    ASSERT_TRUE(doc.OpenPath(dir.file("other.vxp"), false));
    ASSERT_TRUE(doc.OpenPath(dir.file("old.vxp"), false));
    EXPECT_EQ(doc.setup("RichText"), "2");
    EXPECT_EQ(doc.store().GetInt(TopicId::Codings, 1, CodingField::StartChar), 3);
    EXPECT_EQ(doc.store().GetInt(TopicId::Codings, 1, CodingField::FinishChar), 5);
    EXPECT_EQ(doc.store().GetInt(TopicId::Memos, 1, MemoField::Pos), 6);
    int calls = 0;
    doc.setParagraphEndLocator([&](const ByteBlock&) {
        ++calls;
        return std::vector<std::int32_t>{};
    });
    ASSERT_TRUE(doc.OpenPath(dir.file("old.vxp"), false));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(doc.store().GetInt(TopicId::Codings, 1, CodingField::StartChar), 3);
}

TEST_F(Doc, AFailedBatchLeavesFileAndMemoryAsBefore) {
    ASSERT_TRUE(doc.OpenPath(dir.file("a.vxp"), false));
    addGroup(doc.store(), "before");
    Topic* groups = doc.store().GetTopic(TopicId::TextGroups);
    {
        StoreBatch batch(doc.store());
        for (int i = 0; i < 100; ++i)
            addGroup(doc.store(), "in batch");
        EXPECT_EQ(doc.store().RecordCount(TopicId::TextGroups), 101);
        batch.fail();
        EXPECT_FALSE(batch.finish());
    }
    EXPECT_EQ(doc.store().GetTopic(TopicId::TextGroups), groups);
    EXPECT_EQ(doc.store().RecordCount(TopicId::TextGroups), 1);
    ASSERT_TRUE(doc.OpenPath(dir.file("b.vxp"), false));
    ASSERT_TRUE(doc.OpenPath(dir.file("a.vxp"), false));
    EXPECT_EQ(doc.store().RecordCount(TopicId::TextGroups), 1);
}
