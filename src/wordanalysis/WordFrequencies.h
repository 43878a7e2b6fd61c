#pragma once

#include "browser/TextSearch.h"
#include "wordanalysis/StopList.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexana::analysis {
class Workspace;
}
namespace vexana::store {
class AppSettings;
class TopicStore;
} // namespace vexana::store

namespace vexana::wordanalysis {

// Options of section "QNT" that the count uses.
struct WordOptions {
    std::string delimiters;     // "Delimiters": the cut-off set; empty for the built-in one
    bool caseSensitive = false; // "CaseWordCount"
    bool goList = false;        // "GoList": only the dictionary's words count

    static WordOptions fromSettings(const store::AppSettings& settings);
    void store(store::AppSettings& settings) const;
};

// The cut-off set as typed: blanks never belong to it.
std::string withoutBlanks(std::string_view typed);

// What ends a word: the cut-off set (with blank, CR, LF and TAB), every other control
// character, and outside ASCII also Unicode white space and punctuation, so a no-break
// space or a guillemet never glues two words together. ASCII punctuation the set leaves
// out (the hyphen, by default) stays inside words, as the user chose.
class WordSplitter {
public:
    explicit WordSplitter(const browser::WordDelimiters& delimiters);
    bool cuts(char32_t c) const;

private:
    const browser::WordDelimiters& delimiters_;
    bool latin_[256] = {};
};

// Counts words of plain texts into one map. With a sorted list of folded words, a word is
// left out when it is in the list (stop list), or when it is not (goList).
class WordCounter {
public:
    static constexpr std::size_t maxWordChars = 63;

    WordCounter(const browser::WordDelimiters& delimiters, bool caseSensitive,
                const std::vector<std::string>& list, bool goList);
    // Returns the number of words the text added to the total.
    std::int64_t countText(std::u32string_view plain);
    const std::unordered_map<std::string, std::int64_t>& counts() const { return counts_; }
    std::int64_t total() const { return total_; }

private:
    bool excluded(const std::string& word, bool folded);
    WordSplitter splitter_;
    bool caseSensitive_;
    const std::vector<std::string>& list_;
    bool goList_;
    std::unordered_map<std::string, std::int64_t> counts_;
    std::int64_t total_ = 0;
    std::string word_, folded_;
};

// One row of the word list.
struct WordRow {
    std::int32_t id = 0;
    int type = 0; // 1: put on the stop list after the count
    std::string word;
    int length = 0; // characters
    std::int64_t frequency = 0;
    double percent = 0;
};

// Word frequencies of a project's texts: the word list (the WordFrequencies topic, kept in
// memory only), the stop list and the options.
class WordFrequencies {
public:
    explicit WordFrequencies(analysis::Workspace& ws) : ws_(ws) {}

    WordOptions options;
    StopList& stopList() { return stopList_; }
    const StopList& stopList() const { return stopList_; }
    // The dictionary's search items for goList; folded and sorted here.
    void setDictionaryWords(const std::vector<std::string>& words);

    // Empties the word list and fills it anew from all texts or the active ones, as one
    // unit. False when the list could not be stored (it is left empty).
    bool CountWords(bool onlyActive);
    bool hasCount() const { return counted_; }
    std::int64_t total() const { return total_; }
    const std::vector<std::int32_t>& countedTexts() const { return texts_; }
    // "In %d Texts  (%d Words Total)"
    std::string title() const;

    // The word list by frequency, most frequent first, then by word.
    std::vector<WordRow> rows() const;

    // Puts the words of the given records (Type 0 ones) on the stop list and marks them
    // Type 1; when any was added the stop list is written to path. The number added, -1
    // when writing failed (told through the user interface).
    int AddToStopList(const std::vector<std::int32_t>& records, const std::string& path);

private:
    analysis::Workspace& ws_;
    StopList stopList_;
    std::vector<std::string> dictionary_;
    bool counted_ = false;
    std::int64_t total_ = 0;
    std::vector<std::int32_t> texts_;
};

// The plain text a count reads: the body's rich text as plain characters, paragraph ends CR.
std::u32string plainTextOf(store::TopicStore& store, std::int32_t text);

} // namespace vexana::wordanalysis
