#include "browser/StripeStrip.h"

#include <gtest/gtest.h>

using namespace vexana::browser;

namespace {

CodingStripe stripe(std::int32_t id, std::int32_t a, std::int32_t b) {
    CodingStripe s;
    s.codingId = id;
    s.startChar = a;
    s.finishChar = b;
    s.label = "Code " + std::to_string(id);
    return s;
}

// Ten characters per display line, 20 pixels per line.
TextGeometry geometry(int lines, int height = 400) {
    TextGeometry g;
    g.lineOf = [](std::int32_t c) { return c / 10; };
    g.yOfLine = [](int line) { return line * 20; };
    g.yOfChar = [](std::int32_t c) { return (c / 10) * 20; };
    g.lineCount = lines;
    g.height = height;
    return g;
}

std::vector<int> columns(const StripeStrip& s) {
    std::vector<int> out;
    for (const auto& x : s.stripes())
        out.push_back(x.column);
    return out;
}

} // namespace

TEST(StripeStrip, ColumnsFollowSharedDisplayLines) {
    StripeStrip s;
    s.add(stripe(1, 0, 3));
    s.add(stripe(2, 5, 8)); // the same line, no shared characters
    s.updateLines(geometry(5).lineOf);
    EXPECT_EQ(columns(s), (std::vector<int>{1, 2}));
    StripeStrip t;
    t.add(stripe(1, 0, 5));
    t.add(stripe(2, 20, 35));
    t.add(stripe(3, 30, 45));
    t.updateLines(geometry(5).lineOf);
    EXPECT_EQ(columns(t), (std::vector<int>{1, 1, 2}));
    // Equal starts keep their order of arrival.
    t.add(stripe(4, 20, 22));
    EXPECT_EQ(t.stripes()[2].codingId, 4);
    EXPECT_TRUE(t.remove(4));
    EXPECT_FALSE(t.remove(4));
}

TEST(StripeStrip, ExtentsLabelsWidthAndHits) {
    StripeStrip s;
    s.add(stripe(1, 0, 15));  // lines 0-1
    s.add(stripe(2, 41, 49)); // the last line, 4
    s.add(stripe(3, 12, 18)); // line 1, beside the first
    const TextGeometry g = geometry(5);
    s.updateLines(g.lineOf);
    s.layOut(g);
    const auto& x = s.stripes();
    EXPECT_EQ(x[0].top, 1);
    EXPECT_EQ(x[0].bottom, 2 * 20 - 2);
    EXPECT_EQ(x[2].bottom, 80 + 14); // ends on the last line: 14 below its top
    EXPECT_EQ(x[0].labelY, 1 + (38 - 1) / 2 - 7);
    EXPECT_GE(std::abs(x[0].labelY - x[1].labelY),
              StripeStrip::LabelHeight); // labels do not overlap
    EXPECT_EQ(x[0].labelColumn, 2);
    EXPECT_EQ(s.hitTest(StripeStrip::columnX(1), 10), 0);
    EXPECT_EQ(s.hitTest(StripeStrip::columnX(2), 25), 1);
    EXPECT_EQ(s.hitTest(StripeStrip::columnX(2), 200), -1);
    EXPECT_EQ(s.neededWidth(false, {}), 18);
    EXPECT_EQ(
        s.neededWidth(true, [](const std::string& l) { return static_cast<int>(l.size()) * 6; }),
        18 + 6 + 36);
    // Only what is visible is laid out.
    TextGeometry scrolled = geometry(5, 30);
    scrolled.firstVisibleChar = 20;
    s.layOut(scrolled);
    EXPECT_FALSE(s.stripes()[0].laidOut());
    EXPECT_EQ(StripeStrip::lighten(0x008000), 0x00DE00u); // 128 is above 127: 128 + 63 + 31
    EXPECT_EQ(StripeStrip::lighten(0xA40000) >> 16, 0xA4u + (255 - 0xA4) / 2 + (255 - 0xA4) / 4);
}

