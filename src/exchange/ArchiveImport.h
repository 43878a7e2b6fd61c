#pragma once

#include "ArchiveReader.h"

#include <map>
#include <optional>
#include <string>

namespace vexana::store {
class CVexDoc;
class UserInterface;
} // namespace vexana::store

namespace vexana::exchange {

// What an archive import made, and what it had to leave out.
struct ArchiveCounts {
    int groups = 0;
    int texts = 0;
    int variables = 0;
    int codes = 0;
    int codings = 0;
    int memos = 0;
    int skippedSegments = 0; // a place not in its text's line table, or no such text
    int skippedMemos = 0;    // neither a text nor a code to belong to
};

// "&Import PREVEX 98 Archive": an archive of the predecessor program as a new project. The
// archive is read and checked whole before anything is made; the project is built beside its
// place in one unit and moved there only when whole, so a failure leaves no file behind and
// never touches an existing one. Members are read from memory: nothing is unpacked to disk.
class ArchiveImport {
public:
    static constexpr std::size_t maxVariables = 1000;

    explicit ArchiveImport(store::UserInterface& ui) : ui_(ui) {}

    // Reads the archive; false after a message.
    bool open(const std::string& archivePath);
    // The project title as a file name, as the save dialog proposes it.
    std::string proposedName() const;
    // Builds the new project at projectPath, which must not exist; empty after a message.
    std::optional<ArchiveCounts> importInto(const std::string& projectPath);

    const Archive* archive() const { return archive_ ? &*archive_ : nullptr; }

    // The command: the archive, then where the new project goes (its title proposed), then
    // the import; the new project is opened in place of the current one. False when
    // cancelled or refused.
    static bool Command(store::CVexDoc& doc);

private:
    bool refuse(const std::string& why);

    store::UserInterface& ui_;
    std::string path_;
    std::optional<Archive> archive_;
    ObjectFile objects_;
    std::map<int, ArchiveMemo> memos_; // by memo number
};

} // namespace vexana::exchange
