#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vexana::store {

// A day count since 30 December 1899 (the fraction is the time of day) with a status;
// status 0 means valid, so the all-zero slot is day 0, valid.
struct DateTime {
    double days = 0.0;
    std::int32_t status = 0;

    bool valid() const { return status == 0; }
    static DateTime fromCivil(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0);
    static DateTime now();
    // Broken-down form; false for an invalid value or one outside years 1..9999.
    bool toCivil(int& year, int& month, int& day, int& hour, int& minute, int& second) const;
};

// Text conversions of typed values. None of them refuses input.
std::int32_t textToInt(std::string_view text);
double textToFloat(std::string_view text);
DateTime textToDate(std::string_view text);
// The same reading, telling a date from text that is none (which textToDate makes day 0).
bool parseDate(std::string_view text, DateTime& out);
std::int32_t textToBool(std::string_view text);
// Whether text, blanks aside, is a whole value of a field type (or empty, which is no value):
// a variable is never given 0 or the zero date for text that only begins like a number.
bool readsWholly(int type, std::string_view text);
// What is said of text that is not a value of the field: which value, and what would be one.
std::string unreadableValue(int type, std::string_view text, std::string_view field);
// Cuts to at most maxChars characters without splitting one.
std::string cutText(std::string_view text, std::size_t maxChars);

std::string intToText(std::int32_t value);
std::string floatToText(double value);
std::string dateToText(const DateTime& value);
std::string boolToText(std::int32_t value);

} // namespace vexana::store
