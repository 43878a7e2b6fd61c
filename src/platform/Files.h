#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexana::platform {

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
std::string parentDirectory(const std::string& path);
std::string absolutePath(const std::string& path);

// Reads a whole regular file; nullopt when it cannot be read, is larger than maxBytes or is
// anything else (a FIFO, a device, a folder), which is refused without waiting. `error`, when
// given, receives why.
std::optional<std::string> readFile(const std::string& path, std::size_t maxBytes = SIZE_MAX,
                                    std::string* error = nullptr);

// Writes a temporary file beside the target, syncs it and renames it over the target,
// so a crash leaves either the old or the new file. Returns an error text, empty on success.
std::string writeFileAtomic(const std::string& path, std::string_view contents);

// A file written under a private temporary name beside its target (created exclusively,
// readable by the owner alone, so it never clobbers a file of that name) and moved over the
// target only when complete: the target is either as it was or wholly new. The new file gets
// the mode of the file it replaces, else the usual mode under the umask.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    bool write(std::string_view bytes);
    bool commit();
    // errno of the first failure, 0 while none.
    int errorNumber() const { return error_; }

private:
    bool failWith(int err);
    std::string target_, temporary_;
    int fd_ = -1;
    int error_ = 0;
    bool committed_ = false;
};

// A failed write in the user's words: "the disk is full", "the file system is read-only", ...
std::string writeFailureText(int err);

// Moves `from` to `to` only if `to` does not exist. Returns false (and leaves both) otherwise.
bool renameNoReplace(const std::string& from, const std::string& to);

bool removeFile(const std::string& path);
// True when `path` is a folder afterwards; `error`, when given, receives why it is not.
bool makeDirectories(const std::string& path, std::string* error = nullptr);

// $XDG_CONFIG_HOME or ~/.config, and $XDG_DATA_HOME or ~/.local/share.
std::string userConfigDir();
std::string userDataDir();

// A unique path beside `near` for temporary files: "<near>.<tag>-<pid>-<n>".
std::string temporarySibling(const std::string& near, std::string_view tag);

std::string systemErrorText(int err);

} // namespace vexana::platform
