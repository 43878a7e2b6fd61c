#include "variables/VariableActivation.h"

#include "VariablesFixture.h"
#include "platform/Files.h"
#include "store/AppSettings.h"

#include <random>

using namespace vexana;
using namespace vexana::store;
using namespace vexana::variables;
using vexana::test::readAll;
using vexana::test::VariablesFixture;
using vexana::test::writeAll;

namespace {

FormulaRow row(int field, int combination, int op, std::string value) {
    return {field, "", combination, op, std::move(value)};
}

} // namespace

TEST_F(VariablesFixture, RowsShowAndNormaliseTheirValues) {
    const int age = vars.Add("Age", TypeInteger);
    FormulaRow r = newRow(s(), age);
    EXPECT_EQ(r, (FormulaRow{age, "Age", Combination::Or, Operator::Equal, ""}));
    r = {age, "Age", Combination::And, Operator::Greater, "30"};
    EXPECT_EQ(rowText(s(), r, true), "[Age] > 30");
    EXPECT_EQ(rowText(s(), r, false), ".And. [Age] > 30");
    r.combination = Combination::Or;
    r.op = Operator::NotEqual;
    EXPECT_EQ(rowText(s(), r, false), ".OR. [Age] <> 30");
    vars.Rename(age, "Years");
    EXPECT_EQ(rowText(s(), r, true), "[Years] <> 30");
    vars.Remove(age);
    EXPECT_EQ(rowText(s(), r, true), "[?] <> 30");

    const auto norm = [&](int type, std::string_view text) {
        FieldInfo f;
        f.type = type;
        return normaliseValue(f, text);
    };
    EXPECT_EQ(norm(TypeInteger, "12abc"), "12");
    EXPECT_EQ(norm(TypeInteger, "abc"), "0");
    EXPECT_EQ(norm(TypeFloat, "2.5"), "2.500000");
    EXPECT_EQ(norm(TypeFloat, "0.0000004"), "4e-07");
    EXPECT_EQ(norm(TypeFloat, "1e300"), "1e+300");
    EXPECT_EQ(norm(TypeDateTime, "2024-01-02 13:45"), "2024-01-02 13:45");
    EXPECT_EQ(norm(TypeDateTime, "soon"), "");
    EXPECT_EQ(norm(TypeBoolean, "5"), "1");
    EXPECT_EQ(norm(TypeBoolean, "yes"), "0");
    EXPECT_EQ(norm(TypeString, std::string(70, 's')), std::string(63, 's'));
    EXPECT_EQ(operatorOf("<>"), Operator::NotEqual);
    EXPECT_EQ(operatorOf("=="), -1);
}

