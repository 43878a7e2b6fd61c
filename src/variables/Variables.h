#pragma once

#include "store/CVexDoc.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::variables {

// A type the "New Variable" dialog offers, with the name it shows.
struct VariableType {
    int code;
    std::string_view name;
};

// "String" (2), "Integer" (1), "Floating point" (4), "Date/Time" (5), "Boolean" (8), in the
// dialog's order.
std::span<const VariableType> offeredTypes();
// The shown name of a type code; empty for types never offered.
std::string_view typeName(int type);
// The code of a shown type name (exact), or -1.
int typeCode(std::string_view name);

// Text compared as people read names: whole characters, case folded (ICU simple folding).
bool equalIgnoringCase(std::string_view a, std::string_view b);
// Negative, zero or positive; ASCII takes a fast path.
int compareIgnoringCase(std::string_view a, std::string_view b);
// A case-folded key for maps of names.
std::string foldedKey(std::string_view s);
// Blanks and tabs off both ends.
std::string_view trimmed(std::string_view s);

// The variables of the texts topic: user fields whose values live in sys_Values. Every
// change is one unit of the project and one step of the undo history; a refusal or failure
// is told to the user and changes nothing.
class Variables {
public:
    static constexpr std::size_t maxNameChars = 63;

    explicit Variables(store::CVexDoc& doc) : doc_(doc) {}

    // Why a name cannot be given to a variable (except the field `renaming`), or empty.
    // Names are taken trimmed; one that another field of the texts has, ignoring case, a
    // built-in field's stored name, or one the variable import would read as its group or
    // name column, is refused.
    std::string CheckName(std::string_view name, int renaming = -1) const;

    // Returns the new field id, or -1.
    int Add(std::string_view name, int type);
    bool Rename(int fieldId, std::string_view name);
    bool Remove(int fieldId);
    // Converts the text by the field's type and stores it; the stored value may differ from
    // what was given (12abc in an Integer variable is 12).
    bool SetValue(std::int32_t text, int fieldId, std::string_view value);
    std::string ValueText(std::int32_t text, int fieldId) const;

    // A variable (state bit 2) of that name, ignoring case, or -1.
    int Find(std::string_view name) const;
    // The variables in field order.
    std::vector<int> List() const;
    bool IsVariable(int fieldId) const;

private:
    // After a failed unit: the store has told the user already when a write failed.
    void reportUnlessTold(int failuresBefore, const std::string& text);
    int writeFailures() const;

    store::CVexDoc& doc_;
};

} // namespace vexana::variables
