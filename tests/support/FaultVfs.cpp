#include "FaultVfs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace vexana::test {

namespace {

constexpr const char* vfsName = "vexana-fault";
std::atomic<bool> instanceLives{false};

// Our header first, the default VFS's file right behind it.
struct FaultFile {
    sqlite3_file base;
    FaultVfs* owner;
    const char* name; // SQLite keeps it alive until the file is closed
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};
// SQLite hands out 8-byte aligned memory; the wrapped file must start on such a boundary.
static_assert(sizeof(FaultFile) % 8 == 0);

FaultFile* self(sqlite3_file* f) {
    return reinterpret_cast<FaultFile*>(f);
}
sqlite3_file* real(sqlite3_file* f) {
    return self(f)->real();
}
const sqlite3_io_methods* realMethods(sqlite3_file* f) {
    return real(f)->pMethods;
}

int fileClose(sqlite3_file* f) {
    return realMethods(f)->xClose(real(f));
}
int fileRead(sqlite3_file* f, void* buf, int amount, sqlite3_int64 offset) {
    return realMethods(f)->xRead(real(f), buf, amount, offset);
}
int fileWrite(sqlite3_file* f, const void* buf, int amount, sqlite3_int64 offset) {
    if (const int rc = self(f)->owner->enter(VfsCall::Write, self(f)->name)) return rc;
    return realMethods(f)->xWrite(real(f), buf, amount, offset);
}
int fileTruncate(sqlite3_file* f, sqlite3_int64 size) {
    if (const int rc = self(f)->owner->enter(VfsCall::Truncate, self(f)->name)) return rc;
    return realMethods(f)->xTruncate(real(f), size);
}
int fileSync(sqlite3_file* f, int flags) {
    if (const int rc = self(f)->owner->enter(VfsCall::Sync, self(f)->name)) return rc;
    return realMethods(f)->xSync(real(f), flags);
}
int fileSize(sqlite3_file* f, sqlite3_int64* size) {
    return realMethods(f)->xFileSize(real(f), size);
}
int fileLock(sqlite3_file* f, int level) {
    if (const int rc = self(f)->owner->enter(VfsCall::Lock, self(f)->name)) return rc;
    return realMethods(f)->xLock(real(f), level);
}
int fileUnlock(sqlite3_file* f, int level) {
    return realMethods(f)->xUnlock(real(f), level);
}
int fileCheckReservedLock(sqlite3_file* f, int* out) {
    return realMethods(f)->xCheckReservedLock(real(f), out);
}
int fileControl(sqlite3_file* f, int op, void* arg) {
    return realMethods(f)->xFileControl(real(f), op, arg);
}
int fileSectorSize(sqlite3_file* f) {
    return realMethods(f)->xSectorSize(real(f));
}
int fileDeviceCharacteristics(sqlite3_file* f) {
    return realMethods(f)->xDeviceCharacteristics(real(f));
}
int fileShmMap(sqlite3_file* f, int page, int pageSize, int extend, void volatile** out) {
    if (const int rc = self(f)->owner->enter(VfsCall::ShmMap, self(f)->name)) return rc;
    return realMethods(f)->xShmMap(real(f), page, pageSize, extend, out);
}
int fileShmLock(sqlite3_file* f, int offset, int n, int flags) {
    // Only taking a lock can be refused; letting go always works.
    if (flags & SQLITE_SHM_LOCK)
        if (const int rc = self(f)->owner->enter(VfsCall::ShmLock, self(f)->name)) return rc;
    return realMethods(f)->xShmLock(real(f), offset, n, flags);
}
void fileShmBarrier(sqlite3_file* f) {
    realMethods(f)->xShmBarrier(real(f));
}
int fileShmUnmap(sqlite3_file* f, int deleteFlag) {
    return realMethods(f)->xShmUnmap(real(f), deleteFlag);
}
int fileFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    return realMethods(f)->xFetch(real(f), offset, amount, out);
}
int fileUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
    return realMethods(f)->xUnfetch(real(f), offset, p);
}

// One table per version, so SQLite never calls a method the wrapped file lacks.
constexpr sqlite3_io_methods methodsOfVersion(int version) {
    sqlite3_io_methods m{};
    m.iVersion = version;
    m.xClose = fileClose;
    m.xRead = fileRead;
    m.xWrite = fileWrite;
    m.xTruncate = fileTruncate;
    m.xSync = fileSync;
    m.xFileSize = fileSize;
    m.xLock = fileLock;
    m.xUnlock = fileUnlock;
    m.xCheckReservedLock = fileCheckReservedLock;
    m.xFileControl = fileControl;
    m.xSectorSize = fileSectorSize;
    m.xDeviceCharacteristics = fileDeviceCharacteristics;
    if (version >= 2) {
        m.xShmMap = fileShmMap;
        m.xShmLock = fileShmLock;
        m.xShmBarrier = fileShmBarrier;
        m.xShmUnmap = fileShmUnmap;
    }
    if (version >= 3) {
        m.xFetch = fileFetch;
        m.xUnfetch = fileUnfetch;
    }
    return m;
}
const sqlite3_io_methods ioMethods[] = {methodsOfVersion(1), methodsOfVersion(2),
                                        methodsOfVersion(3)};

FaultVfs* ownerOf(sqlite3_vfs* vfs) {
    return static_cast<FaultVfs*>(vfs->pAppData);
}