TEST_F(VariablesFixture, ConditionsJoinLeftToRightAndCompareByType) {
    const std::int32_t g = group("G");
    const int a = vars.Add("A", TypeBoolean), b = vars.Add("B", TypeBoolean),
              c = vars.Add("C", TypeBoolean);
    // Texts holding every combination of A, B and C.
    std::vector<std::int32_t> texts;
    for (int bits = 0; bits < 8; ++bits) {
        texts.push_back(text(g, "T" + std::to_string(bits)));
        vars.SetValue(texts.back(), a, bits & 1 ? "1" : "0");
        vars.SetValue(texts.back(), b, bits & 2 ? "1" : "0");
        vars.SetValue(texts.back(), c, bits & 4 ? "1" : "0");
    }
    const std::vector<FormulaRow> aOrBAndC = {row(a, Combination::And, 0, "1"),
                                              row(b, Combination::Or, 0, "1"),
                                              row(c, Combination::And, 0, "1")};
    const std::vector<FormulaRow> aAndBOrC = {row(a, Combination::Or, 0, "1"),
                                              row(b, Combination::And, 0, "1"),
                                              row(c, Combination::Or, 0, "1")};
    std::vector<std::int32_t> ids;
    const auto first = evaluate(s(), aOrBAndC, &ids);
    const auto second = evaluate(s(), aAndBOrC);
    ASSERT_EQ(ids, texts);
    for (int bits = 0; bits < 8; ++bits) {
        const bool A = bits & 1, B = bits & 2, C = bits & 4;
        EXPECT_EQ(first[bits] != 0, (A || B) && C) << bits;
        EXPECT_EQ(second[bits] != 0, (A && B) || C) << bits;
    }
    EXPECT_EQ(first[1], 0);  // A true, B false, C false
    EXPECT_EQ(second[6], 1); // A false, B true, C true

    // Boolean "= 0" picks exactly the texts whose flag is off.
    const auto off = evaluate(s(), {row(a, 0, Operator::Equal, "0")});
    for (int bits = 0; bits < 8; ++bits)
        EXPECT_EQ(off[bits] != 0, (bits & 1) == 0);

    const std::int32_t x = texts[0], y = texts[1], z = texts[2];
    const int score = vars.Add("Score", TypeFloat), sex = vars.Add("Sex", TypeString),
              kids = vars.Add("Kids", TypeInteger), when = vars.Add("When", TypeDateTime);
    vars.SetValue(x, score, "10");
    vars.SetValue(y, score, "2.5");
    vars.SetValue(x, sex, "Female");
    vars.SetValue(y, sex, "FEMALE");
    vars.SetValue(z, sex, "male");
    vars.SetValue(x, kids, "2");
    vars.SetValue(x, when, "2024-03-01 12:00");
    vars.SetValue(y, when, "2023-03-01");
    const auto holds = [&](const FormulaRow& r, std::int32_t t) {
        std::vector<std::int32_t> order;
        const auto truth = evaluate(s(), {r}, &order);
        return truth[std::find(order.begin(), order.end(), t) - order.begin()] != 0;
    };
    EXPECT_TRUE(
        holds(row(score, 0, Operator::Greater, "2.500000"), x)); // 10 > 2.5, not "10" < "2.5"
    EXPECT_FALSE(holds(row(score, 0, Operator::Greater, "2.500000"), y));
    EXPECT_TRUE(holds(row(sex, 0, Operator::Equal, "female"), x));
    EXPECT_TRUE(holds(row(sex, 0, Operator::Equal, "female"), y));
    EXPECT_FALSE(holds(row(sex, 0, Operator::Equal, "female"), z));
    EXPECT_TRUE(holds(row(sex, 0, Operator::Equal, ""), texts[3])); // an empty text
    EXPECT_TRUE(holds(row(kids, 0, Operator::Equal, "0"), y));      // empty Integer is 0
    EXPECT_TRUE(holds(row(kids, 0, Operator::Less, "3"), x));
    EXPECT_TRUE(holds(row(when, 0, Operator::Greater, "2024-01-01"), x));
    EXPECT_FALSE(holds(row(when, 0, Operator::Greater, "2024-01-01"), y));
    // Beyond ASCII, and texts too long for their slot's bytes, compare by folded characters.
    std::string umlauts, upper;
    for (int i = 0; i < 40; ++i)
        umlauts += "\xC3\xA4", upper += "\xC3\x84";
    vars.SetValue(texts[4], sex, "M\xC3\xBCller");
    vars.SetValue(texts[5], sex, umlauts);
    EXPECT_TRUE(holds(row(sex, 0, Operator::Equal, "M\xC3\x9CLLER"), texts[4]));
    EXPECT_FALSE(holds(row(sex, 0, Operator::Equal, "mueller"), texts[4]));
    EXPECT_TRUE(holds(row(sex, 0, Operator::NotEqual, "mueller"), texts[4]));
    EXPECT_TRUE(holds(row(sex, 0, Operator::Equal, upper), texts[5]));
    EXPECT_TRUE(holds(row(sex, 0, Operator::Greater, "male"), texts[4]));
    // A row that cannot be read is true: a field that is gone, an operator out of range.
    EXPECT_TRUE(holds(row(999, 0, Operator::Equal, "1"), x));
    EXPECT_TRUE(holds(row(kids, 0, 7, "1"), x));
}

