#include "ValueText.h"

#include "Schema.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vexana::store {

namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr long long epochOffset = 25569; // days from 1899-12-30 to 1970-01-01

// Reads up to maxDigits digits; false when there are none.
bool readNumber(std::string_view s, std::size_t& i, int maxDigits, int& out) {
    int n = 0, count = 0;
    while (i < s.size() && count < maxDigits && std::isdigit(static_cast<unsigned char>(s[i]))) {
        n = n * 10 + (s[i++] - '0');
        ++count;
    }
    out = n;
    return count > 0;
}

bool validDate(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

} // namespace

DateTime DateTime::fromCivil(int year, int month, int day, int hour, int minute, int second) {
    const long long days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + epochOffset;
    return {static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0, 0};
}

DateTime DateTime::now() {
    const auto t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    localtime_r(&t, &tm);
    return fromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                     tm.tm_sec);
}

bool DateTime::toCivil(int& year, int& month, int& day, int& hour, int& minute, int& second) const {
    if (!valid() || !std::isfinite(days) || days < -657434.0 || days > 2958466.0) return false;
    // Round to the second first so 23:59:59.9999 does not print as 24:00.
    const long long totalSeconds = std::llround(days * 86400.0);
    long long whole = totalSeconds / 86400;
    long long rest = totalSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --whole;
    }
    civilFromDays(whole - epochOffset, year, month, day);
    hour = static_cast<int>(rest / 3600);
    minute = static_cast<int>(rest / 60 % 60);
    second = static_cast<int>(rest % 60);
    return true;
}

std::int32_t textToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long n = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<std::int32_t>(n);
}

double textToFloat(std::string_view text) {
    // The leading number in the classic form, whatever the locale; a decimal comma is taken
    // as well, as users type both.
    std::string s(text.substr(0, 256));
    for (char& c : s)
        if (c == ',') c = '.';
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    if (i + 1 < s.size() && s[i] == '+' && s[i + 1] != '-') ++i;
    double v = 0.0;
    const auto [end, error] = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (error != std::errc() || !std::isfinite(v)) return 0.0;
    return v;
}

bool parseDate(std::string_view text, DateTime& out) {
    // Accepted forms: YYYY-MM-DD, DD.MM.YYYY and MM/DD/YYYY, each optionally followed by
    // HH:MM or HH:MM:SS; false for anything else.
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    int a = 0, b = 0, c = 0;
    std::size_t start = i;
    if (!readNumber(text, i, 4, a) || i >= text.size()) return false;
    const char sep = text[i];
    const std::size_t firstLen = i - start;
    if (sep != '-' && sep != '.' && sep != '/') return false;
    ++i;
    if (!readNumber(text, i, 2, b) || i >= text.size() || text[i] != sep) return false;
    ++i;
    if (!readNumber(text, i, 4, c)) return false;
    int y = 0, m = 0, d = 0;
    if (sep == '-' && firstLen == 4) {
        y = a;
        m = b;
        d = c;
    } else if (sep == '.') {
        d = a;
        m = b;
        y = c;
    } else if (sep == '/') {
        m = a;
        d = b;
        y = c;
    } else
        return false;
    if (!validDate(y, m, d)) return false;
    int hh = 0, mm = 0, ss = 0;
    std::size_t j = i;
    while (j < text.size() && (text[j] == ' ' || text[j] == 'T'))
        ++j;
    if (j > i && readNumber(text, j, 2, hh) && j < text.size() && text[j] == ':') {
        ++j;
        if (readNumber(text, j, 2, mm) && j < text.size() && text[j] == ':') {
            ++j;
            readNumber(text, j, 2, ss);
        }
        if (hh > 23 || mm > 59 || ss > 59) hh = mm = ss = 0;
    } else {
        hh = 0;
    }
    out = DateTime::fromCivil(y, m, d, hh, mm, ss);
    return true;
}

DateTime textToDate(std::string_view text) {
    DateTime d;
    return parseDate(text, d) ? d : DateTime{};
}

std::int32_t textToBool(std::string_view text) {
    if (text.empty()) return 0;
    return textToInt(text) != 0 ? 1 : 0;
}

bool readsWholly(int type, std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (text.empty()) return true;
    switch (type) {
    case TypeInteger:
    case TypeBoolean: {
        std::string_view digits = text;
        if (digits.front() == '-' || digits.front() == '+') digits.remove_prefix(1);
        if (digits.empty() || digits.size() > 10 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            return false;
        const long long n = std::stoll(std::string(text));
        return type == TypeBoolean ? (n == 0 || n == 1) : n >= INT_MIN && n <= INT_MAX;
    }
    case TypeFloat: {
        std::string s(text);
        for (char& c : s)
            if (c == ',') c = '.';
        std::size_t i = s.size() > 1 && s[0] == '+' && s[1] != '-' ? 1 : 0;
        double v = 0.0;
        const auto [end, error] = std::from_chars(s.data() + i, s.data() + s.size(), v);
        return error == std::errc() && end == s.data() + s.size() && std::isfinite(v);
    }
    case TypeDateTime: {
        DateTime d;
        return parseDate(text, d);
    }
    default:
        return true;
    }
}

std::string unreadableValue(int type, std::string_view text, std::string_view field) {
    const char* wanted = type == TypeInteger    ? "a whole number"
                         : type == TypeFloat    ? "a number"
                         : type == TypeDateTime ? "a date such as 2024-03-14 or 14.03.2024"
                         : type == TypeBoolean  ? "0 or 1"
                                                : "a value";
    return "\"" + cutText(text, 63) + "\" is not a value of " + std::string(field) + " (" + wanted +
           " is); the value stays as it was.";
}

std::string cutText(std::string_view text, std::size_t maxChars) {
    return std::string(platform::utf8Prefix(text, maxChars));
}

std::string intToText(std::int32_t value) {
    return std::to_string(value);
}

std::string floatToText(double value) {
    // The "%g" form, with as many more digits as it takes to read back the same number:
    // values are stored as this text, and six digits would turn 1234567.89 into 1.23457e+06.
    char buf[64];
    for (int digits = 6; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, value);
        if (!std::isfinite(value) || textToFloat(buf) == value) break;
    }
    return buf;
}

std::string dateToText(const DateTime& value) {
    int y, m, d, hh, mm, ss;
    if (!value.toCivil(y, m, d, hh, mm, ss)) return {};
    char buf[64];
    // Seconds only when there are any: the usual form stays short, and a stored 13:45:30
    // does not come back as 13:45.
    if (ss != 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mm, ss);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", y, m, d, hh, mm);
    return buf;
}

std::string boolToText(std::int32_t value) {
    return value != 0 ? "1" : "";
}

} // namespace vexana::store
