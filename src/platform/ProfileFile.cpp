#include "ProfileFile.h"

#include "Files.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <sys/stat.h>

namespace vexana::platform {

namespace {

// A settings file is small; anything larger is not ours: it reads as empty and is left alone.
constexpr std::size_t maxFileBytes = 4 * 1024 * 1024;
constexpr std::size_t maxLineBytes = 64 * 1024;
constexpr std::string_view utf8Bom = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Writing goes to the file a link points to, so a settings file kept elsewhere stays a link.
std::string followLinks(std::string path) {
    namespace fs = std::filesystem;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(path, ec)) break;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target.string()
                                    : (fs::path(path).parent_path() / target).string();
    }
    return path;
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
    loadError_.clear();
    std::string why;
    if (auto bytes = readFile(path_, maxFileBytes, &why)) {
        parse(*bytes);
        return;
    }
    parse({});
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 || errno != ENOENT) loadError_ = why;
}

void ProfileFile::parse(std::string_view bytes) {
    bom_.clear();
    if (bytes.starts_with(utf8Bom)) {
        bom_ = utf8Bom;
        bytes.remove_prefix(utf8Bom.size());
    }
    content_ = bytes;
    index();
}

void ProfileFile::index() {
    items_.clear();
    std::size_t pos = 0;
    while (pos < content_.size()) {
        const std::size_t nl = content_.find('\n', pos);
        if (nl == std::string::npos) {
            indexLine(pos, content_.size(), content_.size());
            break;
        }
        indexLine(pos, nl > pos && content_[nl - 1] == '\r' ? nl - 1 : nl, nl + 1);
        pos = nl + 1;
    }
}

void ProfileFile::indexLine(std::size_t at, std::size_t textEnd, std::size_t nextLine) {
    const std::string_view text(content_.data() + at, textEnd - at);
    if (text.size() > maxLineBytes || text.find('\0') != std::string_view::npos) return;
    const std::string_view trimmed = trim(text);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return;
    const auto offset = [&](std::string_view part) {
        return static_cast<std::size_t>(part.data() - content_.data());
    };
    if (trimmed.front() == '[') {
        const auto close = trimmed.find(']');
        if (close == std::string_view::npos) return;
        const std::string_view name = trim(trimmed.substr(1, close - 1));
        items_.push_back({Kind::Section, at, textEnd, nextLine, offset(name), name.size(), 0, 0});
        return;
    }
    const auto eq = text.find('=');
    if (eq == std::string_view::npos) return;
    std::size_t valueAt = eq + 1;
    while (valueAt < text.size() && (text[valueAt] == ' ' || text[valueAt] == '\t'))
        ++valueAt;
    const std::string_view key = trim(text.substr(0, eq));
    const std::string_view value = trim(text.substr(valueAt));
    items_.push_back(
        {Kind::Entry, at, textEnd, nextLine, offset(key), key.size(), at + valueAt, value.size()});
}

std::string_view ProfileFile::name(const Item& item) const {
    return std::string_view(content_).substr(item.nameAt, item.nameSize);
}

std::string_view ProfileFile::value(const Item& item) const {
    return std::string_view(content_).substr(item.valueAt, item.valueSize);
}

std::string_view ProfileFile::lineEnd() const {
    const auto nl = content_.find('\n');
    if (nl == std::string::npos) return "\r\n";
    return nl > 0 && content_[nl - 1] == '\r' ? "\r\n" : "\n";
}

bool ProfileFile::findSection(std::string_view sectionName, std::size_t& first,
                              std::size_t& end) const {
    first = 0;
    while (first < items_.size() && !(items_[first].kind == Kind::Section &&
                                      equalsIgnoreAsciiCase(name(items_[first]), sectionName)))
        ++first;
    if (first == items_.size()) return false;
    end = first + 1;
    while (end < items_.size() && items_[end].kind != Kind::Section)
        ++end;
    return true;
}

const ProfileFile::Item* ProfileFile::findEntry(std::string_view section,
                                                std::string_view key) const {
    std::size_t first = 0, end = 0;
    if (!findSection(section, first, end)) return nullptr;
    for (std::size_t i = first + 1; i < end; ++i)
        if (equalsIgnoreAsciiCase(name(items_[i]), key)) return &items_[i];
    return nullptr;
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    const Item* item = findEntry(section, key);
    return std::string(item ? value(*item) : fallback);
}

bool ProfileFile::hasKey(std::string_view section, std::string_view key) const {
    return findEntry(section, key) != nullptr;
}

int ProfileFile::readInt(std::string_view section, std::string_view key, int fallback) const {
    const Item* item = findEntry(section, key);
    if (!item) return fallback;
    const std::string_view v = value(*item);
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
                              std::string_view newValue) {
    // Line ends inside a value would break the file apart when it is read again, and a
    // line holding a zero byte is not read at all.
    std::string clean(newValue);
    for (char& c : clean)
        if (c == '\n' || c == '\r' || c == '\0') c = ' ';
    const std::string eol(lineEnd());
    const std::string line = std::string(key) + "=" + clean;

    std::size_t first = 0, end = 0;
    if (!findSection(section, first, end)) {
        if (!content_.empty()) {
            if (content_.back() != '\n') content_ += eol;
            // A blank line between sections, as a new file has them.
            const std::size_t finalEnd = content_.size() - 1;
            const std::size_t before =
                finalEnd == 0 ? std::string::npos : content_.rfind('\n', finalEnd - 1);
            const std::size_t lastAt = before == std::string::npos ? 0 : before + 1;
            if (!trim(std::string_view(content_).substr(lastAt, finalEnd - lastAt)).empty())
                content_ += eol;
        }
        content_ += "[" + std::string(section) + "]" + eol + line + eol;
        index();
        return;
    }
    for (std::size_t i = first + 1; i < end; ++i) {
        const Item& item = items_[i];
        if (!equalsIgnoreAsciiCase(name(item), key)) continue;
        // The key keeps its spelling and spacing; an unchanged value leaves the line alone.
        if (value(item) == trim(clean)) return;
        content_.replace(item.valueAt, item.textEnd - item.valueAt, clean);
        index();
        return;
    }
    // After the section's last entry, so comments and blank lines before the next stay there.
    const Item& after = items_[end - 1];
    if (after.nextLine == after.textEnd) // the file's last line, without an end
        content_.insert(after.nextLine, eol + line + eol);
    else
        content_.insert(after.nextLine, line + eol);
    index();
}

void ProfileFile::writeInt(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void ProfileFile::removeKey(std::string_view section, std::string_view key) {
    std::size_t first = 0, end = 0;
    if (!findSection(section, first, end)) return;
    bool removed = false;
    for (std::size_t i = end; i-- > first + 1;) {
        if (!equalsIgnoreAsciiCase(name(items_[i]), key)) continue;
        content_.erase(items_[i].lineAt, items_[i].nextLine - items_[i].lineAt);
        removed = true;
    }
    if (removed) index();
}

std::string ProfileFile::serialize() const {
    return bom_ + content_;
}

std::string ProfileFile::save() const {
    if (path_.empty()) return "no settings file is named";
    if (!loadError_.empty())
        return "the file there could not be read (" + loadError_ + ") and is left as it is";
    const std::string target = followLinks(path_);
    const std::string folder = parentDirectory(target);
    std::string why;
    if (!makeDirectories(folder, &why)) return "the folder " + folder + " cannot be made: " + why;
    return writeFileAtomic(target, serialize());
}

} // namespace vexana::platform
