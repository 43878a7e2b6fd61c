#include "FuzzProject.h"
#include "analysis/DocumentSystem.h"
#include "analysis/Workspace.h"
#include "platform/Files.h"
#include "store/CVexDoc.h"
#include "store/Schema.h"
#include "variables/VariableTable.h"
#include "variables/Variables.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Variable tables from outside: any bytes are read into cells without tabs or line ends, and
// an import either stores its unit or changes nothing; undo takes a stored one back whole.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexana;
    using namespace vexana::store;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    variables::TableText table;
    std::string why;
    if (variables::readTable(bytes, table, why)) {
        for (const auto& line : table.lines) {
            if (line.cells.size() > table.header.size()) __builtin_trap();
            for (const auto& c : line.cells)
                if (c.find_first_of("\t\r\n") != std::string::npos) __builtin_trap();
        }
        if (variables::classifyColumns(table).size() != table.header.size()) __builtin_trap();
    }

    static CVexDoc* doc = &fuzz::fuzzProject("variabletable");
    static analysis::Workspace ws(*doc);
    static const bool built = [] {
        const std::int32_t g = ws.documents().NewTextGroup();
        ws.documents().RenameObject(TopicId::TextGroups, g, "G");
        ws.documents().CreateTextWith(g, "A", "{\\rtf1 a}");
        ws.documents().CreateTextWith(g, "B", "{\\rtf1 b}");
        variables::Variables vars(*doc);
        vars.Add("Age", TypeInteger);
        vars.Add("When", TypeDateTime);
        doc->history()->clear(); // what undo may take back is the import's alone
        return true;
    }();
    (void)built;
    // Large inputs only slow the store down; the reader above has seen them.
    if (size > 4096) return 0;
    const int fields = doc->store().FieldCount(TopicId::Texts);
    const auto result = variables::VariableTable(*doc).ImportText(bytes, "fuzz");
    if (!result.ok) {
        if (doc->store().FieldCount(TopicId::Texts) != fields) __builtin_trap();
        return 0;
    }
    if (doc->store().FieldCount(TopicId::Texts) != fields + static_cast<int>(result.created.size()))
        __builtin_trap();
    if (doc->canUndo() && !doc->Undo()) __builtin_trap();
    doc->history()->clear();
    if (doc->store().FieldCount(TopicId::Texts) != fields) __builtin_trap();
    return 0;
}
