#include "analysis/ContextCommands.h"

#include "ProjectFixture.h"
#include "analysis/Retrieval.h"
#include "exchange/TextImport.h"

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
    EXPECT_EQ(commandsOf(ContextMenu::Textlink).size(), 7u);
    EXPECT_EQ(commandsOf(ContextMenu::Set).back().text, "VEXLexa Coder");
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

TEST_F(ProjectFixture, ImportCommandsAskForFilesAndFillTheGroup) {
    Retrieval retrieval(*ws);
    // Without an import to lend, the commands are offered disabled and ask nothing.
    ContextCommands bare(*ws, retrieval);
    const std::int32_t g = docs().NewTextGroup();
    EXPECT_FALSE(bare.Enabled(20009));
    EXPECT_FALSE(bare.Enabled(20019));
    EXPECT_FALSE(bare.Execute(20009, g));
    EXPECT_TRUE(ui.dialogs.empty());

    ContextHost host;
    host.importFiles = [&](std::int32_t group, const std::vector<std::string>& files,
                           bool preprocess) {
        vexana::exchange::TextImport import(*ws);
        return preprocess ? import.PreprocessFiles(group, files) : import.ImportFiles(group, files);
    };
    ContextCommands cc(*ws, retrieval, host);
    ASSERT_TRUE(cc.Enabled(20009));
    ASSERT_TRUE(cc.Enabled(20019));
    // Cancelled: the dialog was shown, nothing made.
    EXPECT_FALSE(cc.Execute(20009, g));
    ASSERT_EQ(ui.dialogs, std::vector<FileDialog>{FileDialog::ImportTexts});
    EXPECT_EQ(count(TopicId::Texts), 0);
    // A group that is not there gets no dialog.
    EXPECT_FALSE(cc.Execute(20009, g + 100));
    EXPECT_EQ(ui.dialogs.size(), 1u);

    vexana::test::writeAll(dir.file("anna.txt"), "I work at night.\n");
    vexana::test::writeAll(dir.file("ben.interview.txt"), "I sleep by day.\n");
    ui.fileLists = {dir.file("anna.txt"), dir.file("missing.txt"), dir.file("ben.interview.txt")};
    EXPECT_TRUE(cc.Execute(20009, g));
    EXPECT_EQ(count(TopicId::Texts), 2);
    EXPECT_EQ(ui.messages.size(), 1u); // the unreadable file, and the others still come in
    EXPECT_NE(std::find(ui.progress.begin(), ui.progress.end(), "Importing Texts ..."),
              ui.progress.end());
    for (std::int32_t t : s().ListIds(TopicId::Texts))
        EXPECT_EQ(s().GetInt(TopicId::Texts, t, TextField::Group), g);

    vexana::test::writeAll(dir.file("tagged.txt"),
                           "#TEXT Clara\n#CODE Work\nNights.\n#ENDCODE\n#ENDTEXT\n");
    ui.fileLists = {dir.file("tagged.txt")};
    EXPECT_TRUE(cc.Execute(20019, g));
    EXPECT_EQ(ui.dialogs.back(), FileDialog::PreprocessTexts);
    EXPECT_EQ(count(TopicId::Texts), 3);
    EXPECT_EQ(count(TopicId::Codings), 1);
}

TEST_F(ProjectFixture, OnlyCommandsThatCanRunAreEnabled) {
    Retrieval retrieval(*ws);
    // A host that lends nothing: overviews, opening, the dialogs and the imports would do
    // nothing, so they are not offered.
    ContextCommands bare(*ws, retrieval);
    for (int id : {20002, 20004, 20006, 20010, 20021, 20053, 20061, 20009, 20019, 20024,
                   20045, 20060, 20080, 20094, 20099, 20077, 20003, 20062, 20083, 20103,
                   20027, 20028, 20058, 20059})
        EXPECT_FALSE(bare.Enabled(id)) << id;
    ContextHost host;
    host.functionDialog = [](FunctionDialogValues&) { return false; };
    host.weightFilterDialog = [](int&, int&) { return false; };
    host.showOverview = [](const Overview&) {};
    host.openText = [](std::int32_t) {};
    host.selectCode = [](std::int32_t) {};
    host.selection = [](CodingTemplate&) { return true; };
    host.importFiles = [](std::int32_t, const std::vector<std::string>&, bool) { return 0; };
    host.activationDialog = [] {};
    host.openMemo = [](std::int32_t, bool) {};
    host.memoBarPlace = [](std::int32_t&, std::int32_t&) { return true; };
    host.wordAnalysis = [](int, std::int32_t) { return false; };
    std::vector<std::pair<int, std::int32_t>> teamwork;
    host.teamwork = [&teamwork](int id, std::int32_t object) {
        teamwork.emplace_back(id, object);
        return true;
    };
    ContextCommands full(*ws, retrieval, host);
    for (const auto& c : contextCommands()) {
        // Never more than the program has built, and with a full host all of that.
        if (bare.Enabled(c.id)) EXPECT_TRUE(ContextCommands::Available(c.id)) << c.id;
        // The memo commands need a code or memo under the mouse.
        EXPECT_EQ(full.Enabled(c.id), ContextCommands::Available(c.id) && c.id != 20077 &&
                                          c.id != 20076 && c.id != 20094 && c.id != 20066 &&
                                          c.id != 20081 && c.id != 20082)
            << c.id;
    }
    // Edit Function needs a function with something to edit.
    retrieval.settings.function = AtLeast;
    EXPECT_TRUE(full.Enabled(20094));
    // Paste needs segments copied, from another code.
    const std::int32_t a = codes().NewCode(0, "A", false), b = codes().NewCode(0, "B", false);
    EXPECT_FALSE(full.Enabled(20076, b));
    codings().CopyCodedSegments(a);
    EXPECT_TRUE(full.Enabled(20076, b));
    EXPECT_FALSE(full.Enabled(20076, a));
    // The exchange is the window's: the command reaches it with the object under the mouse.
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t t = docs().CreateText(g);
    EXPECT_TRUE(full.Execute(20028, t));
    EXPECT_EQ(teamwork, (std::vector<std::pair<int, std::int32_t>>{{20028, t}}));
    EXPECT_FALSE(full.Enabled(32905)); // not a context command
}
