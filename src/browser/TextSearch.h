#pragma once

#include "platform/richtext/ParagraphTable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::analysis {
class Workspace;
}

namespace vexana::store {
class AppSettings;
}

namespace vexana::browser {

// The options of a text search: what the "Search" dialog shows, the settings key "Data" and
// a .sea file hold.
struct SearchSettings {
    std::vector<std::string> strings;
    bool inMemos = false;
    bool useAnd = false;
    bool within = false;
    std::int32_t withinParagraphs = 1;
    bool wholeWords = false;
    bool caseSensitive = false;
    bool onlyActiveTexts = false;
    bool onlyRetrievedSegments = false;

    static constexpr std::int32_t maxWithinParagraphs = 10000;

    // "%d|%d|%d|%d|%d|%d|%d|%d" followed by "|STRING" per search string.
    std::string optionString() const;
    // Never fails: missing numbers keep their defaults. Empty strings are dropped (a search
    // for nothing would never advance) and withinParagraphs is kept within 1 to 10000.
    static SearchSettings parse(std::string_view options);

    // Why a string cannot be a search string, empty when it can: the option string separates
    // strings with "|", so one containing it would come back as several.
    static std::string refusal(std::string_view candidate);
    // The first refusal among the strings, empty when all can be kept.
    std::string refusal() const;

    bool operator==(const SearchSettings&) const = default;
};

// Files of search settings: the option string and one zero byte. Reading refuses files
// larger than this, so a stray file cannot fill the memory.
inline constexpr std::size_t maxSeaFileBytes = 16u << 20;
// The settings of a .sea file, or the reason it cannot be read (empty on success).
std::string readSeaFile(const std::string& path, SearchSettings& out);
// The settings of a .sea file's bytes: up to the first zero byte, or all of them when the
// zero byte is missing; bytes that are not UTF-8 are read as Windows-1252.
SearchSettings parseSeaBytes(std::string_view bytes);
// Writes the file whole or not at all; the reason it failed, empty on success.
std::string writeSeaFile(const std::string& path, const SearchSettings& settings);

// Section "LookFor": the dialog's "Data" and "DefaultPath"; "WindowPos" goes through
// AppSettings::windowPos.
inline constexpr const char* lookForSection = "LookFor";
SearchSettings storedSearchSettings(const store::AppSettings& settings);
std::string storedSearchFolder(const store::AppSettings& settings);
void storeSearchSettings(store::AppSettings& settings, const SearchSettings& search,
                         const std::string& folder);

// The characters that end a word; the space is always one.
class WordDelimiters {
public:
    // The built-in set.
    WordDelimiters();
    // The word analysis' own set when it gives one (without its spaces, with line feed,
    // carriage return and tab), the built-in set otherwise.
    explicit WordDelimiters(std::string_view ownSetUtf8);
    bool contains(char32_t c) const {
        return c < 256 ? latin_[c]
                       : std::u32string_view(others_).find(c) != std::u32string_view::npos;
    }

private:
    void add(char32_t c);
    bool latin_[256] = {};
    std::u32string others_;
};

struct SearchHit {
    std::int32_t string = 0; // index into SearchSettings::strings
    std::int32_t object = 0; // text or memo id
    std::int32_t type = 0;   // the text's Type
    std::int32_t paragraph = 0;
    std::int32_t start = 0;
    std::int32_t end = -1;
};

// A retrieved segment as the search needs it: [begin, end] of a text, both inclusive.
struct RetrievedRange {
    std::int32_t text = 0;
    std::int32_t begin = 0;
    std::int32_t end = 0;
};

// Simple case folding, one code point for one, so every offset stays where it was.
char32_t foldCase(char32_t c);

// The search strings made ready once for many objects: decoded, folded when the case does
// not matter.
class SearchPattern {
public:
    SearchPattern(const SearchSettings& settings, WordDelimiters delimiters);
    const SearchSettings& settings() const { return settings_; }
    std::size_t count() const { return needles_.size(); }
    std::int32_t length(std::size_t string) const {
        return static_cast<std::int32_t>(needles_[string].size());
    }

    // Appends the hits of one object's plain form, in the order of the strings and, per
    // string, of their places. segments: the object's retrieved ranges when only those count
    // (nullptr: all places count). The text is folded in place when the case does not matter.
    // Returns the number of hits appended.
    std::size_t searchObject(std::u32string& plain, std::int32_t object, std::int32_t type,
                             const std::vector<RetrievedRange>* segments,
                             std::vector<SearchHit>& hits) const;

private:
    void keepWithin(std::vector<SearchHit>& hits, std::size_t first) const;
    SearchSettings settings_;
    WordDelimiters delimiters_;
    std::vector<std::u32string> needles_;
};

struct SearchOutcome {
    std::vector<std::string> strings; // the strings searched for; hits index them
    std::vector<SearchHit> hits;
    int searched = 0;                  // objects visited and not skipped
    std::vector<std::int32_t> objects; // distinct objects with hits, in topic order
};

// How coding and export take a hit: the string alone (mode 0) or its paragraph with
// `paragraphs` on either side (mode 1), as the "Hits" dialog chooses them.
struct HitContext {
    int mode = 0;
    int paragraphs = 0; // 0 to 100
};

// The text search over a project: the search itself, its results in the SearchResults topic,
// and coding and export of those results.
class TextSearch {
public:
    explicit TextSearch(analysis::Workspace& ws) : ws_(ws) {}

    // The retrieved segments of the current retrieval, grouped by text.
    std::vector<RetrievedRange> retrievedRanges() const;

    // Searches the texts or the memos in topic order, with a progress line per object.
    // retrieved: the segments that count with onlyRetrievedSegments.
    SearchOutcome run(const SearchSettings& settings, const std::vector<RetrievedRange>& retrieved,
                      const WordDelimiters& delimiters = WordDelimiters());

    // Replaces the SearchResults topic with one record per hit (texts only).
    void storeResults(const SearchOutcome& outcome);
    // The number of distinct texts among the SearchResults: the "in %d Texts" of the list.
    int textsWithResults() const;
    static std::string resultsLine(int texts);

    // Codes every SearchResults record with the code, as one unit; the number of codings
    // made, -1 when the unit could not be stored. announce: the "%d Text Segments coded" box.
    int codeResults(std::int32_t code, int weight, const HitContext& context, bool announce = true);
    // Writes the SearchResults as RTF; the reason it failed, empty on success.
    std::string exportResults(const std::string& path, const HitContext& context);

private:
    analysis::Workspace& ws_;
};

// Paragraph ranges [first, last] around hits, clamped to 1..count, merged where they share a
// paragraph; touching ranges stay apart. Each range keeps the indices of its hits.
struct ParagraphSpan {
    int first = 0;
    int last = 0;
    std::vector<std::size_t> hits;
};
std::vector<ParagraphSpan> mergeParagraphSpans(const std::vector<int>& paragraphs, int around,
                                               int count);

} // namespace vexana::browser