TEST(StripeStrip, EditsKeepStripesAndMemosOnTheirCharacters) {
    std::vector<CodingStripe> st = {stripe(1, 10, 20), stripe(2, 30, 40), stripe(3, 50, 60)};
    std::vector<MemoPlace> memos = {{1, 35, 0}, {2, 55, 0}};
    // Delete [28, 45): stripe 2 lies wholly inside; stripe 3 moves; memo 1 goes to 28.
    followEdit(st, memos, 100, 83, 28, 45);
    EXPECT_TRUE(st[1].deleted());
    EXPECT_EQ(st[2].startChar, 33);
    EXPECT_EQ(memos[0].pos, 28);
    EXPECT_EQ(memos[1].pos, 38);
    EXPECT_EQ(st[0].flags, 0);
    // Delete the beginning of stripe 1: its start moves to the deletion point.
    followEdit(st, memos, 83, 78, 8, 13);
    EXPECT_EQ(st[0].startChar, 8);
    EXPECT_EQ(st[0].finishChar, 15);
    // Typing at a start moves the stripe; inside it or at its end it grows.
    followEdit(st, memos, 78, 80, 8, 8);
    EXPECT_EQ(st[0].startChar, 10);
    EXPECT_EQ(st[0].finishChar, 17);
    followEdit(st, memos, 80, 81, 17, 17);
    EXPECT_EQ(st[0].finishChar, 18);
    followEdit(st, memos, 81, 82, 12, 12);
    EXPECT_EQ(st[0].startChar, 10);
    EXPECT_EQ(st[0].finishChar, 19);
    EXPECT_TRUE(st[0].flags & CodingStripe::Changed);
    // A stripe whose range collapses is deleted.
    followEdit(st, memos, 82, 73, 10, 19);
    EXPECT_TRUE(st[0].deleted());
}

TEST(StripeStrip, ChangedRangeComesFromTheTexts) {
    auto range = [](std::u32string_view a, std::u32string_view b) {
        const ChangedRange r = changedRange(a, b);
        return std::pair(r.start, r.end);
    };
    EXPECT_EQ(range(U"abcdef", U"abXcdef"), std::pair(2, 2)); // typed
    EXPECT_EQ(range(U"abcdef", U"abef"), std::pair(2, 4));    // deleted
    EXPECT_EQ(range(U"abcdef", U"abXYZf"), std::pair(2, 5));  // replaced
    EXPECT_EQ(range(U"aaaa", U"aaaaa"), std::pair(4, 4));     // repeated letter
    EXPECT_EQ(range(U"aaaa", U"aa"), std::pair(2, 4));
    EXPECT_EQ(range(U"", U"new"), std::pair(0, 0));
    EXPECT_EQ(range(U"same", U"same"), std::pair(4, 4));
}

TEST(StripeStrip, ColumnsOnManyStripesAreThoseOfEveryPair) {
    // Every pair visited the slow way, as the rule reads.
    auto meet = [](const CodingStripe& a, const CodingStripe& b) {
        return (b.firstLine <= a.firstLine && a.firstLine <= b.lastLine) ||
               (b.firstLine <= a.lastLine && a.lastLine <= b.lastLine);
    };
    std::uint32_t seed = 99;
    auto next = [&](int n) {
        return static_cast<int>((seed = seed * 1103515245u + 12345u) >> 8) % n;
    };
    for (int round = 0; round < 20; ++round) {
        StripeStrip strip;
        for (int i = 0; i < 120; ++i) {
            const int a = next(2000);
            strip.add(stripe(i + 1, a, a + 1 + next(round % 2 ? 60 : 900)));
        }
        strip.stripes()[5].flags |= CodingStripe::Deleted;
        strip.updateLines([](std::int32_t c) { return c / 10; });
        strip.assignColumns();
        std::vector<CodingStripe> s = strip.stripes();
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i].deleted()) continue;
            s[i].column = 1;
            for (std::size_t j = 0; j < i; ++j)
                if (!s[j].deleted() && meet(s[i], s[j]) && s[i].column == s[j].column)
                    ++s[i].column;
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (std::size_t i = 0; i < s.size(); ++i)
                for (std::size_t j = 0; j < s.size(); ++j)
                    if (i != j && !s[i].deleted() && !s[j].deleted() && meet(s[i], s[j]) &&
                        s[i].column == s[j].column)
                        ++s[i].column, changed = true;
        }
        for (std::size_t i = 0; i < s.size(); ++i)
            ASSERT_EQ(strip.stripes()[i].column, s[i].column)
                << "round " << round << " stripe " << i;
    }
}
