#include "platform/photos/detail/LockFolderFiles.hpp"

#include "platform/files/LockFolder.hpp"

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <new>
#include <sqlite3.h>
#include <string>

namespace qv::platform::detail {

namespace {

constexpr const char* kName = "qv-dotfile";

sqlite3_vfs* inner = nullptr; // SQLite's "unix-dotfile", set once
sqlite3_vfs outer{};
sqlite3_io_methods methods{};

// A database file of SQLite's layer, followed in memory by that layer's own file.
struct File {
    sqlite3_file base;
    int level;        // this connection's lock level
    LockFolder* lock; // "<database>.lock" beside it
    sqlite3_file* own() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

File& asFile(sqlite3_file* file) {
    return *reinterpret_cast<File*>(file);
}

sqlite3_file* own(sqlite3_file* file) {
    return asFile(file).own();
}

const sqlite3_io_methods& ownMethods(sqlite3_file* file) {
    return *own(file)->pMethods;
}

// SQLite's answer to a lock that could not be had for `error`, as its dot-file layer gives it.
int lockFailure(const std::error_code& error) {
    switch (error.value()) {
    case EACCES:
    case EAGAIN:
    case ETIMEDOUT:
    case EBUSY:
    case EINTR:
    case ENOLCK:
        return SQLITE_BUSY;
    case EPERM:
        return SQLITE_PERM;
    default:
        return SQLITE_IOERR_LOCK;
    }
}

// Every level above none holds the lock folder.
int lock(sqlite3_file* file, int level) {
    File& f = asFile(file);
    if (f.level == SQLITE_LOCK_NONE) {
        std::error_code error;
        switch (f.lock->tryTake(error)) {
        case LockFolder::Attempt::taken:
            break;
        case LockFolder::Attempt::heldElsewhere:
            return SQLITE_BUSY;
        case LockFolder::Attempt::failed:
            return lockFailure(error);
        }
    }
    f.level = level;
    return SQLITE_OK;
}

int unlock(sqlite3_file* file, int level) {
    File& f = asFile(file);
    if (level == SQLITE_LOCK_NONE) {
        f.lock->giveBack();
    }
    f.level = level;
    return SQLITE_OK;
}

// A connection that holds the lock folder holds every level alone: then no other connection
// has a reserved lock, however the folder looks. SQLite asks at a shared lock whether a journal
// left beside the index is hot, and must find it so to roll back a change whose process was
// killed while writing it (SQLite's own dot-file layer answers "reserved" there, as its own
// folder is there, and such a journal was never rolled back: the index was left damaged).
int checkReservedLock(sqlite3_file* file, int* reserved) {
    const File& f = asFile(file);
    *reserved = f.level > SQLITE_LOCK_SHARED || (f.level == SQLITE_LOCK_NONE && f.lock->there());
    return SQLITE_OK;
}

int close(sqlite3_file* file) {
    File& f = asFile(file);
    delete f.lock; // gives the lock back
    f.lock = nullptr;
    return ownMethods(file).xClose(own(file));
}

int read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    return ownMethods(file).xRead(own(file), buffer, amount, offset);
}

int write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    return ownMethods(file).xWrite(own(file), buffer, amount, offset);
}

int truncate(sqlite3_file* file, sqlite3_int64 size) {
    return ownMethods(file).xTruncate(own(file), size);
}

int sync(sqlite3_file* file, int flags) {
    return ownMethods(file).xSync(own(file), flags);
}

int fileSize(sqlite3_file* file, sqlite3_int64* size) {
    return ownMethods(file).xFileSize(own(file), size);
}

int fileControl(sqlite3_file* file, int operation, void* argument) {
    return ownMethods(file).xFileControl(own(file), operation, argument);
}

int sectorSize(sqlite3_file* file) {
    return ownMethods(file).xSectorSize(own(file));
}

int deviceCharacteristics(sqlite3_file* file) {
    return ownMethods(file).xDeviceCharacteristics(own(file));
}

// Opens the database file wrapped; every other file (journals) as SQLite's layer opens it.
int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    if ((flags & SQLITE_OPEN_MAIN_DB) == 0 || name == nullptr) {
        return inner->xOpen(inner, name, file, flags, outFlags);
    }
    File& f = asFile(file);
    f.base.pMethods = nullptr;
    f.level = SQLITE_LOCK_NONE;
    const std::filesystem::path database(name);
    std::error_code error;
    Folder folder = Folder::open(database.parent_path(), error);
    if (!folder) {
        return SQLITE_CANTOPEN;
    }
    f.lock =
        new (std::nothrow) LockFolder(std::move(folder), database.filename().native() + ".lock");
    if (f.lock == nullptr) {
        return SQLITE_NOMEM;
    }
    const int result = inner->xOpen(inner, name, f.own(), flags, outFlags);
    if (result != SQLITE_OK || f.own()->pMethods == nullptr) {
        delete f.lock;
        f.lock = nullptr;
        return result;
    }
    f.base.pMethods = &methods;
    return result;
}

void registerOnce() {
    inner = sqlite3_vfs_find("unix-dotfile");
    if (inner == nullptr) {
        return;
    }
    // Version 1 of the file methods, as SQLite's dot-file layer has: no shared memory.
    methods.iVersion = 1;
    methods.xClose = close;
    methods.xRead = read;
    methods.xWrite = write;
    methods.xTruncate = truncate;
    methods.xSync = sync;
    methods.xFileSize = fileSize;
    methods.xLock = lock;
    methods.xUnlock = unlock;
    methods.xCheckReservedLock = checkReservedLock;
    methods.xFileControl = fileControl;
    methods.xSectorSize = sectorSize;
    methods.xDeviceCharacteristics = deviceCharacteristics;
    outer = *inner;
    outer.zName = kName;
    outer.szOsFile = int(sizeof(File)) + inner->szOsFile;
    outer.xOpen = open;
    outer.pNext = nullptr;
    sqlite3_vfs_register(&outer, 0);
}

} // namespace

const char* lockFolderFiles() {
    static std::once_flag once;
    std::call_once(once, registerOnce);
    return inner != nullptr ? kName : "unix-dotfile";
}

} // namespace qv::platform::detail
