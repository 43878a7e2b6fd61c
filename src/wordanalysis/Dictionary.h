#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::store {
class AppSettings;
class TopicStore;
} // namespace vexana::store

namespace vexana::wordanalysis {

// Names of categories and item texts: what a string slot holds.
inline constexpr std::size_t maxDictionaryName = 63;
// Reading refuses larger files, so a stray file cannot fill the memory.
inline constexpr std::size_t maxVxlFileBytes = 16u << 20;

// Settings section of the "Dictionary" dialog: "WindowPos" and "DefaultPath".
inline constexpr const char* dictionarySection = "QntDic";
std::string storedDictionaryFolder(const store::AppSettings& settings);
void storeDictionaryFolder(store::AppSettings& settings, const std::string& folder);

// The dictionary of the open project: categories (topic 18) and their search items (topic
// 19), read from and written to a .vxl file. Every change goes through here so the file is
// written back only when something changed.
class Dictionary {
public:
    explicit Dictionary(store::TopicStore& store) : store_(store) {}

    store::TopicStore& store() const { return store_; }
    const std::string& path() const { return path_; }
    bool changed() const { return changed_; }

    // Adds the categories and items of a file's bytes; categories of the same name (without
    // case) are merged, names over 63 characters left out (counted in `tooLong`). Returns the
    // number of items made.
    std::size_t addBytes(std::string_view bytes, std::size_t* tooLong = nullptr);
    // The file's bytes: every category in topic order, each followed by its items.
    std::string bytes() const;

    // "Add": reads the file into the present dictionary. The reason it failed, empty on
    // success (then nothing was added). A file holding binary data is refused.
    std::string add(const std::string& path);
    // What the last add or open left out (over-long entries), to be shown as a warning;
    // empty when nothing was.
    const std::string& warning() const { return warning_; }
    // "Open" and the project's start: every category goes, the file is read and becomes the
    // dictionary's path. A missing file gives an empty dictionary that may be written there;
    // one that exists but cannot be read is never written over.
    std::string open(const std::string& path);
    // "Save": writes the file whole or not at all and makes it the dictionary's path.
    std::string save(const std::string& path);
    // The project's close: writes to the path only when the dictionary changed since it was
    // read or saved.
    std::string writeBack();

    // "Delete All".
    void clear();
    // A new category or item; 0 with the reason in `why` when the name is empty, too long,
    // holds a tab or line end, or is taken (categories without case, items exactly).
    std::int32_t newCategory(std::string_view name, int type, std::string* why = nullptr);
    std::int32_t newItem(std::int32_t category, std::string_view text, int type = 0,
                         bool exact = false, bool caseSensitive = false,
                         bool startingLetters = false, std::string* why = nullptr);
    bool deleteCategory(std::int32_t category);
    bool deleteItem(std::int32_t item);
    // One of an item's switches (DictItemField::Exact, Case or Start).
    bool setItemFlag(std::int32_t item, int field, bool on);

    // "Add to Dictionary": each word not yet an item of the category becomes one. Returns
    // the items made, in order (what the dialog selects).
    std::vector<std::int32_t> addWords(std::int32_t category, const std::vector<std::string>& words,
                                       std::string* why = nullptr);

    std::vector<std::int32_t> categories() const;
    std::vector<std::int32_t> items(std::int32_t category) const;
    std::int32_t findCategory(std::string_view name) const; // without case; 0 when missing

private:
    std::string refusal(std::string_view name, const char* what) const;
    std::int32_t makeCategory(std::string_view name, int type);
    std::int32_t makeItem(std::int32_t category, std::string_view text, int type, bool exact,
                          bool caseSensitive, bool startingLetters);

    store::TopicStore& store_;
    std::string path_;
    bool changed_ = false;
    bool unreadable_ = false; // path_ exists but could not be read
    std::string warning_;
};

// The texts of the single-word items of Type 0 (no blank or delimiter inside), without
// repeats: the words the word list keeps with "only dictionary words".
std::vector<std::string> dictionaryWords(const Dictionary& dictionary);

// The comparison key of a name without case (simple case folding).
std::u32string foldedName(std::string_view utf8);

} // namespace vexana::wordanalysis
