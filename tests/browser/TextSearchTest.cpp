#include "browser/TextSearch.h"

#include "../analysis/ProjectFixture.h"
#include "platform/Files.h"
#include "store/AppSettings.h"

#include <fstream>

using namespace vexana;
using namespace vexana::store;
using browser::HitContext;
using browser::SearchHit;
using browser::SearchSettings;
using vexana::test::ProjectFixture;

namespace {

SearchSettings settingsOf(std::vector<std::string> strings) {
    SearchSettings s;
    s.strings = std::move(strings);
    return s;
}

// (string, start, paragraph) of each hit of one plain text.
std::vector<std::tuple<int, int, int>> find(const SearchSettings& s, std::u32string text) {
    const browser::SearchPattern pattern(s, browser::WordDelimiters());
    std::vector<SearchHit> hits;
    pattern.searchObject(text, 7, 0, nullptr, hits);
    std::vector<std::tuple<int, int, int>> out;
    for (const SearchHit& h : hits)
        out.emplace_back(h.string, h.start, h.paragraph);
    return out;
}

using Hits = std::vector<std::tuple<int, int, int>>;

} // namespace

TEST(SearchSettings, OptionStringParsingAndSeaFiles) {
    SearchSettings s = settingsOf({"a", "b"});
    s.wholeWords = true;
    EXPECT_EQ(s.optionString(), "0|0|0|1|1|0|0|0|a|b");
    EXPECT_EQ(SearchSettings::parse(s.optionString()), s);
    EXPECT_EQ(SearchSettings().optionString(), "0|0|0|1|0|0|0|0");

    // Missing numbers keep their defaults, non-numbers are 0, strings need all eight.
    SearchSettings few = SearchSettings::parse("1|x|1");
    EXPECT_TRUE(few.inMemos);
    EXPECT_FALSE(few.useAnd);
    EXPECT_TRUE(few.within);
    EXPECT_EQ(few.withinParagraphs, 1);
    EXPECT_TRUE(few.strings.empty());
    // Empty strings (a trailing "|", two in a row) are dropped; the paragraph count is bounded.
    SearchSettings odd = SearchSettings::parse("0|1|1|99999999999|0|1|1|1|x||y|");
    EXPECT_EQ(odd.strings, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(odd.withinParagraphs, 10000);
    EXPECT_TRUE(odd.caseSensitive && odd.onlyActiveTexts && odd.onlyRetrievedSegments);
    EXPECT_EQ(SearchSettings::parse("0|0|0|-5").withinParagraphs, 1);

    // "|" would split a string when it is read back: refused before anything is written.
    EXPECT_NE(SearchSettings::refusal("a|b"), "");
    EXPECT_EQ(SearchSettings::refusal("a b"), "");

    test::TempDir dir;
    const std::string path = dir.file("s.sea");
    EXPECT_EQ(browser::writeSeaFile(path, s), "");
    EXPECT_EQ(*platform::readFile(path), std::string("0|0|0|1|1|0|0|0|a|b") + '\0');
    SearchSettings back;
    EXPECT_EQ(browser::readSeaFile(path, back), "");
    EXPECT_EQ(back, s);
    EXPECT_NE(browser::writeSeaFile(path, settingsOf({"x|y"})), "");
    EXPECT_EQ(*platform::readFile(path), std::string("0|0|0|1|1|0|0|0|a|b") + '\0');
    EXPECT_NE(browser::readSeaFile(dir.file("none.sea"), back), "");
    EXPECT_EQ(back, s);

    // Bad bytes: no zero byte, bytes after it, Windows-1252, random bytes.
    EXPECT_EQ(browser::parseSeaBytes("0|0|0|1|0|0|0|0|cat").strings,
              std::vector<std::string>{"cat"});
    EXPECT_EQ(browser::parseSeaBytes(std::string("0|0|0|1|0|0|0|0|a\0|b", 20)).strings,
              std::vector<std::string>{"a"});
    EXPECT_EQ(browser::parseSeaBytes("0|0|0|1|0|0|0|0|Stra\xDF"
                                     "e")
                  .strings,
              std::vector<std::string>{"Stra\xC3\x9F"
                                       "e"});
    std::string noise;
    for (int i = 0; i < 5000; ++i)
        noise.push_back(static_cast<char>((i * 7919 + 13) % 256));
    for (const std::string& str : browser::parseSeaBytes(noise).strings)
        EXPECT_FALSE(str.empty());
    // Larger than the bound: refused with a reason.
    {
        std::ofstream big(dir.file("big.sea"), std::ios::binary);
        big << std::string(browser::maxSeaFileBytes + 1, 'a');
    }
    EXPECT_NE(browser::readSeaFile(dir.file("big.sea"), back), "");

    // Section LookFor.
    AppSettings app(dir.file("vexapp.ini"));
    EXPECT_EQ(browser::storedSearchSettings(app), SearchSettings());
    browser::storeSearchSettings(app, s, "/tmp/");
    EXPECT_EQ(browser::storedSearchSettings(app), s);
    EXPECT_EQ(browser::storedSearchFolder(app), "/tmp/");
    EXPECT_EQ(app.profile().readString("LookFor", "Data"), "0|0|0|1|1|0|0|0|a|b");
}

TEST(SearchPattern, PlacesWordsCaseAndCombination) {
    // Not overlapping; a hit's paragraph counts only non-empty paragraphs.
    EXPECT_EQ(find(settingsOf({"aa"}), U"aaaa"), (Hits{{0, 0, 1}, {0, 2, 1}}));
    EXPECT_EQ(find(settingsOf({"x"}), U"\r\rab x\rx"), (Hits{{0, 5, 1}, {0, 7, 2}}));
    // Whole words: the hyphen is not a delimiter.
    SearchSettings words = settingsOf({"cat"});
    words.wholeWords = true;
    EXPECT_EQ(find(words, U"the cat."), (Hits{{0, 4, 1}}));
    EXPECT_EQ(find(words, U"(cat)"), (Hits{{0, 1, 1}}));
    EXPECT_EQ(find(words, U"cat-like cats \u00A7cat\u00B0"), (Hits{{0, 15, 1}}));
    // The word analysis' own set replaces the built-in one; the space stays.
    const browser::WordDelimiters own("-");
    EXPECT_TRUE(own.contains(U'-') && own.contains(U' ') && own.contains(U'\r'));
    EXPECT_FALSE(own.contains(U'.'));
    EXPECT_FALSE(browser::WordDelimiters().contains(U'-'));

    // Case: folded one code point for one, so offsets stay; ß does not become "ss".
    EXPECT_EQ(find(settingsOf({"\xC3\x84PFEL"}), U"x \u00E4pfel \u00C4PFEL"),
              (Hits{{0, 2, 1}, {0, 8, 1}}));
    EXPECT_EQ(find(settingsOf({"STRASSE"}), U"stra\u00DFe"), Hits{});
    EXPECT_EQ(find(settingsOf({"\xE1\xBA\x9E"}), U"a\u00DF"), (Hits{{0, 1, 1}}));
    EXPECT_EQ(find(settingsOf({"\xCE\xA3"}), U"\u03C3\u03C2"), (Hits{{0, 0, 1}, {0, 1, 1}}));
    SearchSettings exact = settingsOf({"Cat"});
    exact.caseSensitive = true;
    EXPECT_EQ(find(exact, U"cat Cat"), (Hits{{0, 4, 1}}));
    // Outside the Basic Multilingual Plane and with combining characters: one offset per
    // code point; Deseret capitals fold to their small letters.
    EXPECT_EQ(find(settingsOf({"\xF0\x90\x90\x80"}), U"a\U00010428b\U00010400"),
              (Hits{{0, 1, 1}, {0, 3, 1}}));
    EXPECT_EQ(find(settingsOf({"e\xCC\x81t"}), U"caf\u00E9 e\u0301te"), (Hits{{0, 5, 1}}));

    // AND without Within: one missing string drops every hit of the object.
    SearchSettings both = settingsOf({"a", "b"});
    both.useAnd = true;
    EXPECT_EQ(find(both, U"a a"), Hits{});
    EXPECT_EQ(find(both, U"a\rb a"), (Hits{{0, 0, 1}, {0, 4, 2}, {1, 2, 2}}));
    // AND within 1: the same paragraph; within 2: the next one too.
    both.within = true;
    const std::u32string text = U"b\ra\ra b\rx\ra\r\r\rb";
    EXPECT_EQ(find(both, text), (Hits{{0, 4, 3}, {1, 6, 3}}));
    both.withinParagraphs = 2;
    EXPECT_EQ(find(both, text),
              (Hits{{0, 2, 2}, {0, 4, 3}, {0, 10, 5}, {1, 0, 1}, {1, 6, 3}, {1, 14, 6}}));
    // A drop can take away another hit's only partner: c in 1 needs a in 1 or 2, a in 2 needs b.
    SearchSettings three = settingsOf({"a", "b", "c"});
    three.useAnd = three.within = true;
    three.withinParagraphs = 2;
    EXPECT_EQ(find(three, U"c\ra\rz\rz\rb c a"), (Hits{{0, 12, 5}, {1, 8, 5}, {2, 10, 5}}));
    // A string of one hit only combined with itself never drops it.
    SearchSettings one = settingsOf({"a"});
    one.useAnd = one.within = true;
    EXPECT_EQ(find(one, U"a"), (Hits{{0, 0, 1}}));
}

TEST(SearchPattern, ParagraphSpansMergeOnlyWhenTheyShareOne) {
    const auto spans = [](std::vector<int> paras, int around, int count) {
        std::vector<std::pair<int, int>> out;
        for (const auto& s : browser::mergeParagraphSpans(paras, around, count))
            out.emplace_back(s.first, s.last);
        return out;
    };
    using P = std::vector<std::pair<int, int>>;
    EXPECT_EQ(spans({3, 5}, 1, 10), (P{{2, 6}}));
    EXPECT_EQ(spans({3, 6}, 1, 10), (P{{2, 4}, {5, 7}}));
    EXPECT_EQ(spans({6, 1, 10}, 2, 10), (P{{1, 3}, {4, 10}}));
    EXPECT_EQ(spans({3, 3}, 0, 10), (P{{3, 3}}));
    const auto merged = browser::mergeParagraphSpans({5, 2, 4}, 1, 9);
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].hits, (std::vector<std::size_t>{0, 1, 2}));
}

