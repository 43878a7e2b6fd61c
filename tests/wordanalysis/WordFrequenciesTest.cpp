#include "wordanalysis/WordFrequencies.h"

#include "../analysis/ProjectFixture.h"
#include "store/AppSettings.h"

#include <numeric>

using namespace vexana;
using namespace vexana::store;
using vexana::test::ProjectFixture;
using wordanalysis::WordCounter;
using wordanalysis::WordRow;

namespace {

std::map<std::string, std::int64_t> count(std::u32string_view text, bool caseSensitive,
                                          const std::vector<std::string>& list = {},
                                          bool goList = false,
                                          const browser::WordDelimiters& d = {}) {
    WordCounter counter(d, caseSensitive, list, goList);
    counter.countText(text);
    return {counter.counts().begin(), counter.counts().end()};
}

using Counts = std::map<std::string, std::int64_t>;

} // namespace

TEST(WordCounter, CaseLengthDelimitersAndLists) {
    EXPECT_EQ(count(U"Haus, haus. HAUS", false), (Counts{{"haus", 3}}));
    EXPECT_EQ(count(U"Haus, haus. HAUS", true), (Counts{{"HAUS", 1}, {"Haus", 1}, {"haus", 1}}));
    // Folding is Unicode's, one character for one.
    EXPECT_EQ(count(U"ÄRGER ärger Ärger", false), (Counts{{"ärger", 3}}));

    // 63 characters count, 64 do not; characters, not bytes.
    const std::u32string w63(63, U'ä'), w64(64, U'ä');
    const auto c = count(w63 + U" " + w64, false);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c.begin()->first.size(), 126u);

    // The cut-off set and line ends split; outside ASCII, Unicode blanks and punctuation do
    // too; the hyphen, not in the set, stays inside a word.
    EXPECT_EQ(count(U"a@b\r\nc\td\u00A0e\u00ABf\u00BB well-known\u2029g", false),
              (Counts{{"a", 1},
                      {"b", 1},
                      {"c", 1},
                      {"d", 1},
                      {"e", 1},
                      {"f", 1},
                      {"well-known", 1},
                      {"g", 1}}));
    const browser::WordDelimiters own(wordanalysis::withoutBlanks("- ;"));
    EXPECT_EQ(count(U"well-known;x.y", false, {}, false, own),
              (Counts{{"known", 1}, {"well", 1}, {"x.y", 1}}));
    // Folded before it is cut: with "e" in the set, "E" cuts unless the case counts.
    const browser::WordDelimiters e("e");
    EXPECT_EQ(count(U"hEy", false, {}, false, e), (Counts{{"h", 1}, {"y", 1}}));
    EXPECT_EQ(count(U"hEy", true, {}, false, e), (Counts{{"hEy", 1}}));

    // The stop list is folded: it stops Und even when counting is case-sensitive.
    const std::vector<std::string> stop = {"und"};
    EXPECT_EQ(count(U"Und und Haus", true, stop), (Counts{{"Haus", 1}}));
    // Dictionary mode: only its words; an empty dictionary lets nothing through.
    const std::vector<std::string> dict = {"baum", "haus"};
    EXPECT_EQ(count(U"Haus Baum Auto haus", false, dict, true), (Counts{{"baum", 1}, {"haus", 2}}));
    EXPECT_TRUE(count(U"Haus Baum", false, {}, true).empty());
    EXPECT_TRUE(count(U"", false).empty());
    EXPECT_EQ(wordanalysis::withoutBlanks(" @ ! ."), "@!.");
}

using WordFrequencies = ProjectFixture;

