#include "Variables.h"

#include "platform/Utf8.h"
#include "store/Schema.h"

#include <array>
#include <unicode/uchar.h>

namespace vexana::variables {

using namespace store;

namespace {

constexpr std::array<VariableType, 5> types{{{TypeString, "String"},
                                             {TypeInteger, "Integer"},
                                             {TypeFloat, "Floating point"},
                                             {TypeDateTime, "Date/Time"},
                                             {TypeBoolean, "Boolean"}}};

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char32_t fold(char32_t c) {
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

bool startsWithIgnoringCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (asciiLower(s[i]) != asciiLower(prefix[i])) return false;
    return true;
}

} // namespace

std::span<const VariableType> offeredTypes() {
    return types;
}

std::string_view typeName(int type) {
    for (const auto& t : types)
        if (t.code == type) return t.name;
    return {};
}

int typeCode(std::string_view name) {
    for (const auto& t : types)
        if (t.name == name) return t.code;
    return -1;
}

int compareIgnoringCase(std::string_view a, std::string_view b) {
    // ASCII byte by byte until either side leaves it; from there whole characters, folded.
    std::size_t i = 0;
    const std::size_t n = std::min(a.size(), b.size());
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x | y) >= 0x80) break;
        if (x == y) continue;
        const char lx = asciiLower(static_cast<char>(x)), ly = asciiLower(static_cast<char>(y));
        if (lx != ly)
            return static_cast<unsigned char>(lx) < static_cast<unsigned char>(ly) ? -1 : 1;
    }
    if (i == n) return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
    std::size_t j = i;
    while (i < a.size() && j < b.size()) {
        const char32_t x = fold(platform::utf8Decode(a, i)), y = fold(platform::utf8Decode(b, j));
        if (x != y) return x < y ? -1 : 1;
    }
    return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return compareIgnoringCase(a, b) == 0;
}

std::string foldedKey(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    if (isAscii(s)) {
        for (char c : s)
            out += asciiLower(c);
        return out;
    }
    for (std::size_t i = 0; i < s.size();)
        platform::utf8Append(out, fold(platform::utf8Decode(s, i)));
    return out;
}

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string Variables::CheckName(std::string_view given, int renaming) const {
    const std::string_view name = trimmed(given);
    if (name.empty()) return "A variable needs a name.";
    if (platform::utf8Length(name) > maxNameChars)
        return "The name of a variable can have at most 63 characters.";
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "The name of a variable cannot hold tabs or line breaks.";
    const std::string shown(name);
    const TopicStore& s = doc_.store();
    if (const Topic* t = s.GetTopic(TopicId::Texts))
        for (const auto& f : t->fields())
            if (f.id != renaming && equalIgnoringCase(f.name, name))
                return "There is a field named \"" + f.name + "\" already.";
    if (const TopicDef* def = findTopicDef(TopicId::Texts))
        for (const auto& f : def->fields)
            if (equalIgnoringCase(f.name, name))
                return "\"" + shown + "\" is the name of a built-in field.";
    // The variable table's import takes such a column for the text's group or name.
    if (startsWithIgnoringCase(name, "Textgr") || startsWithIgnoringCase(name, "Textname"))
        return "\"" + shown +
               "\" would be read as the text group or text name column; please "
               "choose another name.";
    return {};
}

int Variables::writeFailures() const {
    const ProjectDatabase* db = doc_.database();
    return db ? db->writeFailures() : 0;
}

void Variables::reportUnlessTold(int failuresBefore, const std::string& text) {
    if (writeFailures() == failuresBefore) doc_.ui().message(text, MessageIcon::Stop);
}

