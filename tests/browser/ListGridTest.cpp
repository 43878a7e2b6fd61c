#include "browser/ListGrid.h"

#include "../analysis/ProjectFixture.h"
#include "analysis/Retrieval.h"
#include "platform/Files.h"

#include <sys/stat.h>

using namespace vexana;
using namespace vexana::store;
using browser::ListGrid;
using vexana::test::ProjectFixture;

namespace {

class ListGridTest : public ProjectFixture {
protected:
    void SetUp() override {
        ProjectFixture::SetUp();
        group = docs().NewTextGroup();
        docs().RenameObject(TopicId::TextGroups, group, "G");
        anna = text(group, "A&B <x>", "One two three.\rFour.");
        ben = text(group, "Ben", "Five six.\rSeven.");
        work = codes().NewCode(0, "Work", false);
        c1 = code(anna, work, 0, 7, analysis::CodingOperations::NewBatch, 40);
        c2 = code(ben, work, 0, 4, analysis::CodingOperations::NewBatch, 100);
        ASSERT_TRUE(c1 && c2);
    }
    std::string file(const std::string& path) { return test::readAll(path); }

    std::int32_t group = 0, anna = 0, ben = 0, work = 0, c1 = 0, c2 = 0;
};

} // namespace

TEST(ListKinds, CaptionsCountersIconsColoursAndButtons) {
    const browser::ListKind& hits = browser::listKind(TopicId::SearchResults);
    EXPECT_EQ(hits.caption, "Search Results");
    EXPECT_TRUE(hits.codeButton);
    EXPECT_EQ(hits.optionsCommand, 33001);
    EXPECT_EQ(browser::counterLine(0, hits), "0 Hits    ");
    const browser::ListKind& segs = browser::listKind(TopicId::Codings);
    EXPECT_EQ(segs.caption, "Coded Segments");
    EXPECT_EQ(segs.icon, 2);
    EXPECT_EQ(segs.colour, 0xFFE0B4u);
    EXPECT_FALSE(segs.codeButton);
    EXPECT_EQ(segs.optionsCommand, 0);
    EXPECT_EQ(browser::listKind(TopicId::Texts).caption, "Variables");
    EXPECT_EQ(browser::listKind(TopicId::Texts).colour, 0xC8E1E0u);
    EXPECT_EQ(browser::listKind(TopicId::CoderResults).counterLabel, "Text Units");
    EXPECT_EQ(browser::counterLine(3, browser::listKind(42)), "3 Objects    ");
}

