#pragma once

#include <cstdint>
#include <string>

// What the project file's backend asks of the files on the disk, apart from SQLite: their
// kind and rights, the log and journal beside them, and our own leftovers.
namespace vexana::store::projectfile {

bool isRegularFile(const std::string& path);
// The log and the journal live beside the file, so writing needs the folder too.
bool canWrite(const std::string& path);
// The user version in a database file's header, read from the file itself.
std::uint32_t headerUserVersion(const std::string& path);
// Whether the rollback journal beside path still holds pages to put back.
bool journalHoldsPages(const std::string& path);
// True when the file is on the disk (or gone, which needs no sync).
bool syncFile(const std::string& path);
bool nonEmptyFile(const std::string& path);
// The read-only "file:" URI of a project that cannot be written.
// locked: taking the file's locks as usual (so a file another program holds is refused),
// unless its folder is read-only and the engine could not make the files it locks with.
std::string readOnlyUri(const std::string& path, bool locked = false);
std::string baseName(const std::string& path);
// Removes temporary files of ours ("NAME.new-PID-N", "NAME.backup-PID-N") that a killed
// program left beside path.
void removeStaleTemporaries(const std::string& path);

} // namespace vexana::store::projectfile
