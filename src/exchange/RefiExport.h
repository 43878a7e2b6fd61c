#pragma once

#include "ZipWriter.h"

#include <string>

namespace vexana::analysis {
class Workspace;
}

namespace vexana::exchange {

// How many of each kind an exchange file holds, as the command line reports them.
struct RefiCounts {
    int sources = 0;
    int codes = 0;
    int selections = 0;
    int notes = 0;
    int variables = 0;
    int sets = 0;
};

// The open project as a REFI-QDA project (.qdpx) and its code system as a codebook (.qdc).
// Every object's GUID is derived from the project's GUID and the object's id, so exporting
// twice gives the same GUIDs; no path of this machine goes into the files.
class RefiExport {
public:
    explicit RefiExport(analysis::Workspace& ws) : ws_(ws) {}

    // project.qde and the source files, ready to be zipped.
    bool BuildProject(ZipWriter& zip, RefiCounts* counts = nullptr);
    std::string BuildCodebook(RefiCounts* counts = nullptr);

    // Written whole or not at all; false after a message.
    bool ExportProject(const std::string& path, RefiCounts* counts = nullptr);
    bool ExportCodebook(const std::string& path, RefiCounts* counts = nullptr);

    // The commands of the File menu: a save dialog, then the export.
    bool ExportProjectCommand();
    bool ExportCodebookCommand();

private:
    bool writeWhole(const std::string& path, std::string_view bytes);
    analysis::Workspace& ws_;
};

} // namespace vexana::exchange