TEST_F(ListGridTest, CellsAndBothExportsAsSpecified) {
    ListGrid grid(s(), TopicId::Codings);
    std::vector<std::string> names;
    for (int c : grid.displayedColumns())
        names.push_back(grid.columns()[c].name);
    EXPECT_EQ(names, (std::vector<std::string>{"Text", "Code", "Begin", "End", "Weight Score",
                                               "Preview"}));
    grid.fill({c1, c2});
    EXPECT_EQ(grid.textExport(), "Text\tCode\tBegin\tEnd\tWeight Score\tPreview\r\n"
                                 "A&B <x>\tWork\t1\t1\t40\tOne two\r\n"
                                 "Ben\tWork\t1\t1\t100\tFive\r\n");
    // Moved and hidden columns: the text export follows the display.
    grid.moveColumn(grid.columnOfField(CodingField::Weight), 0);
    for (int f :
         {CodingField::Code, CodingField::StartPara, CodingField::FinishPara, CodingField::Preview})
        grid.switchOff(grid.columnOfField(f));
    EXPECT_EQ(grid.textExport(), "Weight Score\tText\r\n40\tA&B <x>\r\n100\tBen\r\n");

    const std::string txt = dir.file("list.txt");
    EXPECT_EQ(grid.exportTo(txt, false, "all"), "");
    EXPECT_EQ(file(txt), grid.textExport());

    grid.fill({c1});
    const std::string htm = dir.file("list.htm");
    EXPECT_EQ(grid.exportTo(htm, true, "all & <more>"), "");
    // Shares by the longest cell: 2 and 7 characters of 9.
    EXPECT_EQ(file(htm),
              "<HTML>\r\n<HEAD>\r\n"
              "<META http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"/>\r\n"
              "</HEAD>\r\n<BODY>\r\n<CENTER>\r\n"
              "<TABLE bgcolor=\"#E0E0E0\" border=\"0\" cellPadding=\"2\" cellSpacing=\"1\" "
              "width=\"100%\" height=\"20\">\r\n"
              "<TBODY>\r\n<TR>\r\n"
              "<TD colspan=\"2\" bgcolor=\"#E8E8E8\" valign=\"center\" align=\"center\" "
              "height=\"25\">\r\n"
              "<FONT face=\"Verdana\" size=\"2\">\r\n<B>\r\n"
              "<A name=\"all &amp; &lt;more&gt;\">all &amp; &lt;more&gt;</A>\r\n"
              "</B>\r\n</FONT>\r\n</TD>\r\n</TR>\r\n"
              "<TR>\r\n"
              "<TD bgcolor=\"#F0F0F0\" valign=\"center\" align=\"left\" width=\"22%\" "
              "height=\"20\">\r\n<FONT face=\"Verdana\" size=\"1\">\r\n<B>Weight Score</B>\r\n"
              "</FONT>\r\n</TD>\r\n"
              "<TD bgcolor=\"#F0F0F0\" valign=\"center\" align=\"left\" width=\"77%\" "
              "height=\"20\">\r\n<FONT face=\"Verdana\" size=\"1\">\r\n<B>Text</B>\r\n"
              "</FONT>\r\n</TD>\r\n"
              "</TR>\r\n"
              "<TR>\r\n"
              "<TD bgcolor=\"#FFFFFF\" valign=\"center\" align=\"left\" height=\"20\">\r\n"
              "<FONT face=\"Verdana\" size=\"1\">40</FONT>\r\n</TD>\r\n"
              "<TD bgcolor=\"#FFFFFF\" valign=\"center\" align=\"left\" height=\"20\">\r\n"
              "<FONT face=\"Verdana\" size=\"1\">A&amp;B &lt;x&gt;</FONT>\r\n</TD>\r\n"
              "</TR>\r\n"
              "</TBODY>\r\n</TABLE>\r\n</CENTER>\r\n</BODY>\r\n</HTML>\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(htm.c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0044, 0u) << "an export is an ordinary file, not a private one";

    // No rows: every column shares alike instead of dividing by nothing.
    grid.fill({});
    EXPECT_EQ(grid.columnShares(grid.exportedColumns()), (std::vector<int>{50, 50}));
    EXPECT_EQ(grid.exportTo(htm, true, "none"), "");
    EXPECT_NE(file(htm).find("width=\"50%\""), std::string::npos);

    // A target that cannot be written says why and leaves what was there.
    EXPECT_EQ(grid.exportTo(dir.file("missing/list.htm"), true, "x"), "the folder does not exist");
    const std::string before = file(htm);
    ::chmod(dir.path().c_str(), 0500);
    const std::string denied = grid.exportTo(htm, false, "x");
    ::chmod(dir.path().c_str(), 0700);
    // The super-user writes anyway.
    if (::geteuid() != 0) {
        EXPECT_EQ(denied, "access is denied");
        EXPECT_EQ(file(htm), before);
    }
}

TEST_F(ListGridTest, SortingByTypeWithTheLastRowLast) {
    const std::int32_t zed = codes().NewCode(0, "zed", false);
    const std::int32_t alpha = codes().NewCode(0, "Alpha", false);
    const std::int32_t mid = codes().NewCode(0, "beta", false);
    ListGrid grid(s(), TopicId::Codes);
    grid.fill({zed, ListGrid::lastRowId, work, alpha, mid});
    const int name = grid.columnOfField(CodeField::Name);
    grid.headerClicked(name);
    EXPECT_EQ(grid.rows(), (std::vector<std::int32_t>{alpha, mid, work, zed, ListGrid::lastRowId}));
    grid.headerClicked(name);
    EXPECT_FALSE(grid.ascending());
    EXPECT_EQ(grid.rows(), (std::vector<std::int32_t>{zed, work, mid, alpha, ListGrid::lastRowId}));
    // Numbers as numbers: 2 codings before 0 when descending; equal values keep their order.
    grid.headerClicked(grid.columnOfField(CodeField::Codes));
    grid.headerClicked(grid.columnOfField(CodeField::Codes));
    EXPECT_EQ(grid.rows().front(), work);
    EXPECT_EQ(grid.rows().back(), ListGrid::lastRowId);

    // References sort by the names they show.
    ListGrid segs(s(), TopicId::Codings);
    segs.fill({c2, c1});
    segs.headerClicked(segs.columnOfField(CodingField::Text));
    EXPECT_EQ(segs.rows(), (std::vector<std::int32_t>{c1, c2}));
    // Hiding the sort column ends sorting.
    segs.switchOff(segs.columnOfField(CodingField::Text));
    EXPECT_EQ(segs.sortColumn(), -1);
    EXPECT_TRUE(segs.ascending());

    // Floating point and dates of a variable.
    browser::StoreGridOwner owner(s());
    ListGrid texts(s(), TopicId::Texts);
    texts.fill({anna, ben});
    ASSERT_TRUE(texts.insertVariable(owner, -1, "Score", TypeFloat));
    const int score = texts.columnOfField(texts.columns().back().field);
    ASSERT_EQ(texts.setCell(0, score, "10.5"), ListGrid::Edit::Stored);
    ASSERT_EQ(texts.setCell(1, score, "9"), ListGrid::Edit::Stored);
    texts.headerClicked(score);
    EXPECT_EQ(texts.rows(), (std::vector<std::int32_t>{ben, anna}));
}

TEST_F(ListGridTest, EditingStoresOrRefuses) {
    ListGrid grid(s(), TopicId::Codings);
    grid.fill({c1});
    const int weight = grid.columnOfField(CodingField::Weight);
    EXPECT_TRUE(grid.editable(weight));
    EXPECT_FALSE(grid.editable(grid.columnOfField(CodingField::Text)));
    EXPECT_EQ(grid.setCell(0, weight, "101"), ListGrid::Edit::Refused);
    EXPECT_EQ(grid.setCell(0, weight, "-1"), ListGrid::Edit::Refused);
    EXPECT_EQ(grid.cellText(0, weight), "40");
    EXPECT_EQ(grid.setCell(0, weight, "100abc"), ListGrid::Edit::Stored);
    EXPECT_EQ(grid.cellText(0, weight), "100");
    EXPECT_EQ(grid.setCell(0, grid.columnOfField(CodingField::Preview), "x"),
              ListGrid::Edit::NotEditable);
    // The weight reached the file.
    doc.CloseProject();
    ASSERT_TRUE(doc.OpenPath(dir.file("p.vxp"), false));
    EXPECT_EQ(s().GetInt(TopicId::Codings, c1, CodingField::Weight), 100);

    // Dictionary categories: a name another category has, whatever its case.
    const auto add = [&](int topic, std::initializer_list<std::pair<int, std::string>> texts,
                         int refField = -1, std::int32_t ref = 0) {
        RecordCursor c;
        EXPECT_TRUE(s().NewRecord(topic, c));
        for (const auto& [f, v] : texts)
            c.setText(f, v);
        if (refField >= 0) c.setInt(refField, ref);
        const std::int32_t id = c.id();
        EXPECT_TRUE(s().UpdateInMemory(c));
        return id;
    };
    const std::int32_t family = add(TopicId::DictCategories, {{2, "Family"}});
    const std::int32_t job = add(TopicId::DictCategories, {{2, "Job"}});
    ListGrid cats(s(), TopicId::DictCategories);
    cats.fill({family, job});
    const int catName = cats.columnOfField(2);
    EXPECT_EQ(cats.cellText(0, catName), "Family");
    EXPECT_EQ(cats.setCell(1, catName, "FAMILY"), ListGrid::Edit::Refused);
    EXPECT_EQ(cats.setCell(0, catName, "family"), ListGrid::Edit::Stored);
    EXPECT_EQ(cats.cellText(0, catName), "family");
    // Search items: the same text in the same category only, exactly.
    const std::int32_t a = add(TopicId::DictItems, {{3, "mother"}}, 1, family);
    const std::int32_t b = add(TopicId::DictItems, {{3, "father"}}, 1, family);
    const std::int32_t other = add(TopicId::DictItems, {{3, "boss"}}, 1, job);
    ListGrid items(s(), TopicId::DictItems);
    items.fill({a, b, other});
    const int itemText = items.columnOfField(3);
    ASSERT_GE(itemText, 0);
    EXPECT_EQ(items.setCell(1, itemText, "mother"), ListGrid::Edit::Refused);
    EXPECT_EQ(items.setCell(1, itemText, "Mother"), ListGrid::Edit::Stored);
    EXPECT_EQ(items.setCell(2, itemText, "mother"), ListGrid::Edit::Stored);

    // A variable converts what is typed by its type.
    browser::StoreGridOwner owner(s());
    ListGrid texts(s(), TopicId::Texts);
    texts.fill({anna, ben});
    ASSERT_TRUE(
        texts.insertVariable(owner, texts.columnOfField(TextField::Name), "Age", TypeInteger));
    const int age = texts.columnOfField(texts.columns().back().field);
    EXPECT_EQ(texts.columns()[age].position,
              texts.columns()[texts.columnOfField(TextField::Name)].position + 1);
    // Text that is not a whole number leaves the variable as it was, and says why.
    EXPECT_EQ(texts.setCell(0, age, "12abc"), ListGrid::Edit::Unreadable);
    EXPECT_EQ(texts.refusal(age, "12abc"),
              "\"12abc\" is not a value of Age (a whole number is); the value stays as it was.");
    EXPECT_EQ(texts.setCell(0, age, " 12 "), ListGrid::Edit::Stored);
    EXPECT_EQ(texts.cellText(0, age), "12");
    EXPECT_EQ(texts.setCell(1, age, "12"), ListGrid::Edit::Stored);
    EXPECT_EQ(texts.distinctValues(age), (std::vector<std::string>{"12"}));
    EXPECT_FALSE(texts.insertVariable(owner, -1, "", TypeString));
    EXPECT_TRUE(texts.renameVariable(owner, age, "Years"));
    EXPECT_EQ(texts.columns()[age].name, "Years");
    EXPECT_EQ(s().GetField(TopicId::Texts, texts.columns()[age].field)->name, "Years");
    const int field = texts.columns()[age].field;
    EXPECT_TRUE(texts.deleteVariable(owner, age));
    EXPECT_EQ(texts.columnOfField(field), -1);
    EXPECT_EQ(s().GetField(TopicId::Texts, field), nullptr);
}

TEST_F(ListGridTest, LayoutKeysAndAStoredSortColumnThatCannotBeUsed) {
    ListGrid grid(s(), TopicId::Codings);
    grid.fill({c1, c2});
    const int weight = grid.columnOfField(CodingField::Weight);
    grid.switchOff(grid.columnOfField(CodingField::Code));
    grid.setWidth(weight, 60);
    grid.toggleListOfValues(weight);
    grid.headerClicked(weight);
    grid.headerClicked(weight);
    platform::ProfileFile settings;
    grid.writeLayout(settings);
    EXPECT_EQ(settings.readString("ObjList10", "Field9", ""), "1,4,60,0");
    EXPECT_EQ(settings.readString("ObjList10", "Field4", ""), "0,1,100,1");
    EXPECT_EQ(settings.readString("ObjList10", "Field3", ""), "1,0,100,1");
    EXPECT_EQ(settings.readString("ObjList10", "Sorting", ""), std::to_string(weight) + ",0");

    ListGrid again(s(), TopicId::Codings);
    again.readLayout(settings);
    again.fill({c1, c2});
    EXPECT_EQ(again.sortColumn(), weight);
    EXPECT_FALSE(again.ascending());
    EXPECT_EQ(again.rows(), (std::vector<std::int32_t>{c2, c1}));
    EXPECT_FALSE(again.columns()[again.columnOfField(CodingField::Code)].shown);
    EXPECT_EQ(again.columns()[weight].width, 60);
    EXPECT_FALSE(again.columns()[weight].listOfValues);

    const int hidden = again.columnOfField(CodingField::Code);
    for (const std::string& bad :
         {std::string("-3,0"), std::to_string(again.columns().size()) + ",0",
          std::to_string(hidden) + ",0", std::string("x")}) {
        settings.writeString("ObjList10", "Sorting", bad);
        ListGrid g(s(), TopicId::Codings);
        g.readLayout(settings);
        EXPECT_EQ(g.sortColumn(), -1) << bad;
        EXPECT_TRUE(g.ascending()) << bad;
    }
    // A stored value with too few numbers is not used.
    settings.writeString("ObjList10", "Field9", "0,1");
    ListGrid g(s(), TopicId::Codings);
    g.readLayout(settings);
    EXPECT_TRUE(g.columns()[g.columnOfField(CodingField::Weight)].shown);
}

TEST_F(ListGridTest, TheListsOfTheIndexAndTheFrequencyOfCodes) {
    // A temporary result coding (code 0) is not listed in the index.
    RecordCursor c;
    ASSERT_TRUE(s().NewRecord(TopicId::Codings, c));
    c.setInt(CodingField::Text, anna);
    ASSERT_TRUE(s().UpdateInMemory(c));
    analysis::Retrieval retrieval(*ws);
    const analysis::Overview index = retrieval.IndexOfCodedSegments();
    EXPECT_EQ(index.title, "all");
    EXPECT_EQ(index.ids, (std::vector<std::int32_t>{c1, c2}));
    const analysis::Overview freq = retrieval.FrequencyOfCodes();
    EXPECT_EQ(freq.topic, TopicId::Codes);
    EXPECT_EQ(freq.ids, (std::vector<std::int32_t>{work}));
    ListGrid grid(s(), freq.topic);
    grid.fill(freq.ids);
    EXPECT_EQ(grid.textExport(), "Position\tParent Code\tCode\tAll Coded Segments\t"
                                 "Active Coded Segments\r\n0\t\tWork\t2\t0\r\n");
}