TEST_F(VariablesFixture, ActivationSetsEveryTextAndRebuildsOnce) {
    const std::int32_t g = group("G");
    const int age = vars.Add("Age", TypeInteger);
    std::vector<std::int32_t> texts;
    for (int i = 0; i < 6; ++i) {
        texts.push_back(text(g, "T" + std::to_string(i)));
        vars.SetValue(texts.back(), age, std::to_string(20 + 5 * i));
    }
    docs().ActivateObjects(analysis::ActivationScope::Text, texts[0], true);
    variables::VariableActivation act(*ws);
    const int builds = ws->retrievalBuilds();
    const std::string undo = doc.undoText();
    EXPECT_FALSE(act.Activate()); // no rows: nothing changes
    EXPECT_TRUE(ws->IsActive(TopicId::Texts, texts[0]));
    act.rows = {row(age, 0, Operator::Greater, "30")};
    EXPECT_TRUE(act.Activate());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ws->IsActive(TopicId::Texts, texts[i]), 20 + 5 * i > 30) << i;
    EXPECT_EQ(ws->activeTexts, 3);
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    EXPECT_FALSE(act.Activate()); // the same again changes nothing and rebuilds nothing
    EXPECT_EQ(ws->retrievalBuilds(), builds + 1);
    EXPECT_EQ(doc.undoText(), undo); // activation stays in memory
}

