#include "ProfileFile.h"

#include "Files.h"
#include "Utf8.h"

#include <cctype>
#include <climits>

namespace vexana::platform {

namespace {

// A settings file is small; anything larger is not ours and reads as empty.
constexpr std::size_t maxFileBytes = 4 * 1024 * 1024;
constexpr std::size_t maxLineBytes = 64 * 1024;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void ProfileFile::load() {
    sections_.clear();
    if (auto text = readFile(path_, maxFileBytes)) parse(*text);
}

void ProfileFile::parse(std::string_view raw) {
    sections_.clear();
    const std::string text = decodeTextFile(raw);
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line = trim(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (line.size() > maxLineBytes || line.empty() || line.front() == ';') continue;
        if (line.find('\0') != std::string_view::npos) continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            if (close == std::string_view::npos) continue;
            const std::string name(trim(line.substr(1, close - 1)));
            sections_.push_back({name, {}});
            current = &sections_.back();
            continue;
        }
        const auto eq = line.find('=');
        if (!current || eq == std::string_view::npos) continue;
        current->entries.push_back(
            {std::string(trim(line.substr(0, eq))), std::string(trim(line.substr(eq + 1)))});
    }
}

const ProfileFile::Section* ProfileFile::findSection(std::string_view name) const {
    for (const auto& s : sections_)
        if (equalsIgnoreAsciiCase(s.name, name)) return &s;
    return nullptr;
}

ProfileFile::Section* ProfileFile::findSection(std::string_view name) {
    for (auto& s : sections_)
        if (equalsIgnoreAsciiCase(s.name, name)) return &s;
    return nullptr;
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    if (const Section* s = findSection(section))
        for (const auto& e : s->entries)
            if (equalsIgnoreAsciiCase(e.key, key)) return e.value;
    return std::string(fallback);
}

bool ProfileFile::hasKey(std::string_view section, std::string_view key) const {
    if (const Section* s = findSection(section))
        for (const auto& e : s->entries)
            if (equalsIgnoreAsciiCase(e.key, key)) return true;
    return false;
}

int ProfileFile::readInt(std::string_view section, std::string_view key, int fallback) const {
    if (!hasKey(section, key)) return fallback;
    const std::string v = readString(section, key);
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
    if (i >= v.size() || !std::isdigit(static_cast<unsigned char>(v[i]))) return fallback;
    long long n = 0;
    for (; i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])); ++i) {
        n = n * 10 + (v[i] - '0');
        if (n > INT_MAX) n = INT_MAX;
    }
    return static_cast<int>(negative ? -n : n);
}

void ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back({std::string(section), {}});
        s = &sections_.back();
    }
    // Line ends inside a value would break the file apart when it is read again.
    std::string clean(value);
    for (char& c : clean)
        if (c == '\n' || c == '\r') c = ' ';
    for (auto& e : s->entries) {
        if (equalsIgnoreAsciiCase(e.key, key)) {
            e.value = clean;
            return;
        }
    }
    s->entries.push_back({std::string(key), clean});
}

void ProfileFile::writeInt(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void ProfileFile::removeKey(std::string_view section, std::string_view key) {
    if (Section* s = findSection(section))
        std::erase_if(s->entries,
                      [&](const Entry& e) { return equalsIgnoreAsciiCase(e.key, key); });
}

std::string ProfileFile::serialize() const {
    std::string out;
    for (const auto& s : sections_) {
        out += "[" + s.name + "]\r\n";
        for (const auto& e : s.entries)
            out += e.key + "=" + e.value + "\r\n";
        out += "\r\n";
    }
    return out;
}

std::string ProfileFile::save() const {
    if (path_.empty()) return "no settings file";
    if (!makeDirectories(parentDirectory(path_)))
        return "cannot create the folder " + parentDirectory(path_);
    return writeFileAtomic(path_, encodeTextFile(serialize()));
}

} // namespace vexana::platform
