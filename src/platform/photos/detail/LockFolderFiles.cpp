#include "platform/photos/detail/LockFolderFiles.hpp"

#include "platform/files/FolderLock.hpp"

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
    int level;                         // this connection's lock level
    std::filesystem::path* lockFolder; // "<database>.lock"
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

int lock(sqlite3_file* file, int level) {
    File& f = asFile(file);
    const bool taking = f.level == SQLITE_LOCK_NONE;
    int result = ownMethods(file).xLock(own(file), level);
    if (result == SQLITE_BUSY && taking && breakIfOwnerGone(*f.lockFolder)) {
        result = ownMethods(file).xLock(own(file), level);
    }
    if (result == SQLITE_OK) {
        if (taking) {
            recordOwnerIn(*f.lockFolder);
        }
        f.level = level;
    }
    return result;
}

int unlock(sqlite3_file* file, int level) {
    File& f = asFile(file);
    const bool givingBack = level == SQLITE_LOCK_NONE && f.level != SQLITE_LOCK_NONE;
    if (givingBack) {
        removeOwnerRecordFrom(*f.lockFolder); // SQLite's rmdir fails on a folder not empty
    }
    const int result = ownMethods(file).xUnlock(own(file), level);
    if (result == SQLITE_OK) {
        f.level = level;
    } else if (givingBack) {
        recordOwnerIn(*f.lockFolder); // still held
    }
    return result;
}

int checkReservedLock(sqlite3_file* file, int* reserved) {
    return ownMethods(file).xCheckReservedLock(own(file), reserved);
}

int close(sqlite3_file* file) {
    File& f = asFile(file);
    if (f.level != SQLITE_LOCK_NONE) {
        removeOwnerRecordFrom(*f.lockFolder);
    }
    const int result = ownMethods(file).xClose(own(file));
    delete f.lockFolder;
    f.lockFolder = nullptr;
    return result;
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
    const int result = inner->xOpen(inner, name, f.own(), flags, outFlags);
    if (result != SQLITE_OK || f.own()->pMethods == nullptr) {
        return result;
    }
    f.lockFolder = new (std::nothrow) std::filesystem::path(std::string(name) + ".lock");
    if (f.lockFolder == nullptr) {
        f.own()->pMethods->xClose(f.own());
        return SQLITE_NOMEM;
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
