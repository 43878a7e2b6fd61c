#include "Files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vexana::platform {

namespace fs = std::filesystem;

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentDirectory(const std::string& path) {
    const fs::path p(path);
    const auto parent = p.parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    const auto p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

constexpr const char* notRegular = "not a regular file";

} // namespace

std::optional<std::string> readFile(const std::string& path, std::size_t maxBytes,
                                    std::string* error) {
    const auto fail = [error](std::string why) -> std::optional<std::string> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    // Opening a FIFO for reading waits for a writer, and a device may never end, so only
    // regular files are opened. The path may change between the look and the open: the open
    // does not wait either, and what it opened is looked at again.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return fail(systemErrorText(errno));
    if (!S_ISREG(st.st_mode)) return fail(notRegular);
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) return fail(systemErrorText(errno));
    if (::fstat(fd.get(), &st) != 0) return fail(systemErrorText(errno));
    if (!S_ISREG(st.st_mode)) return fail(notRegular);
    if (static_cast<std::size_t>(st.st_size) > maxBytes)
        return fail("larger than " + std::to_string(maxBytes) + " bytes");
    if (const int flags = ::fcntl(fd.get(), F_GETFL); flags >= 0)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    std::string out;
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd.get(), out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(systemErrorText(errno));
        if (n == 0) break; // the file became shorter
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return out;
}

std::string systemErrorText(int err) {
    return std::strerror(err);
}

std::string temporarySibling(const std::string& near, std::string_view tag) {
    static std::atomic<unsigned> counter{0};
    return near + "." + std::string(tag) + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter++);
}

namespace {

mode_t creationMode() {
    // umask() would change it for a moment for every thread; the kernel reports it here.
    mode_t mask = 022;
    if (const auto status = readFile("/proc/self/status", 1 << 16)) {
        const std::size_t at = status->find("Umask:");
        if (at != std::string::npos)
            mask = static_cast<mode_t>(std::strtoul(status->c_str() + at + 6, nullptr, 8));
    }
    return 0666 & ~mask;
}

} // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicFile::failWith(int err) {
    if (!error_) error_ = err ? err : EIO;
    return false;
}

bool AtomicFile::open() {
    if (fd_ >= 0 || error_) return fd_ >= 0;
    temporary_ = temporarySibling(target_, "tmp");
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        temporary_.clear();
        return failWith(errno);
    }
    return true;
}

bool AtomicFile::write(std::string_view bytes) {
    if (fd_ < 0 || error_) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failWith(n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::commit() {
    if (fd_ < 0 || error_) return false;
    struct stat st {};
    const mode_t mode = ::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)
                            ? st.st_mode & 07777
                            : creationMode();
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) return failWith(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return failWith(errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return failWith(errno);
    committed_ = true;
    return true;
}

std::string writeFailureText(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EROFS:
        return "the file system is read-only";
    case EACCES:
    case EPERM:
        return "access is denied";
    case ENOENT:
    case ENOTDIR:
        return "the folder does not exist";
    case EISDIR:
        return "a folder has that name";
    case EIO:
        return "an I/O error occurred";
    default:
        return systemErrorText(err);
    }
}

std::string writeFileAtomic(const std::string& path, std::string_view contents) {
    AtomicFile file(path);
    if (file.open() && file.write(contents) && file.commit()) return {};
    return systemErrorText(file.errorNumber());
}

bool renameNoReplace(const std::string& from, const std::string& to) {
    // link() fails when the target exists, which gives the no-replace guarantee on
    // every local file system without renameat2.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool makeDirectories(const std::string& path, std::string* error) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (isDirectory(path)) return true;
    if (error) *error = ec ? ec.message() : std::string("not a folder");
    return false;
}

namespace {
std::string homeBased(const char* xdgVar, const char* fallback) {
    if (const char* v = std::getenv(xdgVar); v && *v) return v;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/" + fallback;
}
} // namespace

std::string userConfigDir() {
    return homeBased("XDG_CONFIG_HOME", ".config");
}
std::string userDataDir() {
    return homeBased("XDG_DATA_HOME", ".local/share");
}

} // namespace vexana::platform
