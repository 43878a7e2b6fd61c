#include "store/TopicStore.h"

#include "StoreBuilders.h"
#include "store/SchemaSetup.h"

#include <gtest/gtest.h>

using namespace vexana::store;
using namespace vexana::test;

namespace {

class MemoryProject : public ::testing::Test {
protected:
    void SetUp() override { buildMemoryProject(s); }
    TopicStore s;
};

// A listener that keeps nothing and can be told to refuse.
class RefusingListener : public TopicListener {
public:
    bool refuse = true;
    int saves = 0, deletes = 0;
    bool SaveRecord(RecordCursor&, bool, bool) override { return ++saves, !refuse; }
    bool SaveField(Topic&, std::int32_t, const FieldInfo&, const std::uint8_t*) override {
        return !refuse;
    }
    bool DeleteRecordRow(Topic&, std::int32_t) override { return ++deletes, !refuse; }
    bool LoadBlocks(RecordCursor&) override { return !refuse; }
    bool AddFieldColumn(Topic&, const FieldInfo&) override { return !refuse; }
    bool RenameFieldRow(int, int, const std::string&) override { return !refuse; }
    bool DeleteFieldRow(Topic&, const FieldInfo&) override { return !refuse; }
};

} // namespace

TEST(TopicStore, AStoreWithoutAProjectAnswersEmpty) {
    TopicStore empty;
    EXPECT_TRUE(empty.ListIds(TopicId::Texts).empty());
    EXPECT_TRUE(empty.FindIds(TopicId::Codings, TopicId::Texts, 1).empty());
    EXPECT_TRUE(empty.DistinctValues(TopicId::Texts, TextField::Name).empty());
    RecordCursor c;
    EXPECT_FALSE(empty.NewRecord(TopicId::Texts, c));
    EXPECT_FALSE(empty.GetRecordAt(TopicId::Texts, 0, c));
}

TEST_F(MemoryProject, IdsFollowTheHighestIdAndAreGivenAgainAfterADelete) {
    EXPECT_EQ(addGroup(s, "A"), 1);
    EXPECT_EQ(addGroup(s, "B"), 2);
    EXPECT_EQ(addGroup(s, "C"), 3);
    EXPECT_EQ(addGroup(s, "D"), 4);
    EXPECT_EQ(addGroup(s, "E"), 5);
    ASSERT_TRUE(s.DeleteRecord(TopicId::TextGroups, 3));
    ASSERT_TRUE(s.DeleteRecord(TopicId::TextGroups, 4));
    EXPECT_EQ(addGroup(s, "F"), 6);
    ASSERT_TRUE(s.DeleteRecord(TopicId::TextGroups, 6));
    EXPECT_EQ(addGroup(s, "G"), 6);
    EXPECT_EQ(s.ListIds(TopicId::TextGroups), (std::vector<std::int32_t>{1, 2, 5, 6}));
    RecordCursor c;
    ASSERT_TRUE(s.GetRecordAt(TopicId::TextGroups, 2, c));
    EXPECT_EQ(c.id(), 5);
    EXPECT_FALSE(s.GetRecordAt(TopicId::TextGroups, 4, c));
    EXPECT_FALSE(s.GetRecord(TopicId::TextGroups, 3, c));
    EXPECT_FALSE(s.GetRecord(99, 1, c));
}

TEST_F(MemoryProject, NamesFullNamesAndAnnotationsFollowTheFormats) {
    const std::int32_t a = addCode(s, 0, "A"), b = addCode(s, a, "B"), c = addCode(s, b, "C");
    EXPECT_EQ(s.GetName(TopicId::Codes, c, true), "A\\B\\C");
    EXPECT_EQ(s.GetName(TopicId::Codes, c, false), "C");
    EXPECT_EQ(s.GetName(TopicId::Codes, a, true), "A");
    const std::int32_t g = addGroup(s, "Interviews");
    const std::int32_t t = addText(s, g, "Anna");
    const std::int32_t orphan = addText(s, 0, "Loose");
    EXPECT_EQ(s.GetName(TopicId::Texts, t, true), "Interviews\\Anna");
    EXPECT_EQ(s.GetName(TopicId::Texts, orphan, true), "Loose");
    const std::int32_t coding = addCoding(s, t, b, 0, 5, 50);
    EXPECT_EQ(s.GetAnnotation(TopicId::Codings, coding), "A\\B\n[50]");
    const std::int32_t uncoded = addRecord(s, TopicId::Codings, {{CodingField::Weight, 100}});
    EXPECT_EQ(s.GetAnnotation(TopicId::Codings, uncoded), "\n[100]");
    const std::int32_t memo = addRecord(
        s, TopicId::Memos, {},
        {{MemoField::Title, "T"}, {MemoField::Author, "Me"}, {MemoField::Preview, "Body"}});
    EXPECT_EQ(s.GetAnnotation(TopicId::Memos, memo),
              "T\nMe\n1899-12-30 00:00\n-----------------------------\nBody");

    // A parent cycle (only a damaged file has one) ends instead of recursing for ever.
    RecordCursor cur;
    ASSERT_TRUE(s.GetRecord(TopicId::Codes, a, cur));
    cur.setInt(CodeField::Parent, c);
    ASSERT_TRUE(s.Save(cur));
    EXPECT_LE(s.GetName(TopicId::Codes, c, true).size(), 511u * 4);
}