using TextSearch = ProjectFixture;

TEST_F(TextSearch, TextsMemosResultsCodingAndExport) {
    const std::int32_t group = docs().NewTextGroup();
    const std::int32_t a = text(group, "A", "\r\rThe cat sat.\rA dog.\rNo cat here.");
    const std::int32_t b = text(group, "B", "dog and dog");
    browser::TextSearch search(*ws);

    browser::SearchOutcome out = search.run(settingsOf({"cat", "dog"}), {});
    EXPECT_EQ(out.searched, 2);
    ASSERT_EQ(out.hits.size(), 5u);
    EXPECT_EQ(out.objects, (std::vector<std::int32_t>{a, b}));
    EXPECT_EQ(out.hits[0].start, 6);
    EXPECT_EQ(out.hits[0].end, 9);
    EXPECT_EQ(out.hits[1].paragraph, 3);
    EXPECT_EQ(ui.progress.back(), "Texts: 2, Hits: 5");
    // AND over two strings of which one is only in A: only A's hits.
    SearchSettings both = settingsOf({"cat", "dog"});
    both.useAnd = true;
    out = search.run(both, {});
    ASSERT_EQ(out.hits.size(), 3u);
    EXPECT_EQ(out.objects, std::vector<std::int32_t>{a});

    // Only active texts, then only retrieved segments of them.
    docs().ActivateObjects(analysis::ActivationScope::Text, b, true);
    SearchSettings active = settingsOf({"dog"});
    active.onlyActiveTexts = true;
    out = search.run(active, {});
    EXPECT_EQ(out.searched, 1);
    EXPECT_EQ(out.hits.size(), 2u);
    active.onlyRetrievedSegments = true;
    out = search.run(active, {{b, 5, 8}});
    ASSERT_EQ(out.hits.size(), 1u);
    EXPECT_EQ(out.hits[0].start, 8);
    out = search.run(active, {{a, 0, 99}});
    EXPECT_EQ(out.searched, 0);

    // Results: one record per hit; "in %d Texts".
    out = search.run(settingsOf({"cat", "dog"}), {});
    search.storeResults(out);
    EXPECT_EQ(count(TopicId::SearchResults), 5);
    EXPECT_EQ(search.textsWithResults(), 2);
    EXPECT_EQ(browser::TextSearch::resultsLine(search.textsWithResults()), "in 2 Texts");
    const std::int32_t first = s().ListIds(TopicId::SearchResults).front();
    EXPECT_EQ(s().GetInt(TopicId::SearchResults, first, 2), a);
    EXPECT_EQ(s().GetText(TopicId::SearchResults, first, 3), "cat");
    EXPECT_EQ(s().GetInt(TopicId::SearchResults, first, 5), 9);
    // A search without hits still replaces the results.
    browser::TextSearch(*ws).storeResults(search.run(settingsOf({"zebra"}), {}));
    EXPECT_EQ(count(TopicId::SearchResults), 0);
    EXPECT_EQ(search.textsWithResults(), 0);

    // Coding: the strings alone; a second run makes no duplicates and says so.
    search.storeResults(search.run(settingsOf({"cat", "dog"}), {}));
    const std::int32_t code = codes().NewCode(0, "Animals", false);
    const int before = count(TopicId::Codings);
    EXPECT_EQ(search.codeResults(code, 250, {}), 5);
    EXPECT_EQ(ui.messages.back().text, "5 Text Segments coded");
    EXPECT_EQ(count(TopicId::Codings), before + 5);
    EXPECT_EQ(search.codeResults(code, 50, {}), 0);
    EXPECT_EQ(ui.messages.back().text, "0 Text Segments coded");
    bool weighted = false;
    for (std::int32_t c : s().FindIds(TopicId::Codings, TopicId::Codes, code))
        weighted = weighted || s().GetInt(TopicId::Codings, c, CodingField::Weight) == 100;
    EXPECT_TRUE(weighted);

    // Paragraphs ±1: A's hits in 1, 2, 3 make one coding over the whole text.
    const std::int32_t wide = codes().NewCode(0, "Wide", false);
    EXPECT_EQ(search.codeResults(wide, 100, {1, 1}, false), 2);
    std::vector<std::pair<int, int>> ranges;
    for (std::int32_t c : s().FindIds(TopicId::Codings, TopicId::Codes, wide))
        ranges.emplace_back(s().GetInt(TopicId::Codings, c, CodingField::StartChar),
                            s().GetInt(TopicId::Codings, c, CodingField::FinishChar));
    std::sort(ranges.begin(), ranges.end());
    EXPECT_EQ(ranges, (std::vector<std::pair<int, int>>{{0, 11}, {2, 34}}));

    // Export: headings, the found characters, paragraphs with the strings.
    const std::string path = dir.file("hits.rtf");
    EXPECT_EQ(search.exportResults(path, {}), "");
    std::string plain = platform::RichText::fromRtf(*platform::readFile(path)).plainText();
    EXPECT_EQ(plain.substr(0, 13), "A (1)\rcat\r\rA ");
    EXPECT_TRUE(platform::RichText::fromRtf(*platform::readFile(path)).charFormatAt(0).bold);
    EXPECT_EQ(search.exportResults(path, {1, 0}), "");
    plain = platform::RichText::fromRtf(*platform::readFile(path)).plainText();
    EXPECT_EQ(plain.substr(0, 25), "A (1-1)\rcat\rThe cat sat.\r");
    EXPECT_NE(plain.find("B (1-1)\rdog\rdog\rdog and dog"), std::string::npos);
    EXPECT_NE(search.exportResults(dir.file("no/such/hits.rtf"), {}), "");

    // Memos: their body, not their title.
    RecordCursor memo;
    ASSERT_TRUE(s().NewRecord(TopicId::Memos, memo));
    memo.setText(MemoField::Title, "zebra title");
    memo.setBlock(MemoField::Body, platform::RichText::fromPlain("A Zebra body").toRtf());
    ASSERT_TRUE(s().Save(memo, true));
    const std::int32_t memoId = s().ListIds(TopicId::Memos).back();
    SearchSettings memos = settingsOf({"zebra"});
    memos.inMemos = true;
    out = search.run(memos, {});
    EXPECT_EQ(out.objects, std::vector<std::int32_t>{memoId});
    EXPECT_EQ(ui.progress.back(), "Memos: 1, Hits: 1");
    memos.strings = {"title"};
    EXPECT_TRUE(search.run(memos, {}).objects.empty());
}

TEST_F(TextSearch, HugeAndManyStrings) {
    const std::int32_t group = docs().NewTextGroup();
    std::string body;
    for (int i = 0; i < 500; ++i)
        body += "word" + std::to_string(i) + " \xF0\x9F\x98\x80 ";
    text(group, "Long", body);
    browser::TextSearch search(*ws);
    // A string of a megabyte is simply not found; the text is searched whole.
    EXPECT_TRUE(search.run(settingsOf({std::string(1 << 20, 'w')}), {}).hits.empty());
    const auto last = search.run(settingsOf({"word499"}), {});
    ASSERT_EQ(last.hits.size(), 1u);
    int offset = 0;
    for (int i = 0; i < 499; ++i)
        offset += 7 + static_cast<int>(std::to_string(i).size());
    EXPECT_EQ(last.hits[0].start, offset);
    // Ten thousand strings, with AND within: each string is looked for once.
    SearchSettings many;
    for (int i = 0; i < 10000; ++i)
        many.strings.push_back("word" + std::to_string(i) + " ");
    EXPECT_EQ(search.run(many, {}).hits.size(), 500u);
    many.useAnd = many.within = true;
    EXPECT_TRUE(search.run(many, {}).hits.empty());
}
