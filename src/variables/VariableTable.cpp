#include "VariableTable.h"

#include "Variables.h"
#include "platform/Files.h"
#include "platform/Utf8.h"
#include "store/Schema.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <unordered_map>

namespace vexana::variables {

using namespace store;

namespace {

std::string_view blanksTrimmed(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// Cells at tabs, trimmed; at most `limit` of them (0: no limit).
void splitCells(std::string_view line, std::vector<std::string>& out, std::size_t limit) {
    out.clear();
    std::size_t pos = 0;
    while (true) {
        const auto tab = line.find('\t', pos);
        out.emplace_back(
            blanksTrimmed(line.substr(pos, tab == std::string_view::npos ? line.npos : tab - pos)));
        if (tab == std::string_view::npos || (limit && out.size() == limit)) return;
        pos = tab + 1;
    }
}

// The next line of text from pos, and where the one after it starts. CR LF, LF and CR each
// end a line.
std::string_view nextLine(std::string_view text, std::size_t& pos) {
    const std::size_t start = pos;
    const auto end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
        pos = text.size();
        return text.substr(start);
    }
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    return text.substr(start, end - start);
}

bool startsWithIgnoringAsciiCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// A cell as the file holds it: no tab or line end may break the table.
std::string tableCell(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return s;
}

// The text a value converts to, without writing it anywhere.
std::string convertedText(const FieldInfo& f, std::string_view cell) {
    switch (f.type) {
    case TypeInteger:
        return intToText(textToInt(cell));
    case TypeString:
        return cutText(cell, 63);
    case TypeLongString:
        return cutText(cell, 127);
    case TypeFloat:
        return floatToText(textToFloat(cell));
    case TypeDateTime:
        return dateToText(textToDate(cell));
    case TypeBoolean:
        return boolToText(textToBool(cell));
    default:
        return {};
    }
}

struct ColumnPlan {
    enum class Kind { Nothing, Group, Name, Field, NewField } kind = Kind::Nothing;
    int field = -1;    // Field: the existing variable
    int newIndex = -1; // NewField: which of the new variables
};

struct NewVariable {
    std::string name;
    int type;
    int field = -1;
};

// Closes the progress window on every way out.
struct Progress {
    explicit Progress(UserInterface& ui) : ui_(ui) { ui_.progressOpen(); }
    ~Progress() { ui_.progressClose(); }
    UserInterface& ui_;
};

} // namespace

bool isNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i, ++digits;
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
        std::size_t exponent = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == s.size();
}

int typeOfClass(ColumnClass c) {
    switch (c) {
    case ColumnClass::Boolean:
        return TypeBoolean;
    case ColumnClass::FloatingPoint:
        return TypeFloat;
    default:
        return TypeString;
    }
}

bool readTable(std::string_view bytes, TableText& out, std::string& why) {
    out = {};
    const std::string text = platform::decodeTextFile(bytes);
    std::size_t pos = 0;
    const std::string_view all(text);
    const std::string_view header = nextLine(all, pos);
    if (all.find_first_of("\r\n") == std::string_view::npos) {
        why = "it has no line end, so it holds no texts";
        return false;
    }
    splitCells(header, out.header, 0);
    std::vector<std::string> cells;
    for (int number = 2; pos < all.size(); ++number) {
        const std::string_view line = nextLine(all, pos);
        if (blanksTrimmed(line).empty()) continue;
        splitCells(line, cells, out.header.size());
        out.lines.push_back({number, std::move(cells)});
        cells = {};
    }
    return true;
}

std::vector<ColumnClass> classifyColumns(const TableText& table) {
    std::vector<ColumnClass> classes(table.header.size(), ColumnClass::Boolean);
    for (const auto& line : table.lines)
        for (std::size_t c = 0; c < line.cells.size() && c < classes.size(); ++c) {
            const std::string& cell = line.cells[c];
            if (cell.empty() || classes[c] == ColumnClass::String || cell == "0" || cell == "1")
                continue;
            classes[c] = isNumber(cell) ? ColumnClass::FloatingPoint : ColumnClass::String;
        }
    return classes;
}

std::string VariableTable::ExportText() const {
    const TopicStore& s = doc_.store();
    const std::vector<int> fields = s.ListFields(TopicId::Texts, false);
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldInfo* f = s.GetField(TopicId::Texts, fields[i]);
        if (i) out += '\t';
        out += f->name.empty() ? std::string("?") : tableCell(f->name);
    }
    out += "\r\n";
    for (std::int32_t text : s.ListIds(TopicId::Texts)) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const FieldInfo* f = s.GetField(TopicId::Texts, fields[i]);
            if (i) out += '\t';
            if (f->parentTopic != 0)
                out += tableCell(
                    s.GetName(f->parentTopic, s.GetInt(TopicId::Texts, text, f->id), true));
            else
                out += tableCell(s.GetText(TopicId::Texts, text, f->id));
        }
        out += "\r\n";
    }
    return out;
}

bool VariableTable::Export(const std::string& path) {
    if (path.empty()) return false;
    const std::string error =
        platform::writeFileAtomic(path, platform::encodeTextFile(ExportText()));
    if (error.empty()) return true;
    doc_.ui().message("The variables cannot be written to " + path + ": " + error,
                      MessageIcon::Stop);
    return false;
}

