#include "analysis/MemoOperations.h"

#include "ProjectFixture.h"
#include "analysis/ContextCommands.h"
#include "analysis/Retrieval.h"
#include "platform/Files.h"

namespace vexana::test {
namespace {

using namespace store;
using analysis::Memo;
using analysis::MemoEditor;
using analysis::MemoOperations;

class MemoTest : public ProjectFixture {
protected:
    void SetUp() override {
        ProjectFixture::SetUp();
        group = docs().NewTextGroup();
        docs().RenameObject(TopicId::TextGroups, group, "G");
        t = text(group, "T", "first line\nsecond line");
        a = codes().NewCode(0, "A", false);
        b = codes().NewCode(a, "B", false);
    }
    void reopen() {
        doc.CloseProject();
        ASSERT_TRUE(doc.OpenPath(dir.file("p.vxp"), false));
    }
    MemoOperations memos() { return MemoOperations(*ws); }
    std::int32_t group = 0, t = 0, a = 0, b = 0;
};

TEST_F(MemoTest, TextMemoIsStoredAtOnceAtAPlaceInsideTheText) {
    EXPECT_EQ(memos().NewTextMemo(t, 24), 0); // the text has 23 characters
    EXPECT_EQ(memos().NewTextMemo(t, -1), 0);
    EXPECT_EQ(memos().NewTextMemo(4711, 0), 0);
    EXPECT_EQ(count(TopicId::Memos), 0);

    const std::int32_t id = memos().NewTextMemo(t, 11);
    ASSERT_NE(id, 0);
    EXPECT_TRUE(view.saw(ViewEvent::Inserted, TopicId::Memos, id));
    reopen();
    Memo m;
    ASSERT_TRUE(memos().Load(id, m));
    EXPECT_EQ(m.title, "Memo " + std::to_string(id));
    EXPECT_EQ(m.text, t);
    EXPECT_EQ(m.pos, 11);
    EXPECT_TRUE(m.date.valid());
    EXPECT_TRUE(m.author.empty());
    EXPECT_TRUE(m.body.empty());
    EXPECT_EQ(memos().OwnerName(id), "G\\T");
}

TEST_F(MemoTest, ACodeHasOneMemoWhichIsOpenedAgainNotReplaced) {
    const std::int32_t first = memos().CodeMemo(b);
    ASSERT_NE(first, 0);
    EXPECT_EQ(s().GetInt(TopicId::Codes, b, CodeField::MemoID), first);
    EXPECT_EQ(memos().CodeMemo(b), first);
    EXPECT_EQ(count(TopicId::Memos), 1);
    EXPECT_EQ(memos().OwnerName(first), "A\\B");

    // A code that lost its reference to its memo gets the same memo back.
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Codes, b, c));
    c.setInt(CodeField::MemoID, 0);
    ASSERT_TRUE(s().Save(c));
    EXPECT_EQ(memos().CodeMemo(b), first);
    EXPECT_EQ(count(TopicId::Memos), 1);
    EXPECT_EQ(s().GetInt(TopicId::Codes, b, CodeField::MemoID), first);

    EXPECT_EQ(memos().CodeMemo(9999), 0);
    ASSERT_TRUE(memos().Delete(first));
    EXPECT_EQ(s().GetInt(TopicId::Codes, b, CodeField::MemoID), 0);
}

TEST_F(MemoTest, LinkedCodeBlocksAreReadWholeIdsOnlyAndWithoutDeletedCodes) {
    const ByteBlock block = analysis::linkedCodesBlock({a, b, a});
    EXPECT_EQ(block.size(), 12u);
    EXPECT_EQ(analysis::readLinkedCodes(block), (std::vector<std::int32_t>{a, b, a}));
    ByteBlock cut(block.begin(), block.begin() + 7);
    EXPECT_EQ(analysis::readLinkedCodes(cut), (std::vector<std::int32_t>{a}));
    EXPECT_TRUE(analysis::readLinkedCodes({}).empty());

    const std::int32_t id = memos().NewTextMemo(t, 0);
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Memos, id, c, true));
    ByteBlock damaged = analysis::linkedCodesBlock({b, 777, -3, 0, a});
    damaged.push_back(0x41);
    c.setBlock(MemoField::Codes, damaged);
    c.setBlock(MemoField::Body, std::string_view("plain words, no RTF"));
    ASSERT_TRUE(s().Save(c, true));
    Memo m;
    ASSERT_TRUE(memos().Load(id, m));
    EXPECT_EQ(m.codes, (std::vector<std::int32_t>{b, a}));
    EXPECT_EQ(m.body.plainText(), "plain words, no RTF");

    // Deleting a linked code leaves the memo; its list just drops the code.
    ASSERT_TRUE(docs().DeleteObject(TopicId::Codes, b));
    ASSERT_TRUE(memos().Load(id, m));
    EXPECT_EQ(m.codes, (std::vector<std::int32_t>{a}));
}