TEST_F(MemoryProject, StringSlotsHoldSixtyThreeCharactersOfAnyScript) {
    const std::int32_t g = addGroup(s, std::string(80, 'x'));
    EXPECT_EQ(s.GetName(TopicId::TextGroups, g, false), std::string(63, 'x'));
    std::string greek;
    for (int i = 0; i < 70; ++i)
        greek += "\xCE\xB1";
    const std::int32_t h = addGroup(s, greek);
    EXPECT_EQ(s.GetName(TopicId::TextGroups, h, false), greek.substr(0, 126));
}

TEST_F(MemoryProject, DeletingACodeCascadesAndReportsWhatChanged) {
    const std::int32_t g = addGroup(s, "G"), set = addSet(s, "S");
    const std::int32_t t1 = addText(s, g, "T1"), t2 = addText(s, g, "T2");
    const std::int32_t link = addLink(s, set, t1);
    const std::int32_t a = addCode(s, 0, "A"), b = addCode(s, a, "B"),
                       other = addCode(s, 0, "Other");
    addCoding(s, t1, a, 0, 4);
    addCoding(s, t1, b, 2, 8);
    addCoding(s, t2, b, 0, 3);
    const std::int32_t kept = addCoding(s, t2, other, 1, 2);
    const std::int32_t memo = addRecord(s, TopicId::Memos, {{MemoField::Code, a}});
    {
        RecordCursor c;
        ASSERT_TRUE(s.GetRecord(TopicId::Codes, a, c));
        c.setInt(CodeField::MemoID, memo);
        ASSERT_TRUE(s.Save(c));
    }
    ObjectList deleted, changed;
    ASSERT_TRUE(s.DeleteRecord(TopicId::Codes, a, &deleted, &changed));
    EXPECT_EQ(s.ListIds(TopicId::Codes), std::vector<std::int32_t>{other});
    EXPECT_EQ(s.ListIds(TopicId::Codings), std::vector<std::int32_t>{kept});
    EXPECT_EQ(s.RecordCount(TopicId::Memos), 0);
    EXPECT_EQ(s.GetInt(TopicId::Texts, t1, TextField::Codes), 0);
    EXPECT_EQ(s.GetInt(TopicId::Texts, t2, TextField::Codes), 1);
    EXPECT_TRUE(deleted.contains(TopicId::Codes, b));
    EXPECT_TRUE(deleted.contains(TopicId::Memos, memo));
    for (ObjectRef r : {ObjectRef{TopicId::Texts, t1}, ObjectRef{TopicId::Texts, t2},
                        ObjectRef{TopicId::TextGroups, g}, ObjectRef{TopicId::TextLinks, link},
                        ObjectRef{TopicId::TextSets, set}, ObjectRef{TopicId::GroupsRoot, 0},
                        ObjectRef{TopicId::SetsRoot, 0}, ObjectRef{TopicId::CodesRoot, 0}})
        EXPECT_TRUE(changed.contains(r.first, r.second)) << r.first << "/" << r.second;
    // Deleting a group takes its texts with their links and codings.
    ASSERT_TRUE(s.DeleteRecord(TopicId::TextGroups, g));
    EXPECT_EQ(s.RecordCount(TopicId::Texts), 0);
    EXPECT_EQ(s.RecordCount(TopicId::TextLinks), 0);
    EXPECT_EQ(s.RecordCount(TopicId::Codings), 0);
    EXPECT_EQ(s.GetInt(TopicId::Codes, other, CodeField::Codes), 0);
}

