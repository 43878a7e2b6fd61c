#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <sqlite3.h>
#include <string>

namespace vexana::test {

// The file calls a test counts and can make fail.
enum class VfsCall { Open, Write, Sync, Truncate, Lock, ShmMap, ShmLock };
inline constexpr int vfsCallKinds = 7;

// A SQLite VFS over the default one that counts file calls and fails the k-th call of one
// kind, the way SQLite's own tests play a full disk or a failing device. While an instance
// lives it is the default VFS; every connection opened meanwhile must be closed before it
// goes, since their files call back into it. One instance at a time.
class FaultVfs {
public:
    FaultVfs();
    ~FaultVfs();
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

    void resetCounts();
    int count(VfsCall call) const { return counts_[index(call)].load(); }

    // The k-th call of that kind from now on (k from 1) returns error instead of running.
    // persistent: every later call of the kind fails too, as on a disk that stays full.
    void arm(VfsCall call, int k, int error, bool persistent = false);
    void disarm();
    // Calls failed since the last arm().
    int failures() const { return failures_.load(); }
    // The file the first of them was meant for ("" for a temporary file).
    std::string failedFile() const;

    // For the wrapped files: the result a call gets before it runs (SQLITE_OK: go on).
    int enter(VfsCall call, const char* file);
    sqlite3_vfs* wrapped() const { return real_; }

private:
    static constexpr int index(VfsCall c) { return static_cast<int>(c); }

    sqlite3_vfs vfs_{};
    sqlite3_vfs* real_ = nullptr;
    std::array<std::atomic<int>, vfsCallKinds> counts_{};
    std::atomic<bool> armed_{false};
    std::atomic<int> armedCall_{0};
    std::atomic<int> failAt_{0};
    std::atomic<int> error_{SQLITE_OK};
    std::atomic<bool> persistent_{false};
    std::atomic<int> failures_{0};
    mutable std::mutex mutex_;
    std::string failedFile_;
};

// A fresh folder, removed with everything in it at the end, on memory-backed storage when
// the machine has it: the durability tests sync thousands of times, and on a disk each sync
// costs milliseconds. A killed process or a failed call loses nothing there that a disk
// would keep, so the tests mean the same.
class SyncFreeDir {
public:
    SyncFreeDir();
    ~SyncFreeDir();
    SyncFreeDir(const SyncFreeDir&) = delete;
    SyncFreeDir& operator=(const SyncFreeDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace vexana::test
