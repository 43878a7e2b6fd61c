#pragma once

#include "store/CVexDoc.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::variables {

// A tab-separated table of variables as read from a file: the header's cells and the data
// lines' cells, all trimmed. Lines end with CR LF, LF or CR; empty lines are left out.
struct TableText {
    std::vector<std::string> header;
    struct Line {
        int number = 0; // in the file, counting from 1
        std::vector<std::string> cells;
    };
    std::vector<Line> lines;
};

// What a column's cells show it can hold. Classes only move down: Boolean, then Floating
// point, then String.
enum class ColumnClass { Boolean, FloatingPoint, String };

// Reads the file's bytes (UTF-8 with or without a byte-order mark, else Windows-1252).
// False, with why, when there is no line end after the header. Cells past the header's
// count are dropped.
bool readTable(std::string_view bytes, TableText& out, std::string& why);

// Per header column: Boolean while every non-empty cell is 0 or 1, Floating point while each
// is a whole number in decimal form (a decimal comma too), String otherwise.
std::vector<ColumnClass> classifyColumns(const TableText& table);
// Whether the whole cell reads as a number.
bool isNumber(std::string_view cell);
int typeOfClass(ColumnClass c);

struct ImportResult {
    bool ok = false;          // the unit was stored
    int imported = 0;         // lines whose text was found
    int skipped = 0;          // lines whose text was not found
    std::vector<int> created; // new variables' field ids, in column order
};

// Export and import of the texts' variables as tab-separated text.
class VariableTable {
public:
    // Files larger than this are not variable tables anyone made.
    static constexpr std::size_t maxFileBytes = std::size_t{256} << 20;

    explicit VariableTable(store::CVexDoc& doc) : doc_(doc) {}

    // The main window's commands: the file dialog, then the work.
    bool ExportCommand();
    ImportResult ImportCommand();

    // Header of the listed fields, then one line per text; CR LF line ends, Windows-1252
    // when every character fits (else UTF-8 with a byte-order mark). Written whole or not
    // at all; a failure is reported.
    bool Export(const std::string& path);
    std::string ExportText() const;

    // One unit and one undo step: the new variables and every value, or nothing. A file
    // that cannot be read, has no line end, lacks the group or name column or names no text
    // of the project changes nothing and is reported.
    ImportResult Import(const std::string& path);
    ImportResult ImportText(std::string_view bytes, const std::string& source);

private:
    store::CVexDoc& doc_;
};

} // namespace vexana::variables
