#include "ProjectFiles.h"

#include "platform/Files.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vexana::store::projectfile {

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The log and the journal live beside the file, so writing needs the folder too.
bool canWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0 &&
           ::access(platform::parentDirectory(path).c_str(), W_OK) == 0;
}

// The user version in a database file's header (bytes 60 to 63, big-endian), read from the
// file itself rather than through the connection.
std::uint32_t headerUserVersion(const std::string& path) {
    std::uint8_t b[4] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const bool ok = ::pread(fd, b, 4, 60) == 4;
    ::close(fd);
    return ok ? (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                    (std::uint32_t{b[2]} << 8) | b[3]
              : 0;
}

// Whether the rollback journal beside path still holds pages to put back: its header is
// whole. At a commit the engine empties or zeroes it (it keeps the file in exclusive mode).
bool journalHoldsPages(const std::string& path) {
    static constexpr std::uint8_t magic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
    std::uint8_t head[8] = {};
    const int fd = ::open((path + "-journal").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool hot = ::pread(fd, head, 8, 0) == 8 && std::memcmp(head, magic, 8) == 0;
    ::close(fd);
    return hot;
}

// True when the file is on the disk (or gone, which needs no sync).
bool syncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool nonEmptyFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// A file that cannot be written is read as it stands; a log beside it that holds committed
// changes is read with it when the engine can.
std::string readOnlyUri(const std::string& path, bool locked) {
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static const char hex[] = "0123456789ABCDEF";
            uri += '%';
            uri += hex[(static_cast<unsigned char>(c) >> 4) & 15];
            uri += hex[static_cast<unsigned char>(c) & 15];
        } else {
            uri += c;
        }
    }
    uri += "?mode=ro";
    const bool lockable = locked && ::access(platform::parentDirectory(path).c_str(), W_OK) == 0;
    if (!lockable && !nonEmptyFile(path + "-wal")) uri += "&immutable=1";
    return uri;
}

std::string baseName(const std::string& path) {
    const auto pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

// Temporary files of ours ("<name>.new-PID-N", "<name>.backup-PID-N" and their journals)
// that a killed program left beside path.
void removeStaleTemporaries(const std::string& path) {
    const std::string dir = platform::parentDirectory(path);
    const std::string prefix = baseName(path) + ".";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string_view rest = std::string_view(name).substr(prefix.size());
        bool ours = false;
        for (std::string_view tag : {"new-", "backup-"})
            if (rest.substr(0, tag.size()) == tag) {
                rest.remove_prefix(tag.size());
                ours = true;
            }
        if (!ours) continue;
        const auto dash = rest.find('-');
        if (dash == std::string_view::npos || dash == 0) continue;
        const std::string pidText(rest.substr(0, dash));
        if (pidText.find_first_not_of("0123456789") != std::string::npos) continue;
        const long pid = std::strtol(pidText.c_str(), nullptr, 10);
        // Only when the program that made it is gone.
        if (pid <= 0 || pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 ||
            errno != ESRCH)
            continue;
        platform::removeFile(entry.path().string());
    }
}

} // namespace vexana::store::projectfile
