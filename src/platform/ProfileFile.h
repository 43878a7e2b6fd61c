#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexana::platform {

// A settings file of the Windows profile kind: "[Section]" lines and "Key=Value" lines.
// Sections and keys match without regard to ASCII case and the first match wins, as the
// Windows profile functions do. Unreadable content is simply ignored, never an error.
//
// Values are bytes, read and written as they stand: a file name need not be UTF-8, and one
// odd line must not change how the others read. The file is kept line by line, so saving
// changes only the keys written and leaves comments, blank lines and whatever the program
// does not know where they were.
class ProfileFile {
public:
    ProfileFile() = default;
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    void setPath(std::string path) { path_ = std::move(path); }

    // Reads the file; a missing or unreadable file leaves the contents empty (all defaults).
    // A file that is there but cannot be read is then never replaced by save().
    void load();
    void parse(std::string_view bytes);

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback = {}) const;
    // Leading digits with an optional sign, like GetPrivateProfileInt; no digits give fallback.
    int readInt(std::string_view section, std::string_view key, int fallback) const;
    bool hasKey(std::string_view section, std::string_view key) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInt(std::string_view section, std::string_view key, int value);
    void removeKey(std::string_view section, std::string_view key);

    std::string serialize() const;
    // Atomic write; returns why it failed (the system's reason), empty on success.
    std::string save() const;

private:
    enum class Kind { Section, Entry };
    // A section header or an entry line, as places in content_. Other lines are only kept
    // in content_, so a file of comments or blank lines costs no more than its bytes.
    struct Item {
        Kind kind;
        std::size_t lineAt, textEnd, nextLine; // the line, where its end begins, the next line
        std::size_t nameAt, nameSize;          // the section's name or the entry's key
        std::size_t valueAt, valueSize;        // where the value begins, and its trimmed size
    };

    void index();
    void indexLine(std::size_t at, std::size_t textEnd, std::size_t nextLine);
    std::string_view name(const Item& item) const;
    std::string_view value(const Item& item) const;
    // Items [first, end) of the first section named `name`: its header and its entries.
    bool findSection(std::string_view name, std::size_t& first, std::size_t& end) const;
    const Item* findEntry(std::string_view section, std::string_view key) const;
    // The line end new lines take: the one the file already has.
    std::string_view lineEnd() const;

    std::string path_;
    std::string bom_;
    std::string content_;
    std::string loadError_;
    std::vector<Item> items_;
};

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

} // namespace vexana::platform
