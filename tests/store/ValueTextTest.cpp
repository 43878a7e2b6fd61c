#include "store/ValueText.h"

#include <gtest/gtest.h>

using namespace vexana::store;

TEST(ValueText, NumbersReadLeadingDigitsAndNeverRefuse) {
    EXPECT_EQ(textToInt("42abc"), 42);
    EXPECT_EQ(textToInt("  -7"), -7);
    EXPECT_EQ(textToInt("abc"), 0);
    EXPECT_EQ(textToInt(""), 0);
    EXPECT_EQ(textToInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(textToInt("-99999999999999999999"), -2147483647 - 1);
    EXPECT_DOUBLE_EQ(textToFloat("3.5"), 3.5);
    EXPECT_DOUBLE_EQ(textToFloat("2,25"), 2.25);
    EXPECT_DOUBLE_EQ(textToFloat("x"), 0.0);
    EXPECT_DOUBLE_EQ(textToFloat("1e999"), 0.0);
    EXPECT_EQ(floatToText(0.5), "0.5");
    EXPECT_EQ(floatToText(1e20), "1e+20");
    // Stored values are this text, so it must read back exactly.
    EXPECT_EQ(floatToText(1234567.89), "1234567.89");
    for (double v : {0.1, 1.0 / 3.0, -2.5e-300, 123456789012345.6, 2.5})
        EXPECT_EQ(textToFloat(floatToText(v)), v) << floatToText(v);
}

TEST(ValueText, BooleansFollowTheIntegerReading) {
    EXPECT_EQ(textToBool(""), 0);
    EXPECT_EQ(textToBool("0"), 0);
    EXPECT_EQ(textToBool("yes"), 0);
    EXPECT_EQ(textToBool("5"), 1);
    EXPECT_EQ(boolToText(1), "1");
    EXPECT_EQ(boolToText(0), "");
}

TEST(ValueText, DatesParseCommonFormsAndUnreadableTextIsDayZero) {
    const DateTime iso = textToDate("2024-02-29 13:45:10");
    EXPECT_TRUE(iso.valid());
    EXPECT_EQ(dateToText(iso), "2024-02-29 13:45:10");
    EXPECT_EQ(textToDate(dateToText(iso)).days, iso.days);
    EXPECT_EQ(dateToText(textToDate("29.02.2024")), "2024-02-29 00:00");
    EXPECT_EQ(dateToText(textToDate("2/29/2024 08:05")), "2024-02-29 08:05");
    for (const char* bad : {"", "yesterday", "2023-02-29", "31.04.2020", "2020-13-01", "12:00"}) {
        const DateTime d = textToDate(bad);
        EXPECT_TRUE(d.valid()) << bad;
        EXPECT_EQ(d.days, 0.0) << bad;
    }
    EXPECT_EQ(dateToText(DateTime{}), "1899-12-30 00:00");
    EXPECT_EQ(dateToText(DateTime{1.0, 0}), "1899-12-31 00:00");
    EXPECT_EQ(dateToText(DateTime{0.0, 1}), "");
    EXPECT_EQ(dateToText(DateTime{1e300, 0}), "");
}

TEST(ValueText, TextIsCutByCharacters) {
    EXPECT_EQ(cutText(std::string(70, 'a'), 63).size(), 63u);
    std::string greek;
    for (int i = 0; i < 70; ++i)
        greek += "\xCE\xB1";
    EXPECT_EQ(cutText(greek, 63).size(), 126u);
}
