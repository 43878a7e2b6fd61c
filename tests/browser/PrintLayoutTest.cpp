#include "browser/PrintLayout.h"

#include "../analysis/ProjectFixture.h"
#include "browser/PrintDocuments.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace vexana;
using namespace vexana::browser;

namespace {

// `count` lines of `height` dots, ten characters each; a paragraph every `perParagraph` lines.
std::vector<PrintLine> evenLines(int count, int height) {
    std::vector<PrintLine> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back({i * 10, i * 10 + 10, i * height, height});
    return lines;
}

CodingStripe stripe(std::int32_t a, std::int32_t b, std::uint32_t colour = 0x123456) {
    CodingStripe s;
    s.startChar = a;
    s.finishChar = b;
    s.colour = colour;
    s.label = "Code";
    return s;
}

CodedAreas areasAt(double dpi, int paragraphs = 9) {
    // A4 at the given resolution.
    const PageFrame f = pageFrame(static_cast<int>(std::lround(210 / 25.4 * dpi)),
                                  static_cast<int>(std::lround(297 / 25.4 * dpi)), dpi);
    return codedAreas(f, dpi, paragraphDigits(paragraphs), 100, 2);
}

} // namespace

TEST(PrintLayout, MillimetresAreExactAndTheAreasFollowThePageRules) {
    // 72 dpi: truncated dots per millimetre (2) would make 10 mm 20 dots instead of 28.
    EXPECT_EQ(millimetres(10, 72), 28);
    EXPECT_EQ(millimetres(25, 72), 71);
    EXPECT_EQ(millimetres(15, 1200), 709);
    const PageFrame f = pageFrame(595, 842, 72);
    EXPECT_EQ(f.printable.left, 28);
    EXPECT_EQ(f.printable.top, 43);
    EXPECT_EQ(f.printable.right, 595 - 43);
    EXPECT_EQ(f.printable.bottom, 842 - 71);
    EXPECT_EQ(f.headingY, 14);
    EXPECT_EQ(f.footerY, 771 + 71 / 3);
    // A page smaller than its margins still has an area to lay out into.
    const PageFrame tiny = pageFrame(10, 10, 72);
    EXPECT_GT(tiny.printable.width(), 0);
    EXPECT_GT(tiny.printable.height(), 0);

    // 9 paragraphs: one digit, 2 + 1.5 mm; 10 paragraphs: two digits, 2 + 3 mm.
    EXPECT_EQ(paragraphDigits(0), 1);
    EXPECT_EQ(paragraphDigits(9), 1);
    EXPECT_EQ(paragraphDigits(10), 2);
    EXPECT_EQ(paragraphDigits(10000), 5);
    EXPECT_EQ(areasAt(1200, 9).numbers.width(), millimetres(3.5, 1200));
    EXPECT_EQ(areasAt(1200, 10).numbers.width(), millimetres(5, 1200));
    const CodedAreas a = areasAt(1200);
    EXPECT_EQ(a.spacing, millimetres(2.5, 1200));
    EXPECT_EQ(a.codes.width(), 100 + 3 * a.spacing);
    EXPECT_EQ(a.text.left, a.numbers.right + millimetres(2, 1200));
    EXPECT_EQ(a.numbers.left, a.codes.right);

    // Many long labels: never more than a third of the printable width.
    const PageFrame p = pageFrame(9921, 14031, 1200);
    const CodedAreas wide = codedAreas(p, 1200, 1, 100000, 40);
    EXPECT_EQ(wide.codes.width(), p.printable.width() / 3);
    EXPECT_GT(wide.text.width(), p.printable.width() / 2);

    // Zeros 2 mm wide each at 10 pt must shrink to 1.5 mm: three quarters.
    EXPECT_NEAR(numberFontScale(3, millimetres(6, 1200), 1200), 0.75, 0.01);
    EXPECT_EQ(numberFontScale(3, 0, 1200), 1.0);
    EXPECT_DOUBLE_EQ(defaultTextPoints(0, 0.8), 8.0);
    EXPECT_DOUBLE_EQ(defaultTextPoints(204, 0.8), 8.0);
    EXPECT_DOUBLE_EQ(defaultTextPoints(178, 0.8), 10.0);
}

