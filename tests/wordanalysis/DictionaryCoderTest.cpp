#include "wordanalysis/DictionaryCoder.h"

#include "../analysis/ProjectFixture.h"
#include "analysis/DocumentSystem.h"
#include "platform/Files.h"
#include "store/SchemaSetup.h"
#include "wordanalysis/Dictionary.h"

using namespace vexana;
using namespace vexana::store;
namespace CoderField = wordanalysis::CoderField;
using wordanalysis::CoderOptions;
using wordanalysis::Dictionary;
using wordanalysis::DictionaryCoder;
using wordanalysis::DictionaryMatcher;

namespace {

struct Counting {
    Counting() { setUpInMemoryTopics(store); }
    TopicStore store;
    Dictionary dictionary{store};

    std::vector<std::int32_t> count(std::u32string_view text, bool once = false) {
        const DictionaryMatcher m(dictionary, browser::WordDelimiters());
        std::vector<std::int32_t> counts;
        m.match(text, once, counts, nullptr);
        return counts;
    }
};

using Counts = std::vector<std::int32_t>;

} // namespace

TEST(DictionaryMatcher, ExactStartingLettersCaseAndOnePlacePerCategory) {
    Counting c;
    const std::int32_t any = c.dictionary.newCategory("c Any", 0);
    const std::int32_t start = c.dictionary.newCategory("B start", 0);
    const std::int32_t exact = c.dictionary.newCategory("a exact", 0);
    c.dictionary.newCategory("ignored", 1);
    c.dictionary.newItem(any, "hand");
    c.dictionary.newItem(start, "hand", 0, false, false, true);
    c.dictionary.newItem(exact, "hand", 0, true);
    // Columns by name without case: "a exact", "B start", "c Any".
    EXPECT_EQ(c.count(U"hand handle secondhand"), (Counts{1, 2, 3}));
    EXPECT_EQ(c.count(U"HAND, Hand.", true), (Counts{1, 1, 1}));
    EXPECT_EQ(c.count(U""), (Counts{0, 0, 0}));

    Counting s;
    const std::int32_t cat = s.dictionary.newCategory("C", 0);
    s.dictionary.newItem(cat, "Hand", 0, false, true);
    s.dictionary.newItem(cat, "handle");
    s.dictionary.newItem(cat, "hand", 1); // Type 1: not searched
    // hand and handle both start at the word handle: one place, counted once.
    EXPECT_EQ(s.count(U"hand Handle HAND"), (Counts{1}));
    EXPECT_EQ(s.count(U"Hand handle"), (Counts{2}));
    // The search goes on after each occurrence: "aa" is twice in "aaaaa", not four times.
    Counting o;
    o.dictionary.newItem(o.dictionary.newCategory("O", 0), "aa");
    EXPECT_EQ(o.count(U"aaaaa"), (Counts{2}));
    EXPECT_EQ(o.count(U"a"), (Counts{0}));
    // Folding keeps every offset: the German sharp s and Greek sigma fold one for one.
    Counting g;
    g.dictionary.newItem(g.dictionary.newCategory("G", 0), "ΣΟΦΙΑ", 0, true);
    EXPECT_EQ(g.count(U"σοφια (Σοφια) σοφιαx"), (Counts{2}));

    const DictionaryMatcher m(c.dictionary, browser::WordDelimiters());
    EXPECT_EQ(m.words(U"one, two  three\r" + std::u32string(64, U'x') + U" four"), 4);
}

using DictionaryCoderTest = test::ProjectFixture;

TEST_F(DictionaryCoderTest, LevelsUnitsResultsKeysAndDocumentation) {
    const std::int32_t group = docs().NewTextGroup();
    const std::int32_t t1 = text(group, "One", "my hand and his handle");
    const std::int32_t t2 = text(group, "Two", "no hands here");
    const std::int32_t top = codes().NewCode(0, "Top", false);
    const std::int32_t a = codes().NewCode(top, "A", false);
    const std::int32_t b = codes().NewCode(top, "B", false);
    codes().NewCode(a, "A1", false);
    code(t1, a, 0, 7);   // "my hand"
    code(t1, a, 12, 22); // "his handle"
    code(t1, b, 8, 11);  // "and"

    Dictionary dictionary(s());
    std::int32_t body = dictionary.newCategory("Body", 0);
    dictionary.newItem(body, "hand", 0, false, false, true);
    const std::int32_t bodyNumber = body;
    const std::int32_t none = dictionary.newCategory("absent", 0);
    dictionary.newItem(none, "zebra");

    DictionaryCoder coder(*ws, dictionary);
    EXPECT_EQ(DictionaryCoder::levelBound(s(), {top}), 2); // B has no subcode
    EXPECT_EQ(DictionaryCoder::levelBound(s(), {a}), 2);
    EXPECT_EQ(DictionaryCoder::levelBound(s(), {}), 1);
    EXPECT_EQ(DictionaryCoder::parseCodesSetting("[3][x][12]["),
              (std::vector<std::int32_t>{3, 12}));

    const std::vector<std::int32_t> all =
        DictionaryCoder::textsOf(s(), analysis::ActivationScope::AllTexts, 0);
    CoderOptions whole;
    auto outcome = coder.run(all, whole);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.units, 2);
    const auto fields = s().ListFields(TopicId::CoderResults, true);
    EXPECT_EQ(fields, (std::vector<int>{CoderField::Type, CoderField::TextGroup, CoderField::Text,
                                        CoderField::TextId, CoderField::Code, CoderField::Words,
                                        CoderField::FirstCategory, CoderField::FirstCategory + 1}));
    EXPECT_EQ(s().GetField(TopicId::CoderResults, CoderField::FirstCategory)->name, "absent");
    body = CoderField::FirstCategory + 1;
    auto rows = s().ListIds(TopicId::CoderResults);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[0], CoderField::Words), 5);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[0], body), 2);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[1], body), 1);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[1], CoderField::TextGroup), group);

    // Level 2: one row per text for A and for B; with no empty units only t1's rows stay.
    CoderOptions two;
    two.level = 2;
    two.codes = {top};
    two.noEmptyItems = true;
    two.documentation = dir.file("doc.rtf");
    outcome = coder.run(all, two);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_TRUE(outcome.documented);
    rows = s().ListIds(TopicId::CoderResults);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[0], CoderField::Code), a);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[0], body), 2);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[0], CoderField::Words), 4);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[1], CoderField::Code), b);
    EXPECT_EQ(s().GetInt(TopicId::CoderResults, rows[1], body), 0);
    EXPECT_EQ(coder.storedLevel(), 2);
    EXPECT_EQ(coder.storedCodes(), std::vector<std::int32_t>{top});
    const std::string doc =
        platform::RichText::fromRtf(test::readAll(dir.file("doc.rtf"))).plainText();
    const std::string tag = "[" + std::to_string(bodyNumber) + "]";
    EXPECT_NE(doc.find("One\\A\r\rmy hand" + tag + "his hand" + tag + "le\r\r"), std::string::npos)
        << doc;

    // Level beyond the bound is clamped; a documentation file that cannot be written leaves
    // the results and says so.
    CoderOptions deep = two;
    deep.level = 9;
    deep.noEmptyItems = false;
    deep.documentation = dir.file("no/such/folder/doc.rtf");
    outcome = coder.run({t2}, deep);
    EXPECT_TRUE(outcome.ok);
    EXPECT_FALSE(outcome.documented);
    EXPECT_NE(outcome.error, "");
    EXPECT_EQ(outcome.units, 2);
    EXPECT_EQ(coder.storedLevel(), 2);
}
