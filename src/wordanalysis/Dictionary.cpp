#include "Dictionary.h"

#include "browser/TextSearch.h"
#include "platform/Files.h"
#include "platform/ProfileFile.h"
#include "platform/Utf8.h"
#include "store/AppSettings.h"
#include "store/Schema.h"
#include "store/TopicStore.h"
#include "store/ValueText.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace vexana::wordanalysis {

using namespace vexana::store;

namespace {

std::string_view trim(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Anything but 0 or 1 counts as 0, as does a missing number.
int flag(std::string_view s) {
    return trim(s) == "1" ? 1 : 0;
}

// Splits at the next tab; the rest is empty when there is none.
std::string_view nextField(std::string_view& rest) {
    const std::size_t tab = rest.find('\t');
    const std::string_view piece = rest.substr(0, tab);
    rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
    return piece;
}

} // namespace

std::u32string foldedName(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();)
        out.push_back(browser::foldCase(platform::utf8Decode(utf8, i)));
    return out;
}

std::string storedDictionaryFolder(const AppSettings& settings) {
    return settings.profile().readString(dictionarySection, "DefaultPath");
}

void storeDictionaryFolder(AppSettings& settings, const std::string& folder) {
    settings.profile().writeString(dictionarySection, "DefaultPath", folder);
}

// --- reading and writing --------------------------------------------------------------

std::size_t Dictionary::addBytes(std::string_view bytes, std::size_t* tooLong) {
    std::string text = platform::decodeTextFile(bytes);
    // A string slot ends at a zero byte: a name holding one would be read back cut short.
    std::replace(text.begin(), text.end(), '\0', ' ');
    std::size_t overLong = 0;
    // Lookups made once: a dictionary of many thousand items must not be read in square time.
    std::unordered_map<std::u32string, std::int32_t> byName;
    for (std::int32_t c : categories())
        byName.emplace(
            foldedName(store_.GetText(TopicId::DictCategories, c, DictCategoryField::Name)), c);
    std::unordered_map<std::int32_t, std::unordered_set<std::string>> texts;
    const auto itemsOf = [&](std::int32_t c) -> std::unordered_set<std::string>& {
        auto [it, fresh] = texts.try_emplace(c);
        if (fresh)
            for (std::int32_t i : items(c))
                it->second.insert(store_.GetText(TopicId::DictItems, i, DictItemField::Text));
        return it->second;
    };
    std::size_t made = 0;
    std::int32_t current = 0;
    std::string_view rest(text);
    while (!rest.empty()) {
        // Lines end with CR LF; a lone LF or CR and the file's end close a line as well, so
        // no line is lost to the editor that wrote the file.
        const std::size_t end = rest.find_first_of("\r\n");
        const std::string_view line = rest.substr(0, end);
        if (end == std::string_view::npos)
            rest = {};
        else
            rest = rest.substr(end + (rest.substr(end, 2) == "\r\n" ? 2 : 1));
        if (line.empty()) continue;
        std::string_view fields = line;
        const std::string_view head = trim(nextField(fields));
        if (!head.empty()) {
            // A name cut short would stand for something else: left out, with its items.
            if (platform::utf8Length(head) > maxDictionaryName) {
                ++overLong;
                current = 0;
                continue;
            }
            const std::string name(head);
            const int type = flag(nextField(fields));
            auto [it, fresh] = byName.try_emplace(foldedName(name), 0);
            if (fresh) {
                it->second = makeCategory(name, type);
                if (it->second == 0) {
                    byName.erase(it);
                    current = 0;
                    continue;
                }
            }
            current = it->second;
            continue;
        }
        if (current == 0 || line.find('\t') == std::string_view::npos) continue;
        const std::string_view itemText = trim(nextField(fields));
        if (itemText.empty()) continue;
        if (platform::utf8Length(itemText) > maxDictionaryName) {
            ++overLong;
            continue;
        }
        const std::string cut(itemText);
        const int type = flag(nextField(fields));
        const int exact = flag(nextField(fields));
        const int caseSensitive = flag(nextField(fields));
        const int start = flag(nextField(fields));
        auto& known = itemsOf(current);
        if (known.contains(cut)) continue;
        if (makeItem(current, cut, type, exact, caseSensitive, start) == 0) continue;
        known.insert(cut);
        ++made;
    }
    if (tooLong) *tooLong = overLong;
    return made;
}

namespace {

// Random bytes would otherwise be read as categories of garbage.
bool holdsBinary(std::string_view bytes) {
    return platform::decodeTextFile(bytes).find('\0') != std::string::npos;
}

std::string leftOut(std::size_t tooLong, const std::string& path) {
    if (tooLong == 0) return {};
    return std::to_string(tooLong) + " entries of " + path +
           " are longer than 63 characters and were left out.";
}

} // namespace