TEST(PrintLayout, PagesTakeWholeLinesAndAlwaysAdvance) {
    const VectorLineMetrics lines(evenLines(100, 20));
    const auto pages = paginate(lines, 110);
    ASSERT_EQ(pages.size(), 20u);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].endLine - pages[i].firstLine, 5);
        EXPECT_EQ(pages[i].docTop, static_cast<int>(i) * 100);
        EXPECT_EQ(pages[i].docBottom, pages[i].docTop + 100);
        if (i) EXPECT_EQ(pages[i].charStart, pages[i - 1].charEnd);
    }
    EXPECT_EQ(pages.back().charEnd, 1000);

    // Pictures taller than the page: one per page, cut at the area's height, and the job ends.
    std::vector<PrintLine> tall = {{0, 1, 0, 500}, {1, 2, 500, 700}, {2, 10, 1200, 20}};
    const auto forced = paginate(VectorLineMetrics(tall), 110);
    ASSERT_EQ(forced.size(), 3u);
    EXPECT_EQ(forced[0].docBottom - forced[0].docTop, 110);
    EXPECT_EQ(forced[1].firstLine, 1);
    EXPECT_EQ(forced[2].endLine, 3);
    // An area of nothing at all still advances a line a page.
    EXPECT_EQ(paginate(VectorLineMetrics(evenLines(7, 20)), 0).size(), 7u);
    EXPECT_TRUE(paginate(VectorLineMetrics({}), 100).empty());

    // A gap between lines (a paragraph end outside both) stays with the earlier page.
    const auto gap = paginate(VectorLineMetrics({{0, 9, 0, 20}, {10, 19, 20, 20}}), 30);
    ASSERT_EQ(gap.size(), 2u);
    EXPECT_EQ(gap[0].charEnd, 10);
}

TEST(PrintLayout, StripesAcrossAPageEdgeAreFlaggedOnBothPages) {
    CodedAreas a;
    a.codes = {0, 0, 100, 100};
    a.numbers = {100, 0, 120, 100};
    a.text = {130, 0, 500, 100};
    a.spacing = 10;
    // Five 20-dot lines a page.
    const VectorLineMetrics lines(evenLines(20, 20));
    std::vector<CodingStripe> stripes = {stripe(30, 70, 0xFF0000), stripe(40, 60), stripe(0, 5)};
    const auto pages = layOutCodedText(lines, a, stripes, {0, 25, 50, 75, 120}, 10);
    ASSERT_EQ(pages.size(), 4u);

    ASSERT_EQ(pages[0].stripes.size(), 3u);
    const PageStripe* first = nullptr;
    for (const auto& s : pages[0].stripes)
        if (s.index == 0) first = &s;
    ASSERT_TRUE(first);
    // Begins on line 3 (top 60), goes on: the area's bottom, flag 4.
    EXPECT_EQ(first->top, 60);
    EXPECT_EQ(first->bottom, 100);
    EXPECT_EQ(first->flags, PageStripe::GoesOn);
    EXPECT_EQ(first->colour, 0xFF0000u);
    const PageStripe& second = pages[1].stripes.front();
    EXPECT_EQ(second.index, 0);
    EXPECT_EQ(second.flags, PageStripe::BeganBefore);
    EXPECT_EQ(second.top, 0);
    EXPECT_EQ(second.bottom, 40); // the bottom of line 6, the second of the page
    // Stripes over each other get their own columns, from the codes area's right edge.
    EXPECT_EQ(pages[1].stripes.size(), 2u);
    EXPECT_NE(pages[1].stripes[0].column, pages[1].stripes[1].column);
    for (const auto& s : pages[1].stripes) {
        EXPECT_EQ(s.x, 100 - s.column * 10);
        EXPECT_GE(s.labelColumn, s.column);
        EXPECT_EQ(s.labelRight, 100 - s.labelColumn * 10 - 5);
    }
    EXPECT_TRUE(pages[2].stripes.empty());

    // Paragraph numbers where their first character lies, on that page only.
    ASSERT_EQ(pages[0].numbers.size(), 2u);
    EXPECT_EQ(pages[0].numbers[1].paragraph, 2);
    EXPECT_EQ(pages[0].numbers[1].y, 40);
    ASSERT_EQ(pages[1].numbers.size(), 2u);
    EXPECT_EQ(pages[1].numbers[0].y, 0);
    EXPECT_EQ(pages[1].numbers[1].paragraph, 4);
    EXPECT_EQ(pages[1].numbers[1].y, 40);
    ASSERT_EQ(pages[2].numbers.size(), 1u);
    EXPECT_EQ(pages[2].numbers[0].paragraph, 5);
}

