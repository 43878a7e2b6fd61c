#include "wordanalysis/StopList.h"

#include "TestSupport.h"
#include "browser/TextSearch.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace vexana;
using wordanalysis::StopList;
using Words = std::vector<std::string>;

TEST(StopList, EditingAndLookup) {
    StopList s;
    EXPECT_TRUE(s.add("Und"));
    EXPECT_FALSE(s.add("UND"));
    EXPECT_TRUE(s.add("aber"));
    EXPECT_TRUE(s.add("Ärger"));
    EXPECT_EQ(s.words(), (Words{"aber", "und", "ärger"}));
    EXPECT_TRUE(s.contains("und"));
    EXPECT_FALSE(s.contains("Und")); // lookups take folded words
    EXPECT_TRUE(s.remove("ABER"));
    EXPECT_FALSE(s.remove("aber"));
    // Refused: empty, blanks, not UTF-8, longer than 63 characters.
    for (const std::string& bad :
         {std::string(), std::string("a b"), std::string("\xff"), std::string(64, 'x')}) {
        EXPECT_FALSE(StopList::refusal(bad).empty()) << bad;
        EXPECT_FALSE(s.add(bad));
    }
    EXPECT_TRUE(StopList::refusal(std::string(63, 'x')).empty());
    EXPECT_EQ(s.size(), 2u);
    EXPECT_TRUE(s.merge({"b", "a", "und"}));
    EXPECT_EQ(s.words(), (Words{"a", "b", "und", "ärger"}));
}

TEST(StopList, ReadingOddFiles) {
    const browser::WordDelimiters d;
    // BOM, CR-only lines, cut-off characters, blanks and tabs all separate; folded; distinct.
    auto r = StopList::parse("\xEF\xBB\xBF"
                             "Und\rder;die\r\n\tDER  das.\n",
                             d);
    EXPECT_TRUE(r.error.empty());
    EXPECT_EQ(r.words, (Words{"das", "der", "die", "und"}));
    // Not UTF-8: Windows-1252.
    EXPECT_EQ(StopList::parse("\xC4rger", d).words, Words{"ärger"});
    // A megabyte line is one over-long entry, left out and counted.
    r = StopList::parse("kurz " + std::string(1 << 20, 'x') + "\r\nlang", d);
    EXPECT_EQ(r.words, (Words{"kurz", "lang"}));
    EXPECT_EQ(r.tooLong, 1u);
    // Random bytes are refused as binary; without zero bytes they give only words a list may
    // hold.
    std::mt19937 rng(7);
    std::string noise(200000, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng());
    EXPECT_FALSE(StopList::parse(noise, d).error.empty());
    std::replace(noise.begin(), noise.end(), '\0', ' ');
    for (const std::string& w : StopList::parse(noise, d).words)
        EXPECT_TRUE(StopList::refusal(w).empty()) << w;
    EXPECT_FALSE(StopList::parse(std::string(StopList::maxFileBytes + 1, 'a'), d).error.empty());
}

TEST(StopList, FilesWholeOrNotAtAll) {
    test::TempDir dir;
    test::ScriptedUserInterface ui;
    const browser::WordDelimiters d;
    StopList s;
    // 100,000 entries write and read back the same.
    std::string many;
    for (int i = 0; i < 100000; ++i)
        many += "w" + std::to_string(i) + "\n";
    test::writeAll(dir.file("many.txt"), many);
    ASSERT_TRUE(s.load(dir.file("many.txt"), d, ui));
    EXPECT_EQ(s.size(), 100000u);
    ASSERT_TRUE(s.write(dir.file("out.txt")).empty());
    StopList back;
    ASSERT_TRUE(back.load(dir.file("out.txt"), d, ui));
    EXPECT_EQ(back.words(), s.words());
    EXPECT_TRUE(ui.messages.empty());

    // Entries end with CR LF; a character outside Windows-1252 makes the file UTF-8.
    StopList small;
    small.add("über");
    EXPECT_EQ(small.fileBytes(), "\xFC"
                                 "ber\r\n");
    small.add("ѣ");
    EXPECT_EQ(small.fileBytes(), "\xEF\xBB\xBF"
                                 "über\r\nѣ\r\n");

    // A missing or too large file leaves the list as it was, with a message.
    EXPECT_FALSE(small.load(dir.file("missing.txt"), d, ui));
    test::writeAll(dir.file("huge.txt"), std::string(StopList::maxFileBytes + 1, 'a'));
    EXPECT_FALSE(small.load(dir.file("huge.txt"), d, ui, true));
    EXPECT_EQ(small.size(), 2u);
    EXPECT_EQ(ui.messages.size(), 2u);
    // Over-long entries are left out with a warning; the rest is merged.
    test::writeAll(dir.file("long.txt"), "neu " + std::string(100, 'y'));
    EXPECT_TRUE(small.load(dir.file("long.txt"), d, ui, true));
    EXPECT_EQ(small.size(), 3u);
    EXPECT_EQ(ui.messages.back().icon, store::MessageIcon::Warning);
    // A write that cannot happen leaves the old file whole.
    EXPECT_FALSE(small.write(dir.file("no/such/x.txt")).empty());
}