TEST_F(VariablesFixture, ConditionFilesRoundTripAndDamagedOnesAreRefused) {
    const int age = vars.Add("Age", TypeInteger), sex = vars.Add("Sex", TypeString),
              when = vars.Add("When", TypeDateTime), score = vars.Add("Score", TypeFloat);
    variables::VariableActivation act(*ws);
    act.rows = {{age, "Age", Combination::Or, Operator::Greater, "30"},
                {sex, "Sex", Combination::And, Operator::Equal, "female"},
                {when, "When", Combination::Or, Operator::Less, "2024-01-02 13:45"},
                {score, "Score", Combination::And, Operator::NotEqual, "2.500000"}};
    const auto saved = act.rows;
    ASSERT_TRUE(act.Save(dir.file("c.loa")));
    EXPECT_EQ(readAll(dir.file("c.loa")),
              std::to_string(age) + "|Age|0|3|30~" + std::to_string(sex) + "|Sex|1|0|female~" +
                  std::to_string(when) + "|When|0|2|2024-01-02 13:45~" + std::to_string(score) +
                  "|Score|1|1|2.500000~" + std::string(1, '\0'));
    EXPECT_EQ(act.defaultFolder(), dir.path() + "/");
    act.rows.clear();
    ASSERT_TRUE(act.Open(dir.file("c.loa")));
    EXPECT_EQ(act.rows, saved);

    // A row is matched by its field's name: a stale id does not matter, a gone name drops it.
    writeAll(dir.file("d.loa"), "77|Age|0|0|5~3|Gone|1|0|x~");
    ASSERT_TRUE(act.Open(dir.file("d.loa")));
    EXPECT_EQ(act.rows, (std::vector<FormulaRow>{{age, "Age", 0, 0, "5"}}));

    // Damaged files change nothing and say what is wrong.
    const std::pair<std::string, std::string> damaged[] = {
        {"1|Age|0|7|5~", "row 1 has no operator 0 to 3"},
        {"1|Age|0|-1|5~", "row 1 has no operator 0 to 3"},
        {"1|Age|2|0|5~", "row 1 has no combination 0 (OR) or 1 (AND)"},
        {"1|Age|0|0|abc~", "row 1 compares Age with \"abc\", which is no Integer"},
        {"1|Age|0|0|5~1|When|0|0|soon~",
         "row 2 compares When with \"soon\", which is no Date/Time"},
        {"1|Score|0|0|2.5x~", "row 1 compares Score with \"2.5x\", which is no Floating point"},
        {"1|Age|0~", "row 1 is incomplete"},
        {"1|Age|0|0|5~1|Age|0|0|6", "row 2 does not end with \"~\""},
        {"x|Age|0|0|5~", "row 1 has no field id"},
    };
    act.rows = saved;
    for (const auto& [bytes, why] : damaged) {
        writeAll(dir.file("bad.loa"), bytes);
        ui.messages.clear();
        EXPECT_FALSE(act.Open(dir.file("bad.loa"))) << bytes;
        ASSERT_EQ(ui.messages.size(), 1u) << bytes;
        EXPECT_EQ(ui.messages[0].text, "The condition file " + dir.file("bad.loa") +
                                           " is damaged: " + why +
                                           "; the condition was not changed.");
        EXPECT_EQ(act.rows, saved);
    }
    // Random bytes never give a row that would be read wrongly.
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 64, '\0');
        for (char& ch : bytes)
            ch = "0123|~AgeSx-5 "[random() % 14];
        std::vector<FormulaRow> rows;
        std::string why;
        if (!readCondition(s(), bytes, rows, why)) continue;
        for (const auto& r : rows) {
            EXPECT_TRUE(r.op >= 0 && r.op <= 3);
            EXPECT_TRUE(r.combination == 0 || r.combination == 1);
            EXPECT_TRUE(r.fieldId == age || r.fieldId == sex) << bytes;
        }
    }
    std::string huge(VariableActivation::maxFileBytes + 1, ' ');
    writeAll(dir.file("huge.loa"), huge);
    EXPECT_FALSE(act.Open(dir.file("huge.loa")));
    EXPECT_FALSE(act.Open(dir.file("missing.loa")));

    // What the form cannot carry is refused before anything is written.
    for (const std::string& value : {"a|b", "a~b", "two\nlines"}) {
        act.rows = {{sex, "Sex", 0, 0, value}};
        ui.messages.clear();
        EXPECT_FALSE(act.Save(dir.file("e.loa")));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find("holds \"|\", \"~\" or a line break"),
                  std::string::npos);
        EXPECT_FALSE(platform::fileExists(dir.file("e.loa")));
    }
    ui.messages.clear();
    vars.Add("Pipe|Name", TypeString);
    act.rows = {newRow(s(), vars.Find("Pipe|Name"))};
    EXPECT_FALSE(act.Save(dir.file("e.loa")));
    act.rows = saved;
    EXPECT_FALSE(act.Save(dir.file("no/folder/c.loa")));
    EXPECT_EQ(ui.messages.back().text.rfind("The condition cannot be written to ", 0), 0u);
}

TEST_F(VariablesFixture, TheLastConditionIsKeptInTheSettings) {
    const int age = vars.Add("Age", TypeInteger);
    variables::VariableActivation act(*ws);
    act.rows = {{age, "Age", 0, Operator::Less, "18"}};
    ASSERT_TRUE(act.Save(dir.file("kids.loa")));
    AppSettings settings(dir.file("vexapp.ini"));
    act.StoreSettings(settings);
    ASSERT_EQ(settings.save(), "");
    const std::string ini = readAll(dir.file("vexapp.ini"));
    EXPECT_NE(ini.find("[LogActivation]"), std::string::npos);
    EXPECT_NE(ini.find("Data=" + std::to_string(age) + "|Age|0|2|18~"), std::string::npos);
    AppSettings again(dir.file("vexapp.ini"));
    again.load();
    variables::VariableActivation next(*ws);
    next.LoadSettings(again);
    EXPECT_EQ(next.rows, act.rows);
    EXPECT_EQ(next.defaultFolder(), dir.path() + "/");
}