TEST_F(MemoryProject, FieldListsReferencesAndDistinctValues) {
    EXPECT_EQ(s.ListFields(TopicId::Texts, false), (std::vector<int>{2, 6, 7, 8}));
    EXPECT_EQ(s.ListFields(TopicId::Texts, true), (std::vector<int>{4, 2, 6, 7, 8}));
    const std::int32_t g = addGroup(s, "G");
    const std::int32_t t = addText(s, g, "b");
    addText(s, g, "a");
    addText(s, g, "b");
    addText(s, g, "");
    EXPECT_EQ(s.DistinctValues(TopicId::Texts, TextField::Name),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(s.GetReference(TopicId::Texts, t, TopicId::TextGroups), g);
    EXPECT_EQ(s.FindIds(TopicId::Texts, TopicId::TextGroups, g).size(), 4u);
    // The index follows changes of a reference and keeps record order.
    const std::int32_t h = addGroup(s, "H");
    RecordCursor move;
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, t, move));
    move.setInt(TextField::Group, h);
    ASSERT_TRUE(s.Save(move));
    EXPECT_EQ(s.FindIds(TopicId::Texts, TopicId::TextGroups, g),
              (std::vector<std::int32_t>{2, 3, 4}));
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, 3, move));
    move.setInt(TextField::Group, h);
    ASSERT_TRUE(s.Save(move));
    EXPECT_EQ(s.FindIds(TopicId::Texts, TopicId::TextGroups, h), (std::vector<std::int32_t>{t, 3}));
    const std::int32_t extra = addText(s, h, "extra");
    EXPECT_EQ(s.FindIds(TopicId::Texts, TopicId::TextGroups, h),
              (std::vector<std::int32_t>{t, 3, extra}));
    ASSERT_TRUE(s.DeleteRecord(TopicId::Texts, 3));
    EXPECT_EQ(s.FindIds(TopicId::Texts, TopicId::TextGroups, h),
              (std::vector<std::int32_t>{t, extra}));
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, t, move));
    move.setInt(TextField::Group, g);
    ASSERT_TRUE(s.Save(move));
    const auto inG = s.FindIds(TopicId::Texts, TopicId::TextGroups, g);
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, inG.front(), move));
    move.setInt(TextField::Codes, 7); // no reference changes: the lists stay as they are
    ASSERT_TRUE(s.Save(move));
    EXPECT_EQ(s.FindIds(TopicId::Texts, TopicId::TextGroups, g), inG);
    const std::int32_t k = addCode(s, 0, "K");
    addCoding(s, extra, k, 0, 1);
    addCoding(s, 2, k, 0, 1);
    addCoding(s, extra, k, 2, 3);
    EXPECT_EQ(s.FindIds(TopicId::Codings, TopicId::Texts, extra, TopicId::Codes, k),
              (std::vector<std::int32_t>{1, 3}));
    EXPECT_TRUE(s.FindIds(TopicId::Codings, TopicId::Texts, extra, TopicId::Codes, 99).empty());

    FieldInfo v;
    v.name = "Age";
    v.type = TypeInteger;
    v.state = FieldState::NewVariable;
    const int id = s.AddField(TopicId::Texts, v);
    EXPECT_EQ(id, 9);
    EXPECT_EQ(s.GetField(TopicId::Texts, id)->source, "F000000009");
    EXPECT_EQ(s.CountVariables(TopicId::Texts), 1);
    RecordCursor c;
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, t, c));
    ASSERT_TRUE(s.SetFieldText(c, id, "41 years"));
    EXPECT_EQ(s.GetInt(TopicId::Texts, t, id), 41);
    EXPECT_EQ(s.GetName(TopicId::Texts, t, true), "G\\b");
    ASSERT_TRUE(s.RemoveField(TopicId::Texts, id));
    EXPECT_EQ(s.CountVariables(TopicId::Texts), 0);
    EXPECT_EQ(s.GetName(TopicId::Texts, t, true), "G\\b");
}