std::string Dictionary::bytes() const {
    std::string out;
    for (std::int32_t c : categories()) {
        out += store_.GetText(TopicId::DictCategories, c, DictCategoryField::Name);
        out += '\t' +
               std::to_string(store_.GetInt(TopicId::DictCategories, c, DictCategoryField::Type)) +
               "\r\n";
        for (std::int32_t i : items(c)) {
            out += '\t' + store_.GetText(TopicId::DictItems, i, DictItemField::Text);
            for (int f : {DictItemField::Type, DictItemField::Exact, DictItemField::Case,
                          DictItemField::Start})
                out += '\t' + std::to_string(store_.GetInt(TopicId::DictItems, i, f));
            out += "\r\n";
        }
    }
    // An 8-bit file whose bytes happen to form UTF-8 would be read back as UTF-8.
    std::string file = platform::encodeTextFile(out);
    if (platform::decodeTextFile(file) != out) file = "\xEF\xBB\xBF" + out;
    return file;
}

std::string Dictionary::add(const std::string& path) {
    warning_.clear();
    std::string error;
    const auto bytes = platform::readFile(path, maxVxlFileBytes, &error);
    if (!bytes) return "The dictionary " + path + " cannot be read: " + error + ".";
    if (holdsBinary(*bytes))
        return "The file " + path + " is not a dictionary (it holds binary data).";
    std::size_t tooLong = 0;
    addBytes(*bytes, &tooLong);
    warning_ = leftOut(tooLong, path);
    return {};
}

std::string Dictionary::open(const std::string& path) {
    clear();
    warning_.clear();
    path_ = path;
    changed_ = false;
    unreadable_ = false;
    if (!platform::fileExists(path)) return {};
    std::string error;
    const auto bytes = platform::readFile(path, maxVxlFileBytes, &error);
    if (!bytes) {
        unreadable_ = true;
        return "The dictionary " + path + " cannot be read: " + error + ".";
    }
    if (holdsBinary(*bytes)) {
        unreadable_ = true;
        return "The file " + path + " is not a dictionary (it holds binary data).";
    }
    std::size_t tooLong = 0;
    addBytes(*bytes, &tooLong);
    warning_ = leftOut(tooLong, path);
    changed_ = false;
    return {};
}

std::string Dictionary::save(const std::string& path) {
    const std::string error = platform::writeFileAtomic(path, bytes());
    if (!error.empty()) return "The dictionary " + path + " cannot be written: " + error + ".";
    path_ = path;
    changed_ = false;
    unreadable_ = false;
    return {};
}

std::string Dictionary::writeBack() {
    if (!changed_ || path_.empty()) return {};
    if (unreadable_)
        return "The dictionary " + path_ +
               " could not be read, so it is not written over; save the dictionary under "
               "another name.";
    return save(path_);
}

// --- editing ----------------------------------------------------------------------------

void Dictionary::clear() {
    for (std::int32_t i : store_.ListIds(TopicId::DictItems))
        store_.DeleteRecordOnly(TopicId::DictItems, i);
    for (std::int32_t c : store_.ListIds(TopicId::DictCategories))
        store_.DeleteRecordOnly(TopicId::DictCategories, c);
    changed_ = true;
}

std::string Dictionary::refusal(std::string_view name, const char* what) const {
    if (trim(name).empty()) return std::string("A ") + what + " needs a name.";
    if (name.find_first_of(std::string_view("\t\r\n\0", 4)) != std::string_view::npos)
        return std::string("A ") + what + " cannot hold a tab or a line end.";
    if (platform::utf8Length(trim(name)) > maxDictionaryName)
        return std::string("A ") + what + " has at most 63 characters.";
    return {};
}

std::int32_t Dictionary::makeCategory(std::string_view name, int type) {
    RecordCursor c;
    if (!store_.NewRecord(TopicId::DictCategories, c)) return 0;
    c.setInt(DictCategoryField::Type, type == 1 ? 1 : 0);
    c.setText(DictCategoryField::Name, name);
    const std::int32_t id = c.id();
    c.setInt(DictCategoryField::Number, id);
    if (!store_.Save(c)) {
        store_.DeleteRecordOnly(TopicId::DictCategories, id);
        return 0;
    }
    changed_ = true;
    return id;
}

std::int32_t Dictionary::makeItem(std::int32_t category, std::string_view text, int type,
                                  bool exact, bool caseSensitive, bool startingLetters) {
    RecordCursor c;
    if (!store_.NewRecord(TopicId::DictItems, c)) return 0;
    c.setInt(DictItemField::Category, category);
    c.setInt(DictItemField::Type, type == 1 ? 1 : 0);
    c.setText(DictItemField::Text, text);
    c.setInt(DictItemField::Exact, exact);
    c.setInt(DictItemField::Case, caseSensitive);
    c.setInt(DictItemField::Start, startingLetters);
    const std::int32_t id = c.id();
    if (!store_.Save(c)) {
        store_.DeleteRecordOnly(TopicId::DictItems, id);
        return 0;
    }
    changed_ = true;
    return id;
}