TEST_F(MemoTest, EditorSavesOnlyANewOrChangedMemo) {
    const std::int32_t id = memos().NewTextMemo(t, 0);
    MemoOperations ops(*ws);
    auto changes = [&] {
        return std::count(view.events.begin(), view.events.end(),
                          std::make_tuple(ViewEvent::Changed, TopicId::Memos, id));
    };
    {
        MemoEditor e(ops, id);
        ASSERT_TRUE(e.valid());
        EXPECT_TRUE(e.close());
        EXPECT_EQ(changes(), 0);
    }
    {
        MemoEditor e(ops, id, true);
        EXPECT_TRUE(e.close());
        EXPECT_EQ(changes(), 1);
        EXPECT_FALSE(e.isNew());
    }
    MemoEditor e(ops, id);
    e.setTitle(std::string(80, 'x'));
    e.setAuthor("Ann");
    e.setType(7);
    e.setType(11); // no such type
    e.setBody(platform::RichText::fromPlain(std::string(70, 'b') + "\nmore"));
    e.linkCode(a);
    e.linkCode(b);
    e.linkCode(a);
    e.removeCodes({1, 1, 9});
    EXPECT_TRUE(e.modified());
    EXPECT_TRUE(e.close());
    EXPECT_FALSE(e.modified());
    reopen();
    Memo m;
    ASSERT_TRUE(memos().Load(id, m));
    EXPECT_EQ(m.title, std::string(63, 'x'));
    EXPECT_EQ(m.author, "Ann");
    EXPECT_EQ(m.type, 7);
    EXPECT_EQ(m.codes, (std::vector<std::int32_t>{a, a}));
    EXPECT_EQ(m.pos, 0);
    EXPECT_EQ(s().GetText(TopicId::Memos, id, MemoField::Preview), std::string(63, 'b'));
    EXPECT_EQ(m.body.plainText(), std::string(70, 'b') + "\rmore");
}

TEST_F(MemoTest, HeadingAndExportFollowTheOwnerAndTheLinkedCodes) {
    const std::int32_t textMemo = memos().NewTextMemo(t, 0);
    Memo m;
    ASSERT_TRUE(memos().Load(textMemo, m));
    m.title = "Idea";
    m.author = "Bo";
    m.date = DateTime::fromCivil(2024, 5, 6, 7, 8);
    EXPECT_EQ(memos().Heading(m),
              "Idea\n\nText\t\tG\\T\nAuthor\t\tBo\nCreation Date\t2024-05-06 07:08\n\n");
    m.codes = {a, b};
    const std::string withCodes = memos().Heading(m);
    EXPECT_NE(withCodes.find("\nCodes\tA\n\t\tB\n\n"), std::string::npos);

    const std::int32_t codeMemo = memos().CodeMemo(a);
    Memo cm;
    ASSERT_TRUE(memos().Load(codeMemo, cm));
    EXPECT_NE(memos().Heading(cm).find("\n\nCode\tA\n"), std::string::npos);

    m.body = platform::RichText::fromPlain("the body");
    ASSERT_TRUE(memos().Save(m));
    const std::string path = dir.file("memo.rtf");
    EXPECT_EQ(memos().Export(textMemo, path), "");
    const auto bytes = platform::readFile(path);
    ASSERT_TRUE(bytes);
    const platform::RichText back = platform::RichText::fromRtf(*bytes);
    EXPECT_NE(back.plainText().find("Idea\r\rText\t\tG\\T\r"), std::string::npos);
    EXPECT_NE(back.plainText().find("\rthe body"), std::string::npos);
    EXPECT_FALSE(memos().Export(999, dir.file("none.rtf")).empty());
    EXPECT_EQ(memos().ExportList({codeMemo, 999, textMemo}, dir.file("list.rtf")), "");
    const std::string list =
        platform::RichText::fromRtf(*platform::readFile(dir.file("list.rtf"))).plainText();
    EXPECT_LT(list.find("\rCode\tA\r"), list.find("Idea\r\rText"));
    EXPECT_NE(list.find("\rthe body"), std::string::npos);
    EXPECT_FALSE(platform::fileExists(dir.file("none.rtf")));
}

TEST_F(MemoTest, DeletingAsksFirstAndLinkChoicesNeedTheQuickList) {
    const std::int32_t id = memos().NewTextMemo(t, 0);
    ui.answers = {false};
    EXPECT_FALSE(memos().ConfirmAndDelete(id));
    EXPECT_EQ(ui.questions.back(), "Delete Memo?");
    EXPECT_EQ(count(TopicId::Memos), 1);
    ui.answers = {true};
    EXPECT_TRUE(memos().ConfirmAndDelete(id));
    EXPECT_EQ(count(TopicId::Memos), 0);
    EXPECT_TRUE(view.saw(ViewEvent::Removed, TopicId::Memos, id));

    EXPECT_TRUE(memos().LinkChoices().empty());
    EXPECT_TRUE(ui.said("Quick-List is empty"));
    ws->quickList.use(a);
    ws->quickList.use(b);
    EXPECT_EQ(memos().LinkChoices(), (std::vector<std::int32_t>{b, a}));
}