// The VFS entry points; everything but xOpen goes straight to the wrapped VFS.
sqlite3_vfs* below(sqlite3_vfs* vfs) {
    return ownerOf(vfs)->wrapped();
}

int vfsOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    FaultFile* f = self(file);
    f->base.pMethods = nullptr;
    f->owner = ownerOf(vfs);
    f->name = name;
    if (const int rc = f->owner->enter(VfsCall::Open, name)) return rc;
    const int rc = below(vfs)->xOpen(below(vfs), name, f->real(), flags, outFlags);
    const sqlite3_io_methods* m = f->real()->pMethods;
    if (m) f->base.pMethods = &ioMethods[std::clamp(m->iVersion, 1, 3) - 1];
    return rc;
}
int vfsDelete(sqlite3_vfs* vfs, const char* name, int syncDir) {
    return below(vfs)->xDelete(below(vfs), name, syncDir);
}
int vfsAccess(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
    return below(vfs)->xAccess(below(vfs), name, flags, out);
}
int vfsFullPathname(sqlite3_vfs* vfs, const char* name, int n, char* out) {
    return below(vfs)->xFullPathname(below(vfs), name, n, out);
}
void* vfsDlOpen(sqlite3_vfs* vfs, const char* name) {
    return below(vfs)->xDlOpen(below(vfs), name);
}
void vfsDlError(sqlite3_vfs* vfs, int n, char* out) {
    below(vfs)->xDlError(below(vfs), n, out);
}
void (*vfsDlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
    return below(vfs)->xDlSym(below(vfs), handle, symbol);
}
void vfsDlClose(sqlite3_vfs* vfs, void* handle) {
    below(vfs)->xDlClose(below(vfs), handle);
}
int vfsRandomness(sqlite3_vfs* vfs, int n, char* out) {
    return below(vfs)->xRandomness(below(vfs), n, out);
}
int vfsSleep(sqlite3_vfs* vfs, int microseconds) {
    return below(vfs)->xSleep(below(vfs), microseconds);
}
int vfsCurrentTime(sqlite3_vfs* vfs, double* out) {
    return below(vfs)->xCurrentTime(below(vfs), out);
}
int vfsGetLastError(sqlite3_vfs* vfs, int n, char* out) {
    return below(vfs)->xGetLastError ? below(vfs)->xGetLastError(below(vfs), n, out) : 0;
}
int vfsCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* out) {
    return below(vfs)->xCurrentTimeInt64(below(vfs), out);
}

} // namespace

FaultVfs::FaultVfs() {
    if (instanceLives.exchange(true)) throw std::logic_error("one FaultVfs at a time");
    real_ = sqlite3_vfs_find(nullptr);
    if (!real_) throw std::runtime_error("no default SQLite VFS");
    // Version 3 only adds the hooks that swap system calls, which tests have no use for.
    vfs_.iVersion = std::min(real_->iVersion, 2);
    vfs_.szOsFile = static_cast<int>(sizeof(FaultFile)) + real_->szOsFile;
    vfs_.mxPathname = real_->mxPathname;
    vfs_.zName = vfsName;
    vfs_.pAppData = this;
    vfs_.xOpen = vfsOpen;
    vfs_.xDelete = vfsDelete;
    vfs_.xAccess = vfsAccess;
    vfs_.xFullPathname = vfsFullPathname;
    vfs_.xDlOpen = vfsDlOpen;
    vfs_.xDlError = vfsDlError;
    vfs_.xDlSym = vfsDlSym;
    vfs_.xDlClose = vfsDlClose;
    vfs_.xRandomness = vfsRandomness;
    vfs_.xSleep = vfsSleep;
    vfs_.xCurrentTime = vfsCurrentTime;
    vfs_.xGetLastError = vfsGetLastError;
    if (vfs_.iVersion >= 2) vfs_.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    if (const int rc = sqlite3_vfs_register(&vfs_, 1); rc != SQLITE_OK) {
        instanceLives = false;
        throw std::runtime_error("cannot register the fault VFS");
    }
}

FaultVfs::~FaultVfs() {
    sqlite3_vfs_unregister(&vfs_);
    instanceLives = false;
}

void FaultVfs::resetCounts() {
    for (auto& c : counts_)
        c = 0;
}

void FaultVfs::arm(VfsCall call, int k, int error, bool persistent) {
    armed_ = false;
    armedCall_ = index(call);
    failAt_ = counts_[index(call)].load() + k;
    error_ = error;
    persistent_ = persistent;
    failures_ = 0;
    {
        std::lock_guard lock(mutex_);
        failedFile_.clear();
    }
    armed_ = true;
}

void FaultVfs::disarm() {
    armed_ = false;
}

int FaultVfs::enter(VfsCall call, const char* file) {
    const int n = ++counts_[index(call)];
    if (!armed_ || armedCall_ != index(call)) return SQLITE_OK;
    if (n == failAt_ || (persistent_ && n > failAt_)) {
        if (failures_++ == 0) {
            const std::string path = file ? file : "";
            std::lock_guard lock(mutex_);
            failedFile_ = path.substr(path.find_last_of('/') + 1);
        }
        return error_;
    }
    return SQLITE_OK;
}

std::string FaultVfs::failedFile() const {
    std::lock_guard lock(mutex_);
    return failedFile_;
}

SyncFreeDir::SyncFreeDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const bool shm = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0;
    std::string tmpl =
        ((shm ? fs::path("/dev/shm") : fs::temp_directory_path()) / "vexana-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

SyncFreeDir::~SyncFreeDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace vexana::test