std::int32_t Dictionary::newCategory(std::string_view name, int type, std::string* why) {
    std::string reason = refusal(name, "category");
    if (reason.empty() && findCategory(trim(name)) != 0)
        reason = "There is a category " + std::string(trim(name)) + " already.";
    const std::int32_t id = reason.empty() ? makeCategory(trim(name), type) : 0;
    if (id == 0 && reason.empty()) reason = "The category cannot be made.";
    if (why) *why = reason;
    return id;
}

std::int32_t Dictionary::newItem(std::int32_t category, std::string_view text, int type, bool exact,
                                 bool caseSensitive, bool startingLetters, std::string* why) {
    std::string reason = refusal(text, "search item");
    if (reason.empty() && !store_.GetTopic(TopicId::DictCategories)->contains(category))
        reason = "There is no such category.";
    if (reason.empty()) {
        for (std::int32_t i : items(category))
            if (store_.GetText(TopicId::DictItems, i, DictItemField::Text) == trim(text)) {
                reason = "The category holds " + std::string(trim(text)) + " already.";
                break;
            }
    }
    const std::int32_t id =
        reason.empty() ? makeItem(category, trim(text), type, exact, caseSensitive, startingLetters)
                       : 0;
    if (id == 0 && reason.empty()) reason = "The search item cannot be made.";
    if (why) *why = reason;
    return id;
}

bool Dictionary::deleteCategory(std::int32_t category) {
    for (std::int32_t i : items(category))
        store_.DeleteRecordOnly(TopicId::DictItems, i);
    const bool done = store_.DeleteRecordOnly(TopicId::DictCategories, category);
    changed_ = true;
    return done;
}

bool Dictionary::deleteItem(std::int32_t item) {
    const bool done = store_.DeleteRecordOnly(TopicId::DictItems, item);
    changed_ = changed_ || done;
    return done;
}

bool Dictionary::setItemFlag(std::int32_t item, int field, bool on) {
    if (field != DictItemField::Exact && field != DictItemField::Case &&
        field != DictItemField::Start)
        return false;
    RecordCursor c;
    if (!store_.GetRecord(TopicId::DictItems, item, c)) return false;
    if ((c.getInt(field) != 0) == on) return true;
    c.setInt(field, on ? 1 : 0);
    if (!store_.Save(c)) return false;
    changed_ = true;
    return true;
}

std::vector<std::int32_t> Dictionary::addWords(std::int32_t category,
                                               const std::vector<std::string>& words,
                                               std::string* why) {
    std::vector<std::int32_t> made;
    if (!store_.GetTopic(TopicId::DictCategories)->contains(category)) {
        if (why) *why = "Choose a category first.";
        return made;
    }
    std::unordered_set<std::string> known;
    for (std::int32_t i : items(category))
        known.insert(store_.GetText(TopicId::DictItems, i, DictItemField::Text));
    std::string firstRefusal;
    for (const std::string& w : words) {
        if (known.contains(w)) continue;
        if (std::string r = refusal(w, "search item"); !r.empty() || trim(w) != w) {
            if (firstRefusal.empty()) firstRefusal = r.empty() ? "A search item is trimmed." : r;
            if (!r.empty()) continue;
        }
        if (const std::int32_t id = makeItem(category, trim(w), 0, false, false, false)) {
            made.push_back(id);
            known.insert(std::string(trim(w)));
        }
    }
    if (why) *why = firstRefusal;
    return made;
}

std::vector<std::int32_t> Dictionary::categories() const {
    return store_.ListIds(TopicId::DictCategories);
}

std::vector<std::int32_t> Dictionary::items(std::int32_t category) const {
    return store_.FindIds(TopicId::DictItems, TopicId::DictCategories, category);
}

std::int32_t Dictionary::findCategory(std::string_view name) const {
    const std::u32string key = foldedName(name);
    for (std::int32_t c : categories())
        if (foldedName(store_.GetText(TopicId::DictCategories, c, DictCategoryField::Name)) == key)
            return c;
    return 0;
}

std::vector<std::string> dictionaryWords(const Dictionary& dictionary) {
    const TopicStore& st = dictionary.store();
    const browser::WordDelimiters delimiters;
    std::vector<std::string> words;
    std::set<std::string> seen;
    for (std::int32_t c : dictionary.categories()) {
        if (st.GetInt(TopicId::DictCategories, c, DictCategoryField::Type) != 0) continue;
        for (std::int32_t i : dictionary.items(c)) {
            if (st.GetInt(TopicId::DictItems, i, DictItemField::Type) != 0) continue;
            std::string text = st.GetText(TopicId::DictItems, i, DictItemField::Text);
            bool single = !text.empty();
            for (std::size_t k = 0; k < text.size() && single;)
                single = !delimiters.contains(platform::utf8Decode(text, k));
            if (single && seen.insert(text).second) words.push_back(std::move(text));
        }
    }
    return words;
}

} // namespace vexana::wordanalysis
