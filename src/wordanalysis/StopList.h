#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::browser {
class WordDelimiters;
}
namespace vexana::store {
class AppSettings;
class UserInterface;
} // namespace vexana::store

namespace vexana::wordanalysis {

// Words that are never counted: distinct, case-folded, in byte order (strcmp), so a lookup
// is a binary search.
class StopList {
public:
    // A stray file must not fill the memory: larger files are refused whole.
    static constexpr std::size_t maxFileBytes = 16u << 20;
    static constexpr std::size_t maxEntries = 1000000;
    // A longer word is never counted, so it could never stop one.
    static constexpr std::size_t maxWordChars = 63;

    const std::vector<std::string>& words() const { return words_; }
    std::size_t size() const { return words_.size(); }
    bool empty() const { return words_.empty(); }
    // word: already folded.
    bool contains(std::string_view word) const;

    // Why the word cannot be an entry, empty when it can.
    static std::string refusal(std::string_view word);
    // Folds and inserts it; false when refused (see refusal) or already there.
    bool add(std::string_view word);
    bool remove(std::string_view word);
    void clear() { words_.clear(); }
    // Inserts folded words that passed refusal(); false (and nothing added) when the list
    // would grow beyond maxEntries.
    bool merge(const std::vector<std::string>& words);
    void assign(std::vector<std::string> words);

    struct Reading {
        std::vector<std::string> words; // folded, sorted, distinct
        std::size_t tooLong = 0;        // entries left out for their length
        std::string error;              // why nothing could be taken; empty on success
    };
    // The entries of a stop-list file's bytes: UTF-8, else Windows-1252 (a BOM is dropped);
    // any cut-off character, blank or line end separates them.
    static Reading parse(std::string_view bytes, const browser::WordDelimiters& delimiters);
    static Reading readFile(const std::string& path, const browser::WordDelimiters& delimiters);

    // Replaces the list by the file's words (merge: adds them). A file that cannot be read
    // leaves the list as it was; each problem is told through ui. False when nothing was
    // taken.
    bool load(const std::string& path, const browser::WordDelimiters& delimiters,
              store::UserInterface& ui, bool merge = false);

    // The file's bytes: every entry followed by CR LF, Windows-1252 when every character
    // fits, else UTF-8 with a BOM.
    std::string fileBytes() const;
    // Writes the file whole or not at all; the reason it failed, empty on success.
    std::string write(const std::string& path) const;

private:
    std::vector<std::string> words_;
};

// Section "StopList": "DefaultPath", the dialog's last folder; "WindowPos" goes through
// AppSettings::windowPos.
inline constexpr const char* stopListSection = "StopList";
std::string storedStopListFolder(const store::AppSettings& settings);
void storeStopListFolder(store::AppSettings& settings, const std::string& folder);

} // namespace vexana::wordanalysis
