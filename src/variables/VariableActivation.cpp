#include "VariableActivation.h"

#include "VariableTable.h"
#include "Variables.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "store/Schema.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vexana::variables {

using namespace store;

namespace {

constexpr std::string_view operators[] = {"=", "<>", "<", ">"};

// A row made ready for many texts: its field and its value read once.
struct PreparedRow {
    enum class Kind { Integer, Boolean, Float, Date, Text, Unreadable } kind = Kind::Unreadable;
    const FieldInfo* field = nullptr;
    int op = 0;
    bool andWithAbove = false;
    std::int64_t integer = 0;
    double number = 0.0;
    std::string text;
    bool asciiText = false; // text holds ASCII only, lowered
};

// The case-insensitive comparison for a row whose text is lowered ASCII, without a call per
// text; anything beyond ASCII goes the long way.
int compareWithRow(std::string_view value, const PreparedRow& p) {
    if (!p.asciiText) return compareIgnoringCase(value, p.text);
    const std::size_t n = std::min(value.size(), p.text.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(value[i]);
        if (x >= 0x80) return compareIgnoringCase(value, p.text);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        const auto y = static_cast<unsigned char>(p.text[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return value.size() == p.text.size() ? 0 : value.size() < p.text.size() ? -1 : 1;
}

PreparedRow prepare(const Topic& texts, const FormulaRow& row) {
    PreparedRow p;
    p.op = row.op;
    p.andWithAbove = row.combination == Combination::And;
    p.field = texts.field(row.fieldId);
    if (!p.field || row.op < 0 || row.op > 3) return p;
    switch (p.field->type) {
    case TypeInteger:
        p.kind = PreparedRow::Kind::Integer;
        p.integer = textToInt(row.value);
        break;
    case TypeBoolean:
        p.kind = PreparedRow::Kind::Boolean;
        p.integer = textToInt(row.value) != 0 ? 1 : 0;
        break;
    case TypeFloat:
        p.kind = PreparedRow::Kind::Float;
        p.number = textToFloat(row.value);
        break;
    case TypeDateTime:
        p.kind = PreparedRow::Kind::Date;
        p.number = textToDate(row.value).days;
        break;
    case TypeString:
    case TypeLongString:
        p.kind = PreparedRow::Kind::Text;
        p.text = row.value;
        p.asciiText = std::all_of(p.text.begin(), p.text.end(),
                                  [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (p.asciiText)
            for (char& c : p.text)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        break;
    default:
        break;
    }
    return p;
}

template <class T> int threeWay(T a, T b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

// The operator's truth for c < 0, c = 0 or c > 0, without a branch.
inline char holds(int op, int c) {
    return static_cast<char>(
        ((op == Operator::Equal) & (c == 0)) | ((op == Operator::NotEqual) & (c != 0)) |
        ((op == Operator::Less) & (c < 0)) | ((op == Operator::Greater) & (c > 0)));
}

bool isAsciiText(std::string_view v) {
    return std::all_of(v.begin(), v.end(),
                       [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
}

// The row's truth for every record: one tight loop per kind of value, so the kind and the
// operator are not decided again for each text. A value that cannot be read leaves it true.
void rowColumn(const Topic& texts, const PreparedRow& p,
               const std::vector<const std::uint8_t*>& images, std::vector<char>& out) {
    const std::size_t n = images.size();
    out.assign(n, 1);
    if (!p.field) return;
    const FieldInfo& f = *p.field;
    switch (p.kind) {
    case PreparedRow::Kind::Integer:
        for (std::size_t i = 0; i < n; ++i)
            out[i] = holds(p.op, threeWay<std::int64_t>(slot::getInt(images[i], f), p.integer));
        break;
    case PreparedRow::Kind::Boolean:
        for (std::size_t i = 0; i < n; ++i)
            out[i] =
                holds(p.op, threeWay<std::int64_t>(slot::getInt(images[i], f) != 0, p.integer));
        break;
    case PreparedRow::Kind::Float:
        for (std::size_t i = 0; i < n; ++i) {
            const double v = slot::getDouble(images[i], f);
            out[i] = std::isnan(v) ? 1 : holds(p.op, threeWay(v, p.number));
        }
        break;
    case PreparedRow::Kind::Date:
        for (std::size_t i = 0; i < n; ++i) {
            const DateTime d = slot::getDate(images[i], f);
            out[i] = !d.valid() || std::isnan(d.days) ? 1 : holds(p.op, threeWay(d.days, p.number));
        }
        break;
    case PreparedRow::Kind::Text:
        if (p.asciiText && p.op <= Operator::NotEqual &&
            p.text.size() + 1 < static_cast<std::size_t>(f.size)) {
            // Equality with ASCII: the slot's bytes against the lowered text and its end,
            // without measuring the slot's text first.
            const std::size_t length = p.text.size();
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t* slot = images[i] + f.offset;
                bool equal = slot[0] != Topic::pooledMarker;
                bool plain = equal;
                for (std::size_t k = 0; equal && k < length; ++k) {
                    std::uint8_t x = slot[k];
                    if (x >= 0x80) {
                        plain = equal = false;
                        break;
                    }
                    if (x >= 'A' && x <= 'Z') x = static_cast<std::uint8_t>(x - 'A' + 'a');
                    equal = x == static_cast<std::uint8_t>(p.text[k]);
                }
                if (!plain)
                    equal = compareWithRow(texts.getText(images[i], f), p) == 0;
                else if (equal)
                    equal = slot[length] == 0;
                out[i] = equal == (p.op == Operator::Equal);
            }
            break;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::string_view v = texts.getText(images[i], f);
            // "=" and "<>" need no order: ASCII texts of other lengths differ.
            if (p.asciiText && p.op <= Operator::NotEqual && v.size() != p.text.size() &&
                isAsciiText(v))
                out[i] = p.op == Operator::NotEqual;
            else
                out[i] = holds(p.op, compareWithRow(v, p));
        }
        break;
    case PreparedRow::Kind::Unreadable:
        break;
    }
}

bool wholeInteger(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    if (i == s.size() || s.size() - i > 10) return false;
    for (; i < s.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

// Whether a condition file's value is one its field can read.
bool readableValue(const FieldInfo& f, std::string_view value) {
    if (value.empty()) return true;
    switch (f.type) {
    case TypeInteger:
    case TypeBoolean:
        return wholeInteger(value);
    case TypeFloat:
        return isNumber(value);
    case TypeDateTime: {
        DateTime d;
        return parseDate(value, d);
    }
    default:
        return true;
    }
}

// A name or value the text form can carry: no separator and no line break.
bool carriable(std::string_view s) {
    for (char c : s)
        if (c == '|' || c == '~' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

std::string rowNumber(std::size_t i) {
    return "row " + std::to_string(i + 1);
}

} // namespace

std::string_view operatorText(int op) {
    return op >= 0 && op <= 3 ? operators[op] : std::string_view();
}

int operatorOf(std::string_view text) {
    for (int op = 0; op <= 3; ++op)
        if (operators[op] == text) return op;
    return -1;
}

std::vector<int> offeredFields(const TopicStore& store) {
    return store.ListFields(TopicId::Texts, false);
}

FormulaRow newRow(const TopicStore& store, int fieldId) {
    FormulaRow row;
    row.fieldId = fieldId;
    if (const FieldInfo* f = store.GetField(TopicId::Texts, fieldId)) row.fieldName = f->name;
    return row;
}

std::string rowText(const TopicStore& store, const FormulaRow& row, bool first) {
    const FieldInfo* f = store.GetField(TopicId::Texts, row.fieldId);
    const std::string field = "[" + (f ? f->name : std::string("?")) + "]";
    const std::string body = field + " " + std::string(operatorText(row.op)) + " " + row.value;
    if (first) return body;
    return std::string(row.combination == Combination::And ? ".And. " : ".OR. ") + body;
}

std::string normaliseValue(const FieldInfo& field, std::string_view text) {
    switch (field.type) {
    case TypeInteger:
        return intToText(textToInt(text));
    case TypeFloat: {
        const double v = textToFloat(text);
        char buf[512];
        std::snprintf(buf, sizeof buf, "%f", v);
        // "%f" keeps six decimals (0.0000004 would become 0.000000) and writes every digit
        // of 1e300, more than a row's value holds.
        return textToFloat(buf) == v && std::strlen(buf) <= 63 ? std::string(buf) : floatToText(v);
    }
    case TypeDateTime: {
        DateTime d;
        return parseDate(text, d) ? dateToText(d) : std::string();
    }
    case TypeBoolean:
        return textToInt(text) != 0 ? "1" : "0";
    default:
        return cutText(text, 63);
    }
}

std::vector<char> evaluate(const TopicStore& store, const std::vector<FormulaRow>& rows,
                           std::vector<std::int32_t>* ids) {
    std::vector<char> result;
    if (ids) ids->clear();
    const Topic* texts = store.GetTopic(TopicId::Texts);
    if (!texts || rows.empty()) return result;
    std::vector<PreparedRow> prepared;
    prepared.reserve(rows.size());
    for (const auto& r : rows)
        prepared.push_back(prepare(*texts, r));
    std::vector<const std::uint8_t*> images;
    images.reserve(static_cast<std::size_t>(texts->count()));
    if (ids) ids->reserve(static_cast<std::size_t>(texts->count()));
    texts->forEach([&](std::int32_t id, const std::uint8_t* img) {
        images.push_back(img);
        if (ids) ids->push_back(id);
    });
    rowColumn(*texts, prepared.front(), images, result);
    std::vector<char> row;
    for (std::size_t r = 1; r < prepared.size(); ++r) {
        rowColumn(*texts, prepared[r], images, row);
        if (prepared[r].andWithAbove)
            for (std::size_t i = 0; i < row.size(); ++i)
                result[i] &= row[i];
        else
            for (std::size_t i = 0; i < row.size(); ++i)
                result[i] |= row[i];
    }
    return result;
}

void refreshNames(const TopicStore& store, std::vector<FormulaRow>& rows) {
    for (auto& r : rows)
        if (const FieldInfo* f = store.GetField(TopicId::Texts, r.fieldId)) r.fieldName = f->name;
}

bool conditionText(const std::vector<FormulaRow>& rows, std::string& out, std::string& why) {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const FormulaRow& r = rows[i];
        if (!carriable(r.fieldName)) {
            why = "the variable name \"" + r.fieldName + "\" of " + rowNumber(i) +
                  " holds \"|\", \"~\" or a line break";
            return false;
        }
        if (!carriable(r.value)) {
            why = "the value \"" + r.value + "\" of " + rowNumber(i) +
                  " holds \"|\", \"~\" or a line break";
            return false;
        }
        text += std::to_string(r.fieldId) + "|" + r.fieldName + "|" +
                std::to_string(r.combination) + "|" + std::to_string(r.op) + "|" + r.value + "~";
    }
    out = std::move(text);
    return true;
}

bool readCondition(const TopicStore& store, std::string_view text, std::vector<FormulaRow>& out,
                   std::string& why, int* dropped) {
    if (dropped) *dropped = 0;
    std::vector<FormulaRow> rows;
    const std::vector<int> offered = offeredFields(store);
    std::size_t pos = 0;
    for (std::size_t i = 0;; ++i) {
        const auto end = text.find('~', pos);
        if (end == std::string_view::npos) {
            // What follows the last row may only be blank (the zero byte is gone already).
            for (char c : text.substr(pos))
                if (!std::isspace(static_cast<unsigned char>(c))) {
                    why = rowNumber(i) + " does not end with \"~\"";
                    return false;
                }
            break;
        }
        const std::string_view row = text.substr(pos, end - pos);
        pos = end + 1;
        std::string_view parts[4];
        std::size_t at = 0;
        for (auto& part : parts) {
            const auto bar = row.find('|', at);
            if (bar == std::string_view::npos) {
                why = rowNumber(i) + " is incomplete";
                return false;
            }
            part = row.substr(at, bar - at);
            at = bar + 1;
        }
        const std::string_view value = row.substr(at);
        if (!wholeInteger(parts[0])) {
            why = rowNumber(i) + " has no field id";
            return false;
        }
        if (parts[2] != "0" && parts[2] != "1") {
            why = rowNumber(i) + " has no combination 0 (OR) or 1 (AND)";
            return false;
        }
        const int op = parts[3].size() == 1 && parts[3][0] >= '0' && parts[3][0] <= '3'
                           ? parts[3][0] - '0'
                           : -1;
        if (op < 0) {
            why = rowNumber(i) + " has no operator 0 to 3";
            return false;
        }
        const FieldInfo* field = nullptr;
        for (int id : offered)
            if (const FieldInfo* f = store.GetField(TopicId::Texts, id); f && f->name == parts[1]) {
                field = f;
                break;
            }
        if (!field) {
            if (dropped) ++*dropped;
            continue;
        }
        if (!readableValue(*field, value)) {
            why =
                rowNumber(i) + " compares " + field->name + " with \"" + std::string(value) +
                "\", which is no " +
                std::string(typeName(field->type).empty() ? "value of it" : typeName(field->type));
            return false;
        }
        rows.push_back({field->id, field->name,
                        parts[2] == "1" ? Combination::And : Combination::Or, op,
                        cutText(value, 63)});
    }
    out = std::move(rows);
    return true;
}

bool VariableActivation::Activate() {
    if (rows.empty()) return false;
    std::vector<std::int32_t> ids;
    const std::vector<char> truth = evaluate(ws_.store(), rows, &ids);
    std::vector<std::pair<std::int32_t, bool>> states;
    states.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        states.emplace_back(ids[i], truth[i] != 0);
    return ws_.documents().SetTextActivation(states);
}

bool VariableActivation::Save(const std::string& path) {
    if (path.empty()) return false;
    refreshNames(ws_.store(), rows);
    std::string text, why;
    if (!conditionText(rows, text, why)) {
        ws_.ui().message("The condition cannot be saved: " + why + ".", MessageIcon::Stop);
        return false;
    }
    std::string contents = platform::encodeTextFile(text);
    contents += '\0';
    if (const std::string error = platform::writeFileAtomic(path, contents); !error.empty()) {
        ws_.ui().message("The condition cannot be written to " + path + ": " + error,
                         MessageIcon::Stop);
        return false;
    }
    folder_ = platform::parentDirectory(platform::absolutePath(path));
    if (folder_.empty() || folder_.back() != '/') folder_ += '/';
    return true;
}

bool VariableActivation::Open(const std::string& path) {
    if (path.empty()) return false;
    std::string error;
    const auto bytes = platform::readFile(path, maxFileBytes, &error);
    if (!bytes) {
        ws_.ui().message("The condition file " + path + " cannot be read: " +
                             (error.empty() ? std::string("unknown reason") : error) + ".",
                         MessageIcon::Stop);
        return false;
    }
    std::string text = platform::decodeTextFile(*bytes);
    if (const auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    std::vector<FormulaRow> read;
    std::string why;
    if (!readCondition(ws_.store(), text, read, why)) {
        ws_.ui().message("The condition file " + path + " is damaged: " + why +
                             "; the condition was not changed.",
                         MessageIcon::Stop);
        return false;
    }
    rows = std::move(read);
    return true;
}

bool VariableActivation::SaveCommand() {
    return Save(ws_.ui().chooseFile(FileDialog::SaveCondition));
}

bool VariableActivation::OpenCommand() {
    return Open(ws_.ui().chooseFile(FileDialog::OpenCondition));
}

void VariableActivation::LoadSettings(const AppSettings& settings) {
    std::vector<FormulaRow> read;
    std::string why;
    rows.clear();
    if (readCondition(ws_.store(), settings.conditionData(), read, why)) rows = std::move(read);
    folder_ = settings.conditionFolder();
}

void VariableActivation::StoreSettings(AppSettings& settings) const {
    std::vector<FormulaRow> named = rows;
    refreshNames(ws_.store(), named);
    std::string text, why;
    if (!conditionText(named, text, why)) text.clear();
    settings.setCondition(text, folder_);
}

} // namespace vexana::variables