TEST_F(WordFrequencies, CountListTitleAndEmptyCounts) {
    const std::int32_t g = docs().NewTextGroup();
    const std::int32_t a = text(g, "A", "Der Hund, der Hund.\rUnd die Katze");
    const std::int32_t b = text(g, "B", "Hund und Maus");
    text(g, "C", "");
    wordanalysis::WordFrequencies wf(*ws);
    wf.stopList().add("UND");
    ASSERT_TRUE(wf.CountWords(false));
    EXPECT_EQ(wf.title(), "In 3 Texts  (8 Words Total)");
    const std::vector<WordRow> rows = wf.rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].word, "hund");
    EXPECT_EQ(rows[0].frequency, 3);
    EXPECT_DOUBLE_EQ(rows[0].percent, 37.5);
    EXPECT_EQ(rows[1].word, "der");
    EXPECT_EQ(rows[2].word, "die"); // ties by word
    double sum = 0;
    for (const WordRow& r : rows)
        sum += r.percent;
    EXPECT_NEAR(sum, 100.0, 0.05);
    EXPECT_EQ(count(TopicId::WordFrequencies), 5);
    EXPECT_FALSE(ui.progress.empty());
    EXPECT_EQ(ui.progress.back(), "Texts: 3, Words: 5");

    // Only active texts; a count that finds no word resets the total and texts.
    docs().ActivateObjects(analysis::ActivationScope::Text, b, true);
    ASSERT_TRUE(wf.CountWords(true));
    EXPECT_EQ(wf.title(), "In 1 Texts  (2 Words Total)");
    EXPECT_EQ(wf.countedTexts(), std::vector<std::int32_t>{b});
    docs().ActivateObjects(analysis::ActivationScope::Text, b, false);
    ASSERT_TRUE(wf.CountWords(true));
    EXPECT_EQ(wf.title(), "In 0 Texts  (0 Words Total)");
    EXPECT_TRUE(wf.countedTexts().empty());
    EXPECT_EQ(count(TopicId::WordFrequencies), 0);
    wf.options.goList = true;
    wf.setDictionaryWords({"Katze"});
    ASSERT_TRUE(wf.CountWords(false));
    EXPECT_EQ(wf.title(), "In 3 Texts  (1 Words Total)");
    wf.setDictionaryWords({});
    ASSERT_TRUE(wf.CountWords(false));
    EXPECT_EQ(wf.title(), "In 3 Texts  (0 Words Total)");
    EXPECT_EQ(count(TopicId::WordFrequencies), 0);

    // Add to Stop-List marks the records and writes the file; a second time adds nothing.
    wf.options.goList = false;
    ASSERT_TRUE(wf.CountWords(false));
    std::vector<std::int32_t> ids;
    for (const WordRow& r : wf.rows())
        if (r.word == "hund" || r.word == "maus") ids.push_back(r.id);
    const std::string path = dir.file("StopList.txt");
    EXPECT_EQ(wf.AddToStopList(ids, path), 2);
    EXPECT_EQ(test::readAll(path), "hund\r\nmaus\r\nund\r\n");
    EXPECT_EQ(wf.AddToStopList(ids, path), 0);
    for (const WordRow& r : wf.rows())
        EXPECT_EQ(r.type, r.word == "hund" || r.word == "maus" ? 1 : 0);
    // A failed write is told as such and changes neither the list nor the records.
    const WordRow der = wf.rows()[1];
    ASSERT_EQ(der.word, "der");
    EXPECT_EQ(wf.AddToStopList({der.id}, dir.file("no/such/StopList.txt")), -1);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_NE(ui.messages.back().text.find("not written"), std::string::npos);
    EXPECT_FALSE(wf.stopList().contains("der"));
    EXPECT_EQ(wf.rows()[1].type, 0);
    (void)a;
}

TEST(WordOptions, SettingsRoundTrip) {
    test::TempDir dir;
    AppSettings s(dir.file("vexapp.ini"));
    s.load();
    EXPECT_EQ(wordanalysis::WordOptions::fromSettings(s).delimiters, "");
    wordanalysis::WordOptions o;
    o.delimiters = "@ ! ?";
    o.caseSensitive = true;
    o.goList = true;
    o.store(s);
    const auto back = wordanalysis::WordOptions::fromSettings(s);
    EXPECT_EQ(back.delimiters, "@!?");
    EXPECT_TRUE(back.caseSensitive && back.goList);
    wordanalysis::storeStopListFolder(s, "/x/");
    EXPECT_EQ(wordanalysis::storedStopListFolder(s), "/x/");
}
