#pragma once

#include "platform/richtext/RichText.h"
#include "store/TopicStore.h"
#include "store/UserInterface.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::browser {

// Siblings as the trees list them: by their Index, ties by id, the order a project is
// loaded in. For groups, texts, sets, links and codes (Index is field 1 of each).
std::vector<std::int32_t> inIndexOrder(const store::TopicStore& store, int topic,
                                       std::vector<std::int32_t> ids);

// Texts as the Document System lists them: the groups in order, each group's texts in order.
// Texts of a group that is gone (a damaged file) follow, so every text has its place.
std::vector<std::int32_t> textsInTreeOrder(const store::TopicStore& store);
// Codes as the Code System lists them: depth first, siblings in order. Codes that no path
// from the top reaches (a damaged file's cycle or lost parent) follow.
std::vector<std::int32_t> codesInTreeOrder(const store::TopicStore& store);

// What the Document System and the Code System windows show, in their order, as rich text:
// one line per item, indented by its depth, with the counts and the active marks the
// windows give.
platform::RichText documentSystemExport(const store::TopicStore& store);
platform::RichText codeSystemExport(const store::TopicStore& store);

// Coded segments per text and code; every coding counts once, whatever its weight.
struct CodeMatrix {
    std::vector<std::int32_t> texts;  // rows
    std::vector<std::int32_t> codes;  // columns
    std::vector<std::int32_t> counts; // row by row

    std::int32_t at(std::size_t row, std::size_t column) const {
        return counts[row * codes.size() + column];
    }
};

// The largest matrix counted: beyond it the file alone would be gigabytes.
inline constexpr std::size_t maxMatrixCells = std::size_t(1) << 27;

// Counts the codings of the project into the cells of the given texts and codes; codings of
// other texts or codes are left out. False (and an empty matrix) when it would be too large.
bool countCodeMatrix(const store::TopicStore& store, std::vector<std::int32_t> texts,
                     std::vector<std::int32_t> codes, CodeMatrix& out);

// Every text, against every code or only the active ones (every code when none is active),
// in tree order.
std::vector<std::int32_t> matrixCodes(const store::TopicStore& store, bool onlyActive);
bool anyActiveCode(const store::TopicStore& store);

// The matrix file: a header "Textname" and the codes' full names, then per text its full
// name and the counts; tab-separated, CR LF line ends.
std::string matrixText(const store::TopicStore& store, const CodeMatrix& matrix);

// Writes bytes to path, whole or not at all: the error text in the user's words, empty on
// success.
std::string writeExportFile(const std::string& path, std::string_view bytes);

// Builds the matrix of every text against the codes and writes it; the error text.
std::string exportCodeMatrix(const store::TopicStore& store, bool onlyActive,
                             const std::string& path);

// The Matrix of Codefrequency command: asks whether only active codes go in (when any is
// active), then for the file, and writes it. A failure is reported; true when written.
bool codeMatrixCommand(const store::TopicStore& store, store::UserInterface& ui);

} // namespace vexana::browser