TEST_F(MemoTest, PlacesFollowASavedEditAndOverviewsListTheMemos) {
    const std::int32_t id = memos().NewTextMemo(t, 11);
    const platform::RichText edited = platform::RichText::fromPlain("new first line\nsecond line");
    ASSERT_TRUE(codings().SaveEditedText(t, edited, {}, {{id, 15}}));
    reopen();
    EXPECT_EQ(s().GetInt(TopicId::Memos, id, MemoField::Pos), 15);

    const std::int32_t codeMemo = memos().CodeMemo(b);
    const std::int32_t linking = memos().NewTextMemo(t, 0);
    Memo m;
    ASSERT_TRUE(memos().Load(linking, m));
    m.codes = {b};
    ASSERT_TRUE(memos().Save(m));
    EXPECT_EQ(codes().MemosOverview(b).ids, (std::vector<std::int32_t>{codeMemo, linking}));
    EXPECT_EQ(codes().MemosOverview(0).ids.size(), 2u);
    EXPECT_TRUE(codes().MemosOverview(a).ids.empty());
    ws->options.includeSubcodes = true;
    EXPECT_EQ(codes().MemosOverview(a).ids.size(), 2u);
    EXPECT_EQ(memos().ManagerOverview().title, "all");
    EXPECT_EQ(memos().ManagerOverview().ids.size(), 3u);
    EXPECT_EQ(docs().OverviewOf(TopicId::Texts, t, TopicId::Memos).ids,
              (std::vector<std::int32_t>{id, linking}));
}

TEST_F(MemoTest, EachMemoOperationIsOneUndoStep) {
    doc.beginCommand("Code-Memo...");
    const std::int32_t id = memos().CodeMemo(a);
    doc.endCommand();
    Memo m;
    ASSERT_TRUE(memos().Load(id, m));
    m.title = "Changed";
    m.codes = {b};
    doc.beginCommand("Memo");
    ASSERT_TRUE(memos().Save(m));
    doc.endCommand();
    doc.beginCommand("Delete");
    ASSERT_TRUE(memos().Delete(id));
    doc.endCommand();
    EXPECT_EQ(s().GetInt(TopicId::Codes, a, CodeField::MemoID), 0);

    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(s().GetInt(TopicId::Codes, a, CodeField::MemoID), id);
    ASSERT_TRUE(memos().Load(id, m));
    EXPECT_EQ(m.title, "Changed");
    EXPECT_EQ(m.codes, (std::vector<std::int32_t>{b}));
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(memos().Load(id, m));
    EXPECT_EQ(m.title, "Memo " + std::to_string(id));
    EXPECT_TRUE(m.codes.empty());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(count(TopicId::Memos), 0);
    EXPECT_EQ(s().GetInt(TopicId::Codes, a, CodeField::MemoID), 0);
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(memos().CodeMemo(a), id);
    EXPECT_EQ(count(TopicId::Memos), 1);
}

TEST_F(MemoTest, ContextCommandsReachTheMemos) {
    analysis::Retrieval retrieval(*ws);
    std::vector<std::pair<std::int32_t, bool>> opened;
    analysis::ContextHost host;
    host.openMemo = [&](std::int32_t memo, bool isNew) { opened.emplace_back(memo, isNew); };
    host.memoBarPlace = [&](std::int32_t& text, std::int32_t& pos) {
        text = t;
        pos = 11;
        return true;
    };
    analysis::ContextCommands commands(*ws, retrieval, host);
    ASSERT_TRUE(commands.Execute(20066, a));
    ASSERT_TRUE(commands.Execute(20066, a));
    EXPECT_EQ(count(TopicId::Memos), 1);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(opened[0].second);
    EXPECT_FALSE(opened[1].second);
    EXPECT_EQ(opened[0].first, opened[1].first);

    ASSERT_TRUE(commands.Execute(20083, 0));
    const std::int32_t placed = opened.back().first;
    EXPECT_EQ(s().GetInt(TopicId::Memos, placed, MemoField::Pos), 11);
    EXPECT_TRUE(commands.Execute(20082, placed));
    ui.answers = {true};
    EXPECT_TRUE(commands.Execute(20081, placed));
    EXPECT_FALSE(commands.Enabled(20082, placed));
    EXPECT_FALSE(analysis::ContextCommands(*ws, retrieval).Enabled(20066, a));
}

} // namespace
} // namespace vexana::test