TEST(PrintLayout, LabelsPushedApartStayOnThePage) {
    CodedAreas a;
    a.codes = {0, 0, 200, 100};
    a.text = {230, 0, 500, 100};
    a.spacing = 10;
    const VectorLineMetrics lines(evenLines(5, 20));
    // Eight stripes on the page's last line: pushed down, their labels would leave the page.
    std::vector<CodingStripe> stripes;
    for (int i = 0; i < 8; ++i)
        stripes.push_back(stripe(40 + i, 50));
    const auto pages = layOutCodedText(lines, a, stripes, {0}, 10);
    ASSERT_EQ(pages.size(), 1u);
    auto labels = pages[0].stripes;
    ASSERT_EQ(labels.size(), 8u);
    std::sort(labels.begin(), labels.end(),
              [](const PageStripe& x, const PageStripe& y) { return x.labelTop < y.labelTop; });
    for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_GE(labels[i].labelTop, 0);
        EXPECT_LE(labels[i].labelTop + 10, 100);
        if (i) EXPECT_GE(labels[i].labelTop - labels[i - 1].labelTop, 10);
    }
    // More labels than the page can hold: all still on it.
    stripes.clear();
    for (int i = 0; i < 30; ++i)
        stripes.push_back(stripe(i, i + 1));
    const auto crowded = layOutCodedText(lines, a, stripes, {0}, 10);
    for (const auto& s : crowded[0].stripes) {
        EXPECT_GE(s.labelTop, 0);
        EXPECT_LE(s.labelTop + 10, 100);
        // Columns beyond the room given stay inside the codes area.
        EXPECT_GE(s.x, a.codes.left);
    }
}

using PrintDocuments = vexana::test::ProjectFixture;

TEST_F(PrintDocuments, TheProjectInformationSheetCountsEveryKind) {
    const std::int32_t group = docs().NewTextGroup();
    const std::int32_t t = text(group, "Anna", "One two.\rThree.");
    text(group, "Ben", "Four.");
    const std::int32_t c = codes().NewCode(0, "Work", false);
    codes().NewCode(c, "Night", false);
    ASSERT_TRUE(code(t, c, 0, 3));
    ASSERT_TRUE(code(t, c, 4, 7));
    const auto rows = browser::projectInformation(s());
    const std::vector<std::string> labels = {
        "\tText Groups\t", "\tTexts\t\t", "\tVariables\t\t",      "\tSets\t\t\t",
        "\tLinks\t\t\t",   "\tCodes\t\t", "\tCoded Segments\t\t", "\tMemos\t\t"};
    ASSERT_EQ(rows.size(), labels.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].label, labels[i]);
    EXPECT_EQ(rows[0].count, 1);
    EXPECT_EQ(rows[1].count, 2);
    EXPECT_EQ(rows[5].count, 2);
    EXPECT_EQ(rows[6].count, 2);
    EXPECT_EQ(rows[7].count, 0);
    const platform::RichText sheet = browser::projectInformationSheet(s());
    EXPECT_EQ(sheet.plainText().substr(0, 25), "\r\rProject Information\r\r\r\t");
    EXPECT_NE(sheet.plainText().find("\tCoded Segments\t\t2\r"), std::string::npos);
    EXPECT_EQ(sheet.charFormatAt(3).font, "Arial");
    EXPECT_EQ(sheet.charFormatAt(3).size, 30);
}
