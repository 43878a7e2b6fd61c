#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexana::platform {

// A settings file of the Windows profile kind: "[Section]" lines and "Key=Value" lines.
// Sections and keys match without regard to ASCII case and the first match wins, as the
// Windows profile functions do. Unreadable content is simply ignored, never an error.
class ProfileFile {
public:
    ProfileFile() = default;
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    void setPath(std::string path) { path_ = std::move(path); }

    // Reads the file; a missing or unreadable file leaves the contents empty (all defaults).
    void load();
    void parse(std::string_view text);

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback = {}) const;
    // Leading digits with an optional sign, like GetPrivateProfileInt; no digits give fallback.
    int readInt(std::string_view section, std::string_view key, int fallback) const;
    bool hasKey(std::string_view section, std::string_view key) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInt(std::string_view section, std::string_view key, int value);
    void removeKey(std::string_view section, std::string_view key);

    std::string serialize() const;
    // Atomic write; returns an error text, empty on success.
    std::string save() const;

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    const Section* findSection(std::string_view name) const;
    Section* findSection(std::string_view name);

    std::string path_;
    std::vector<Section> sections_;
};

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

} // namespace vexana::platform
