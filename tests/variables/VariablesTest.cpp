#include "VariablesFixture.h"

using namespace vexana;
using namespace vexana::store;
using namespace vexana::variables;
using vexana::test::VariablesFixture;

TEST_F(VariablesFixture, AddRenameDeleteAreUnitsThatUndoTakesBack) {
    const std::int32_t t = text(group("Interviews"), "Anna");
    const int fields = fieldCount();
    std::vector<int> ids;
    for (const auto& type : offeredTypes())
        ids.push_back(vars.Add(std::string(type.name) + " var", type.code));
    ASSERT_EQ(ids.size(), 5u);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const FieldInfo* f = s().GetField(TopicId::Texts, ids[i]);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->type, offeredTypes()[i].code);
        EXPECT_EQ(f->state, 194);
        EXPECT_EQ(f->parentTopic, 0);
    }
    EXPECT_EQ(vars.Find("  integer VAR "), ids[1]);
    EXPECT_EQ(vars.Find("Textname"), -1); // a built-in field is no variable
    EXPECT_EQ(vars.List(), ids);

    ASSERT_TRUE(vars.SetValue(t, ids[1], "41"));
    ASSERT_TRUE(vars.Rename(ids[1], "Age"));
    EXPECT_TRUE(vars.Rename(ids[1], "AGE")); // its own name in another case
    EXPECT_EQ(doc.undoText(), "Undo Rename Variable");
    ASSERT_TRUE(vars.Remove(ids[1]));
    EXPECT_EQ(doc.undoText(), "Undo Delete Variable");
    EXPECT_EQ(s().GetField(TopicId::Texts, ids[1]), nullptr);

    reopen();
    EXPECT_EQ(fieldCount(), fields + 4);
    EXPECT_FALSE(doc.canUndo()); // the history went with the project
    EXPECT_EQ(s().GetField(TopicId::Texts, ids[1]), nullptr);

    // Within one session every step is undone in turn, the values included.
    const int age = vars.Add("Age", TypeInteger);
    ASSERT_TRUE(vars.SetValue(t, age, "41"));
    ASSERT_TRUE(vars.Remove(age));
    ASSERT_TRUE(doc.Undo());
    ASSERT_NE(s().GetField(TopicId::Texts, age), nullptr);
    EXPECT_EQ(value(t, age), "41");
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(value(t, age), "0");
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(s().GetField(TopicId::Texts, age), nullptr);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(VariablesFixture, BadNamesAreRefusedWithAMessageAndChangeNothing) {
    ASSERT_GE(vars.Add("Age", TypeInteger), 0);
    const int fields = fieldCount();
    const std::pair<std::string, std::string> bad[] = {
        {"", "A variable needs a name."},
        {"   ", "A variable needs a name."},
        {std::string(200, 'x'), "The name of a variable can have at most 63 characters."},
        {std::string(64, 'x'), "The name of a variable can have at most 63 characters."},
        {"age", "There is a field named \"Age\" already."},
        {"TEXTNAME", "There is a field named \"Textname\" already."},
        {"creation date", "There is a field named \"Creation Date\" already."},
        {"Group", "\"Group\" is the name of a built-in field."},
        {"codes", "\"codes\" is the name of a built-in field."},
        {"Textgruppe alt",
         "\"Textgruppe alt\" would be read as the text group or text name column; please choose "
         "another name."},
        {"a\tb", "The name of a variable cannot hold tabs or line breaks."},
    };
    for (const auto& [name, why] : bad) {
        ui.messages.clear();
        EXPECT_EQ(vars.Add(name, TypeString), -1) << name;
        ASSERT_EQ(ui.messages.size(), 1u) << name;
        EXPECT_EQ(ui.messages[0].text, why);
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
    }
    ui.messages.clear();
    EXPECT_EQ(vars.Add("Colour", 3), -1);
    EXPECT_EQ(vars.Add("Colour", 6), -1);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(fieldCount(), fields);
    EXPECT_FALSE(vars.Rename(vars.Find("Age"), ""));
    EXPECT_FALSE(vars.Rename(vars.Find("Age"), "Textname"));
    EXPECT_FALSE(vars.Rename(TextField::Name, "Name of text")); // built-ins stay as they are
    EXPECT_FALSE(vars.Remove(TextField::Codes));
    EXPECT_FALSE(vars.Remove(999));
    EXPECT_EQ(s().GetField(TopicId::Texts, vars.Find("Age"))->name, "Age");

    // Quotes, 63 characters and names beyond ASCII are fine, and keep across a reopening.
    ui.messages.clear();
    const std::string longest(63, 'y');
    for (const std::string& name : {std::string("Child's age"), std::string("\"Quoted\" name"),
                                    longest, std::string("Größe in cm")})
        EXPECT_GE(vars.Add(name, TypeFloat), 0) << name;
    EXPECT_EQ(vars.Add("GRÖßE IN CM", TypeFloat), -1) << "differs in case only";
    reopen();
    for (const std::string& name : {std::string("Child's age"), std::string("\"Quoted\" name"),
                                    longest, std::string("größe in cm")})
        EXPECT_GE(vars.Find(name), 0) << name;
}

TEST_F(VariablesFixture, ValuesAreConvertedByTypeAndKeepTheirPrecision) {
    const std::int32_t t = text(group("G"), "T");
    const int i = vars.Add("Count", TypeInteger), f = vars.Add("Income", TypeFloat),
              d = vars.Add("Interview", TypeDateTime), b = vars.Add("Smoker", TypeBoolean),
              str = vars.Add("Job", TypeString);
    // Text that is not a value of the type is refused, never stored as 0.
    EXPECT_FALSE(vars.SetValue(t, i, "12abc"));
    EXPECT_FALSE(vars.SetValue(t, b, "7"));
    EXPECT_FALSE(vars.SetValue(t, d, "not a date"));
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text,
              "\"12abc\" is not a value of Count (a whole number is); the value stays as it was.");
    ui.messages.clear();
    ASSERT_TRUE(vars.SetValue(t, i, "12"));
    ASSERT_TRUE(vars.SetValue(t, f, "1234567.89"));
    ASSERT_TRUE(vars.SetValue(t, d, "2024-05-01 13:45:30"));
    ASSERT_TRUE(vars.SetValue(t, b, "1"));
    ASSERT_TRUE(vars.SetValue(t, str, std::string(70, 'j')));
    EXPECT_TRUE(view.saw(ViewEvent::Changed, TopicId::Texts, t));
    reopen();
    EXPECT_EQ(value(t, i), "12");
    EXPECT_EQ(value(t, f), "1234567.89");
    RecordCursor c;
    ASSERT_TRUE(s().GetRecord(TopicId::Texts, t, c));
    EXPECT_EQ(c.getDouble(f), 1234567.89);
    EXPECT_EQ(c.getDate(d).days, DateTime::fromCivil(2024, 5, 1, 13, 45, 30).days);
    EXPECT_EQ(value(t, d), "2024-05-01 13:45:30");
    EXPECT_EQ(value(t, b), "1");
    EXPECT_EQ(value(t, str), std::string(63, 'j'));
    ASSERT_TRUE(vars.SetValue(t, b, "0"));
    EXPECT_EQ(value(t, b), "");
    EXPECT_FALSE(vars.SetValue(999, i, "1"));
    EXPECT_FALSE(vars.SetValue(t, TextField::Name, "renamed")); // only variables
    EXPECT_EQ(s().GetText(TopicId::Texts, t, TextField::Name), "T");
}
