#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexana::exchange {

// The kinds of member an archive of the predecessor program holds.
namespace MemberType {
inline constexpr int Objects = 0, Text = 1, Lines = 2, Values = 3, VariableTable = 4, Log = 5,
                     Memo = 6, LogMemos = 7, OldNumbers = 8;
}

struct ArchiveMember {
    std::int16_t type = 0;
    std::uint16_t number = 0;
    std::uint32_t length = 0;
    std::size_t offset = 0; // of the member's bytes in the archive
};

// The name the predecessor gave a member's file ("1.KOB", "00100003.KT", "00000007.001");
// empty for a type it never wrote.
std::string memberFileName(int type, int number);

// An archive's members, read whole into memory: every length is checked against what is left
// of the file before it is believed, so damage is found before anything is made from it.
class Archive {
public:
    static constexpr std::size_t headerBytes = 37;
    static constexpr std::size_t memberHeaderBytes = 8;
    // Far beyond any archive the predecessor wrote; keeps a stray file from filling memory.
    static constexpr std::size_t maxBytes = std::size_t{1} << 30;

    // Empty with the reason in error when the bytes are no archive or are damaged.
    static std::optional<Archive> read(std::string bytes, std::string& error);

    const std::vector<ArchiveMember>& members() const { return members_; }
    std::string_view data(const ArchiveMember& m) const {
        return std::string_view(bytes_).substr(m.offset, m.length);
    }
    // The bytes of the member file unpacking would leave behind: a later member of the same
    // name replaces an earlier one. Empty when there is none.
    std::optional<std::string_view> file(int type, int number = 1) const;
    // The numbers of the memo files, ascending.
    std::vector<int> memoNumbers() const;

private:
    std::string bytes_;
    std::vector<ArchiveMember> members_;
    std::unordered_map<std::uint32_t, std::size_t> files_; // name key -> member index
};

// A coded segment as the object file records it: lines count from 1 in the text's line table.
struct ArchiveSegment {
    int startLine = 0, startColumn = 0, endLine = 0, endColumn = 0, weight = 0, text = 0;
};

struct ArchiveCode {
    std::string name;
    bool flag = false;
    int parent = -1; // index of the parent code, -1 at the top; parents come first
    int depth = 0;
    std::vector<ArchiveSegment> segments;
};

struct ArchiveText {
    std::string name;
    int number = 0;
};

struct ArchiveGroup {
    std::string name;
    bool flag = false;
    std::vector<ArchiveText> texts;
};

// The object file: title, groups with their texts, the code tree flattened depth first.
struct ObjectFile {
    std::string title;
    std::vector<ArchiveGroup> groups;
    std::vector<ArchiveCode> codes;
};

// Deeper trees are refused; codes of the program stop far earlier.
inline constexpr int maxCodeDepth = 64;

std::optional<ObjectFile> readObjectFile(std::string_view bytes, std::string& error);

struct ArchiveVariable {
    std::string name;
    bool integer = false;
};
std::vector<ArchiveVariable> readVariableTable(std::string_view bytes);
// The values of one text in the order of the variable table, as text.
std::vector<std::string> readVariableValues(std::string_view bytes);
// One old code number per code record, in record order.
std::vector<int> readOldNumbers(std::string_view bytes);

struct ArchiveMemo {
    int text = 0; // old text number; 0: the memo of a code
    int line = 0;
    std::string title, author;
    int day = 0, month = 0, year = 0;
    std::vector<std::string> codePaths; // levels joined by "\"
    std::string body;
};
std::optional<ArchiveMemo> readMemoFile(std::string_view bytes, std::string& error);

// A text's line table: where each old display line ends, and how.
class LineTable {
public:
    LineTable() = default;
    explicit LineTable(std::string_view kz);

    int lines() const { return static_cast<int>(ends_.size()); }
    bool empty() const { return ends_.empty(); }
    // The text's plain form from its characters (KT): one carriage return per paragraph end,
    // a blank after a wrapped line; it stops before a line that reaches past the characters.
    std::u32string body(std::string_view kt) const;
    // Character offsets of (line, column); empty when the line is not in the table. An end is
    // looked for from startLine on.
    std::optional<std::int64_t> start(int line, int column) const;
    std::optional<std::int64_t> end(int line, int column, int startLine) const;
    // Where a line begins, or empty.
    std::optional<std::int64_t> offsetOf(int line) const;

private:
    std::vector<std::int64_t> ends_;    // |p(i)|
    std::vector<bool> paragraph_;       // p(i) >= 0
    std::vector<std::int64_t> offsets_; // offset of line i + 1, one more entry than lines
};

// The project title as a file name: \ / : * ? < > | become "_".
std::string projectNameFor(std::string_view title);

} // namespace vexana::exchange
