#pragma once

#include "platform/richtext/RichText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexana::analysis {
class Workspace;
}

namespace vexana::exchange {

// Texts into a group: files as they are ("Import Text(s)"), and tagged documents that hold
// many texts with coded passages (the preprocessor).
class TextImport {
public:
    explicit TextImport(analysis::Workspace& ws) : ws_(ws) {}

    // The import commands: file dialog, then the files. Return the number of texts made.
    int ImportTextsCommand(std::int32_t group);
    int PreprocessorCommand(std::int32_t group);

    // Each readable file becomes one text; an unreadable one is reported and skipped.
    // Plain-text files are stored as RTF. All in one transaction.
    int ImportFiles(std::int32_t group, const std::vector<std::string>& paths);
    int PreprocessFiles(std::int32_t group, const std::vector<std::string>& paths);

    // "#TEXT" / "#ENDTEXT" make texts, "#CODE" / "#ENDCODE" inside them coded passages;
    // the tag lines are removed. Returns the number of texts created, -1 on failure.
    int ImportPreprocessed(std::int32_t group, const platform::RichText& document);

    // The text name of an imported file: its file name cut before the first ".".
    static std::string NameForFile(const std::string& path);
    // Whether a file could be imported at all (a regular file that can be read), and what
    // the user is told about one that cannot.
    static bool Readable(const std::string& path);
    static std::string CannotOpen(const std::string& path);

private:
    // The whole file, or the warning the user is shown for one that cannot be opened.
    std::optional<std::string> readOrWarn(const std::string& path);

    analysis::Workspace& ws_;
};

} // namespace vexana::exchange
