#pragma once

#include "RefiExport.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexana::store {
class UserInterface;
}
namespace vexana::analysis {
class Workspace;
}

namespace vexana::exchange {

// What a selection's positions count. The standard counts Unicode code points; some tools
// write UTF-16 code units (a character beyond the Basic Multilingual Plane counts two).
// Both count CR LF as two and leave a byte-order mark out.
enum class PositionMode { Auto, CodePoints, Utf16 };
std::string_view positionModeName(PositionMode mode);

struct RefiImportReport {
    RefiCounts counts;
    PositionMode positions = PositionMode::CodePoints; // what was taken, after detection
    // One line per thing VEXANA cannot hold or had to change, in the order met.
    std::vector<std::string> notCarried;
};

// A REFI-QDA project file (.qdpx) as a new project at projectPath, which must not exist: the
// project is built beside it and moved into place whole. Refused with a message, leaving
// nothing behind, when the file is damaged or hostile (bombs, paths leaving the archive,
// entities, duplicate GUIDs, selections outside their source, text that is not UTF-8).
bool ImportRefiProject(const std::string& qdpx, const std::string& projectPath, PositionMode mode,
                       store::UserInterface& ui, RefiImportReport& report);

// Parses a project.qde and checks what can be checked without its sources; the fuzz target's
// way in. Empty when it would be accepted, else the reason.
std::string CheckRefiProjectXml(std::string_view qde);

// A codebook (.qdc) into the open project as one unit: codes are found by path, ignoring case,
// as the preprocessor finds them, and made when missing (with colour and description).
// counts.codes: codes made. False after a message.
bool ImportCodebook(analysis::Workspace& ws, const std::string& path, RefiImportReport& report);
// The codebook's parse alone (the fuzz target's way in): empty or the reason it is refused.
std::string CheckCodebookXml(std::string_view qdc);

// The File menu's commands: a dialog for the file (and for the new project), the import, and
// its report through the user-interface port. The new project's path, or empty.
std::string ImportRefiProjectCommand(store::UserInterface& ui);
bool ImportCodebookCommand(analysis::Workspace& ws);

// The report's lines as the command line prints them and the desktop shows them.
std::string reportText(const RefiImportReport& report);

} // namespace vexana::exchange