TEST_F(MemoryProject, RefusedChangesLeaveMemoryAsItWas) {
    const std::int32_t g = addGroup(s, "Kept");
    RefusingListener l;
    s.GetTopic(TopicId::TextGroups)->setListener(&l);
    RecordCursor c;
    ASSERT_TRUE(s.GetRecord(TopicId::TextGroups, g, c));
    c.setText(GroupField::Name, "Changed");
    EXPECT_FALSE(s.Save(c));
    EXPECT_TRUE(c.valid()); // the cursor stays as it was
    EXPECT_EQ(s.GetName(TopicId::TextGroups, g, false), "Kept");
    EXPECT_FALSE(s.SetFieldText(c, GroupField::Name, "Other"));
    EXPECT_EQ(s.GetName(TopicId::TextGroups, g, false), "Kept");
    EXPECT_FALSE(s.DeleteRecord(TopicId::TextGroups, g));
    EXPECT_EQ(s.RecordCount(TopicId::TextGroups), 1);
    FieldInfo v;
    v.name = "X";
    v.type = TypeString;
    v.state = FieldState::NewVariable;
    EXPECT_EQ(s.AddField(TopicId::TextGroups, v), -1);
    EXPECT_EQ(s.FieldCount(TopicId::TextGroups), 4);
    // Blocks that cannot be loaded fail the read, so no one saves an emptied text.
    EXPECT_FALSE(s.GetRecord(TopicId::TextGroups, g, c, true));
}

TEST_F(MemoryProject, CopyRecordCarriesSlotsAndBlocks) {
    const std::int32_t t = addText(s, 0, "Source");
    RecordCursor c;
    ASSERT_TRUE(s.GetRecord(TopicId::Texts, t, c));
    c.setBlock(TextField::Body, std::string_view("{\\rtf1 body}"));
    ASSERT_TRUE(s.UpdateInMemory(c));
    RecordCursor copy;
    ASSERT_TRUE(s.CopyRecord(TopicId::Texts, t, copy));
    EXPECT_EQ(copy.id(), t + 1);
    EXPECT_EQ(copy.getText(TextField::Name), "Source");
    // Images in the topic never hold blocks; without a listener there is nothing to load.
    EXPECT_TRUE(copy.block(TextField::Body).empty());
    EXPECT_EQ(s.RecordCount(TopicId::Texts), 2);
}

TEST_F(MemoryProject, DeletedCodingsOfActiveTextsLeaveTheActiveCountOfTheirCode) {
    const std::int32_t g = addGroup(s, "G");
    const std::int32_t on =
        addRecord(s, TopicId::Texts, {{TextField::Group, g}, {TextField::State, StateActive}},
                  {{TextField::Name, "on"}});
    const std::int32_t off = addText(s, g, "off");
    const std::int32_t a = addCode(s, 0, "A");
    const std::int32_t inOn = addCoding(s, on, a, 0, 4);
    addCoding(s, on, a, 5, 9);
    const std::int32_t inOff = addCoding(s, off, a, 0, 4);
    {
        RecordCursor c;
        ASSERT_TRUE(s.GetRecord(TopicId::Codes, a, c));
        c.setInt(CodeField::ActiveCodes, 2);
        ASSERT_TRUE(s.Save(c));
    }
    ASSERT_TRUE(s.DeleteRecord(TopicId::Codings, inOff));
    EXPECT_EQ(s.GetInt(TopicId::Codes, a, CodeField::ActiveCodes), 2);
    ASSERT_TRUE(s.DeleteRecord(TopicId::Codings, inOn));
    EXPECT_EQ(s.GetInt(TopicId::Codes, a, CodeField::ActiveCodes), 1);
    EXPECT_EQ(s.GetInt(TopicId::Codes, a, CodeField::Codes), 1);
    // A group goes with its texts and their codings.
    ASSERT_TRUE(s.DeleteRecord(TopicId::TextGroups, g));
    EXPECT_EQ(s.GetInt(TopicId::Codes, a, CodeField::ActiveCodes), 0);
    EXPECT_EQ(s.GetInt(TopicId::Codes, a, CodeField::Codes), 0);
    // A count that was never raised (counting switched off) does not go below zero.
    const std::int32_t t = addRecord(s, TopicId::Texts, {{TextField::State, StateActive}});
    ASSERT_TRUE(s.DeleteRecord(TopicId::Codings, addCoding(s, t, a, 0, 1)));
    EXPECT_EQ(s.GetInt(TopicId::Codes, a, CodeField::ActiveCodes), 0);
}