int Variables::Add(std::string_view given, int type) {
    if (typeName(type).empty()) {
        doc_.ui().message("A variable cannot have the type " + std::to_string(type) + ".",
                          MessageIcon::Stop);
        return -1;
    }
    if (const std::string why = CheckName(given); !why.empty()) {
        doc_.ui().message(why, MessageIcon::Stop);
        return -1;
    }
    FieldInfo f;
    f.type = type;
    f.state = FieldState::NewVariable;
    f.parentTopic = 0;
    f.name = std::string(trimmed(given));
    const int failures = writeFailures();
    StoreBatch unit(doc_.store(), "New Variable");
    const int id = doc_.store().AddField(TopicId::Texts, f);
    if (id < 0) unit.fail();
    if (!unit.finish()) {
        reportUnlessTold(failures, "The variable " + f.name + " could not be added.");
        return -1;
    }
    doc_.notify(ViewEvent::Changed, TopicId::Texts, 0);
    return id;
}

bool Variables::Rename(int fieldId, std::string_view given) {
    if (!IsVariable(fieldId)) {
        doc_.ui().message("There is no such variable.", MessageIcon::Stop);
        return false;
    }
    if (const std::string why = CheckName(given, fieldId); !why.empty()) {
        doc_.ui().message(why, MessageIcon::Stop);
        return false;
    }
    const std::string name(trimmed(given));
    if (doc_.store().GetField(TopicId::Texts, fieldId)->name == name) return true;
    const int failures = writeFailures();
    StoreBatch unit(doc_.store(), "Rename Variable");
    if (!doc_.store().RenameField(TopicId::Texts, fieldId, name)) unit.fail();
    if (!unit.finish()) {
        reportUnlessTold(failures, "The variable could not be renamed.");
        return false;
    }
    doc_.notify(ViewEvent::Changed, TopicId::Texts, 0);
    return true;
}

bool Variables::Remove(int fieldId) {
    if (!IsVariable(fieldId)) {
        doc_.ui().message("There is no such variable.", MessageIcon::Stop);
        return false;
    }
    const int failures = writeFailures();
    StoreBatch unit(doc_.store(), "Delete Variable");
    if (!doc_.store().RemoveField(TopicId::Texts, fieldId)) unit.fail();
    if (!unit.finish()) {
        reportUnlessTold(failures, "The variable could not be deleted.");
        return false;
    }
    doc_.notify(ViewEvent::Changed, TopicId::Texts, 0);
    return true;
}

bool Variables::SetValue(std::int32_t text, int fieldId, std::string_view value) {
    TopicStore& s = doc_.store();
    RecordCursor c;
    if (!IsVariable(fieldId) || !s.GetRecord(TopicId::Texts, text, c)) {
        doc_.ui().message("There is no such text or variable.", MessageIcon::Stop);
        return false;
    }
    const FieldInfo* f = s.GetTopic(TopicId::Texts)->field(fieldId);
    if (f && !readsWholly(f->type, value)) {
        doc_.ui().message(unreadableValue(f->type, value, f->name), MessageIcon::Stop);
        return false;
    }
    const std::string before = c.valueText(fieldId);
    const int failures = writeFailures();
    StoreBatch unit(s, "Edit Variable");
    if (!s.SetFieldText(c, fieldId, value)) unit.fail();
    if (!unit.finish()) {
        reportUnlessTold(failures, "The value could not be stored.");
        return false;
    }
    if (ValueText(text, fieldId) != before) doc_.notify(ViewEvent::Changed, TopicId::Texts, text);
    return true;
}

std::string Variables::ValueText(std::int32_t text, int fieldId) const {
    return doc_.store().GetText(TopicId::Texts, text, fieldId);
}

int Variables::Find(std::string_view name) const {
    const std::string_view n = trimmed(name);
    for (int id : List())
        if (equalIgnoringCase(doc_.store().GetField(TopicId::Texts, id)->name, n)) return id;
    return -1;
}

std::vector<int> Variables::List() const {
    return doc_.store().ListVariables(TopicId::Texts);
}

bool Variables::IsVariable(int fieldId) const {
    const FieldInfo* f = doc_.store().GetField(TopicId::Texts, fieldId);
    return f && f->has(FieldState::Variable);
}

} // namespace vexana::variables
