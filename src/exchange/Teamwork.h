#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vexana::analysis {
class Workspace;
}
namespace vexana::store {
class ProjectDatabase;
}

namespace vexana::exchange {

// What a merge added to the open project.
struct MergeCounts {
    int groups = 0, texts = 0, sets = 0, links = 0, memos = 0, codings = 0;
    int codesCreated = 0, variablesCreated = 0;
};

// What an exchange import (or export) took over and what it left as duplicates.
struct ExchangeCounts {
    struct Row {
        int added = 0, skipped = 0;
    };
    Row codes, memos, codings, variables;
};

// Team work: a second project merged into the open one, and the exchange files that pass one
// text's codings and memos (".vxe") or the code system (".vxt") between copies of a project.
// Each operation that changes the open project is one unit: all of it is stored, or nothing
// (and it is one step of the undo history). Source and exchange files are only read.
class Teamwork {
public:
    explicit Teamwork(analysis::Workspace& ws) : ws_(ws) {}

    // The commands: file dialog (and for an import the question), then the operation.
    bool MergeCommand();
    bool ExportTextCommand(std::int32_t text);
    bool ImportTextCommand(std::int32_t text);
    bool ExportCodeSystemCommand();
    bool ImportCodeSystemCommand();

    std::optional<MergeCounts> Merge(const std::string& source);
    // Writes the text's fragment to path (".vxe" appended when missing); an existing file is
    // replaced only once the new one is complete.
    std::optional<ExchangeCounts> ExportText(std::int32_t text, const std::string& path);
    // ask: put the question with the file's source project and text first.
    std::optional<ExchangeCounts> ImportText(std::int32_t text, const std::string& path, bool ask);
    std::optional<ExchangeCounts> ExportCodeSystem(const std::string& path);
    std::optional<ExchangeCounts> ImportCodeSystem(const std::string& path);

    // path, with ext (".vxe") appended unless it ends so, ignoring case.
    static std::string WithExtension(const std::string& path, const std::string& ext);

private:
    // Opens a file for reading as a project of dataType; says why not when it cannot.
    std::unique_ptr<store::ProjectDatabase> openSource(const std::string& path,
                                                       const std::string& dataType);
    bool sameAsOpen(const std::string& path);
    analysis::Workspace& ws_;
};

} // namespace vexana::exchange