bool VariableTable::ExportCommand() {
    return Export(doc_.ui().chooseFile(FileDialog::ExportVariables));
}

ImportResult VariableTable::ImportCommand() {
    const std::string path = doc_.ui().chooseFile(FileDialog::ImportVariables);
    if (path.empty()) return {};
    return Import(path);
}

ImportResult VariableTable::Import(const std::string& path) {
    std::string error;
    const auto bytes = platform::readFile(path, maxFileBytes, &error);
    if (!bytes) {
        doc_.ui().message("The variables cannot be imported from " + path + ": " +
                              (error.empty() ? std::string("the file cannot be read") : error) +
                              ".",
                          MessageIcon::Stop);
        return {};
    }
    return ImportText(*bytes, path);
}

ImportResult VariableTable::ImportText(std::string_view bytes, const std::string& source) {
    UserInterface& ui = doc_.ui();
    TopicStore& s = doc_.store();
    ImportResult result;
    const auto refuse = [&](const std::string& why) {
        ui.message("The variables cannot be imported from " + source + ": " + why +
                       "; nothing was changed.",
                   MessageIcon::Stop);
        return result;
    };
    const Progress progress(ui);
    ui.progressText("Analyze Variables...");
    TableText table;
    std::string why;
    if (!readTable(bytes, table, why)) return refuse(why);
    const std::vector<ColumnClass> classes = classifyColumns(table);

    // Which field each column goes to, worked out before anything is changed.
    const Topic* texts = s.GetTopic(TopicId::Texts);
    if (!texts) return refuse("the project has no texts");
    std::vector<ColumnPlan> plan(table.header.size());
    std::vector<NewVariable> created;
    std::vector<std::string> leftOut;
    int groupColumn = -1, nameColumn = -1;
    for (std::size_t c = 0; c < table.header.size(); ++c) {
        std::string name = cutText(table.header[c], Variables::maxNameChars);
        if (name.empty()) continue;
        if (startsWithIgnoringAsciiCase(name, "Textgr"))
            name = "Textgroup";
        else if (startsWithIgnoringAsciiCase(name, "Textname"))
            name = "Textname";
        const FieldInfo* found = nullptr;
        for (const auto& f : texts->fields())
            if (equalIgnoringCase(f.name, name)) {
                found = &f;
                break;
            }
        if (found && found->has(FieldState::Variable)) {
            plan[c] = {ColumnPlan::Kind::Field, found->id, -1};
        } else if (found) {
            if (found->id == TextField::Group) groupColumn = static_cast<int>(c);
            if (found->id == TextField::Name) nameColumn = static_cast<int>(c);
        } else {
            const auto same = std::find_if(created.begin(), created.end(), [&](const auto& v) {
                return equalIgnoringCase(v.name, name);
            });
            if (same != created.end()) {
                plan[c] = {ColumnPlan::Kind::NewField, -1,
                           static_cast<int>(same - created.begin())};
            } else if (const std::string bad = Variables(doc_).CheckName(name); !bad.empty()) {
                leftOut.push_back("\"" + name + "\": " + bad);
            } else {
                plan[c] = {ColumnPlan::Kind::NewField, -1, static_cast<int>(created.size())};
                created.push_back({name, typeOfClass(classes[c])});
            }
        }
    }
    if (groupColumn < 0 || nameColumn < 0)
        return refuse(std::string("its header has no ") +
                      (groupColumn < 0 && nameColumn < 0 ? "\"Textgroup\" and no \"Textname\""
                       : groupColumn < 0                 ? "\"Textgroup\""
                                                         : "\"Textname\"") +
                      " column");

    // The target text of each line: the first group of that name, and in it the first text
    // of that name (both trimmed, ignoring case).
    std::unordered_map<std::string, std::int32_t> groups;
    for (std::int32_t g : s.ListIds(TopicId::TextGroups))
        groups.try_emplace(
            foldedKey(blanksTrimmed(s.GetText(TopicId::TextGroups, g, GroupField::Name))), g);
    std::map<std::pair<std::int32_t, std::string>, std::int32_t> textsByName;
    for (std::int32_t t : s.ListIds(TopicId::Texts))
        textsByName.try_emplace(
            {s.GetInt(TopicId::Texts, t, TextField::Group),
             foldedKey(blanksTrimmed(s.GetText(TopicId::Texts, t, TextField::Name)))},
            t);
    std::vector<std::pair<const TableText::Line*, std::int32_t>> targets;
    std::vector<int> skippedLines;
    const auto cellOf = [](const TableText::Line& line, int c) -> std::string_view {
        return static_cast<std::size_t>(c) < line.cells.size() ? line.cells[c] : std::string_view();
    };
    for (const auto& line : table.lines) {
        std::int32_t target = 0;
        if (const auto g = groups.find(foldedKey(cellOf(line, groupColumn))); g != groups.end())
            if (const auto t = textsByName.find({g->second, foldedKey(cellOf(line, nameColumn))});
                t != textsByName.end())
                target = t->second;
        if (target)
            targets.emplace_back(&line, target);
        else
            skippedLines.push_back(line.number);
    }
    result.skipped = static_cast<int>(skippedLines.size());
    if (targets.empty())
        return refuse(table.lines.empty() ? "it holds no lines of texts"
                                          : "no line names a text of the project");

    // A cell that is not a value of its variable would turn a stored value into 0 or the zero
    // date: such a table is refused whole, saying where.
    std::vector<std::string> unreadable;
    std::size_t unreadableCount = 0;
    for (const auto& [line, text] : targets)
        for (std::size_t c = 0; c < plan.size() && c < line->cells.size(); ++c) {
            int type = -1;
            std::string name;
            if (plan[c].kind == ColumnPlan::Kind::Field) {
                const FieldInfo* f = texts->field(plan[c].field);
                if (!f) continue;
                type = f->type;
                name = f->name;
            } else if (plan[c].kind == ColumnPlan::Kind::NewField) {
                type = created[static_cast<std::size_t>(plan[c].newIndex)].type;
                name = created[static_cast<std::size_t>(plan[c].newIndex)].name;
            } else {
                continue;
            }
            if (readsWholly(type, line->cells[c])) continue;
            if (++unreadableCount <= 10)
                unreadable.push_back("line " + std::to_string(line->number) + ": " +
                                     unreadableValue(type, line->cells[c], name));
        }
    if (unreadableCount > 0) {
        std::string list;
        for (const auto& u : unreadable)
            list += "\n" + u;
        if (unreadableCount > unreadable.size())
            list += "\n(" + std::to_string(unreadableCount - unreadable.size()) + " more)";
        ui.message("The variables cannot be imported from " + source + ": " +
                       std::to_string(unreadableCount) +
                       (unreadableCount == 1 ? " cell is not a value of its variable"
                                             : " cells are not values of their variables") +
                       "; nothing was changed." + list,
                   MessageIcon::Stop);
        return result;
    }

    // One unit: the new variables and every value, or nothing.
    const int failuresBefore = doc_.database() ? doc_.database()->writeFailures() : 0;
    std::vector<std::int32_t> changed;
    {
        StoreBatch unit(s, "Import Variables", true);
        bool ok = true;
        for (auto& v : created) {
            FieldInfo f;
            f.type = v.type;
            f.state = FieldState::NewVariable;
            f.name = v.name;
            v.field = s.AddField(TopicId::Texts, f);
            if (v.field < 0) ok = false;
        }
        for (auto& p : plan)
            if (p.kind == ColumnPlan::Kind::NewField) p.field = ok ? created[p.newIndex].field : -1;
        RecordCursor cursor;
        for (std::size_t i = 0; ok && i < targets.size(); ++i) {
            const auto& [line, text] = targets[i];
            if (!s.GetRecord(TopicId::Texts, text, cursor)) {
                ok = false;
                break;
            }
            bool any = false;
            for (std::size_t c = 0; c < plan.size() && c < line->cells.size(); ++c) {
                if (plan[c].field < 0) continue;
                const FieldInfo* f = cursor.field(plan[c].field);
                if (!f) continue;
                if (convertedText(*f, line->cells[c]) == cursor.valueText(f->id)) continue;
                if (!s.SetFieldText(cursor, f->id, line->cells[c])) {
                    ok = false;
                    break;
                }
                any = true;
            }
            if (any) changed.push_back(text);
            ++result.imported;
            if (result.imported % 100 == 0 || i + 1 == targets.size())
                ui.progressText("Texts imported: " + std::to_string(result.imported));
        }
        if (!ok) unit.fail();
        result.ok = unit.finish();
    }
    if (!result.ok) {
        result.imported = 0;
        if ((doc_.database() ? doc_.database()->writeFailures() : 0) == failuresBefore)
            ui.message("The variables could not be imported from " + source +
                           "; nothing was changed.",
                       MessageIcon::Stop);
        return result;
    }
    for (const auto& v : created)
        result.created.push_back(v.field);
    if (!created.empty()) doc_.notify(ViewEvent::Changed, TopicId::Texts, 0);
    for (std::int32_t t : changed)
        doc_.notify(ViewEvent::Changed, TopicId::Texts, t);
    if (!leftOut.empty()) {
        std::string text = "These columns were left out:";
        for (const auto& l : leftOut)
            text += "\n" + l;
        ui.message(text, MessageIcon::Warning);
    }
    if (!skippedLines.empty()) {
        std::string text = std::to_string(skippedLines.size()) +
                           (skippedLines.size() == 1 ? " line names" : " lines name") +
                           " no text of the project and " +
                           (skippedLines.size() == 1 ? "was" : "were") + " skipped (line";
        text += skippedLines.size() == 1 ? " " : "s ";
        for (std::size_t i = 0; i < skippedLines.size() && i < 10; ++i)
            text += (i ? ", " : "") + std::to_string(skippedLines[i]);
        text += skippedLines.size() > 10 ? ", ...)." : ").";
        ui.message(text, MessageIcon::Warning);
    }
    return result;
}

} // namespace vexana::variables
