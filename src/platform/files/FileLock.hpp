#pragma once

#include "platform/files/FileDescriptor.hpp"
#include "platform/files/FolderLock.hpp"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace qv::platform {

// An advisory lock (flock) on a lock file, taken by every process that rewrites a shared
// file from what it holds now (read, change, write), so that two of them never interleave
// and none loses the other's change. The lock file is made when missing and left in place; it
// is opened in its folder and never through a link put at its name.
//
// Waits at most `patience` while another process holds the lock (or until `stop`, when given,
// is set); a holder that keeps it longer is stuck, so the caller then goes on without it
// rather than hang: held() is false and problem() says why. A lock file that cannot be opened
// or locked is not waited for.
// The lock is released when the object goes (or when the process ends, however it ends).
//
// Where the file system has no flock (isLockingUnavailable) and `whereNoLocks` says so, the
// lock is a lock folder instead (FolderLock.hpp): "<lock file>dir" ("settings.json.lockdir"),
// taken with the same patience, its owner recorded in it and broken once that owner is gone.
class FileLock {
public:
    enum class WhereNoLocks {
        goWithout,  // held() is false, and problem() says why
        lockFolder, // the lock folder "<lock file>dir"
    };
    FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds patience,
             const std::atomic<bool>* stop = nullptr,
             WhereNoLocks whereNoLocks = WhereNoLocks::goWithout);
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return held_; }
    // Why the lock is not held ("another process has held it for over 1 s"); empty when held.
    const std::string& problem() const { return problem_; }
    // Whether it is not held because another process held it all the while, rather than
    // because the lock file cannot be opened or locked here at all.
    bool heldElsewhere() const { return heldElsewhere_; }

private:
    FileDescriptor fd_;                  // closing it releases the lock
    std::unique_ptr<FolderLock> folder_; // where the file system has no flock
    bool held_ = false;
    bool heldElsewhere_ = false;
    std::string problem_;
};

// Whether `error`, from flock() or fcntl() locking, says the file system has no locks to give
// (ENOLCK: a network file system whose lock daemon does not answer; ENOSYS, EOPNOTSUPP),
// rather than that another holds one.
bool isLockingUnavailable(const std::error_code& error);

// Test seam: while one lives, every lock of the files layer fails with `error` (an errno value:
// ENOLCK, EOPNOTSUPP...), as on a file system without locks, from any thread: each FileLock,
// the lock a write holds on its temporary file, and the one a cleaner of temporary files
// takes. Made and dropped by the test's thread.
class ScopedLockFailure {
public:
    explicit ScopedLockFailure(int error);
    ~ScopedLockFailure();
    ScopedLockFailure(const ScopedLockFailure&) = delete;
    ScopedLockFailure& operator=(const ScopedLockFailure&) = delete;

private:
    int previous_;
};

// The lock every process takes to read, change and write the shared file `file` (the
// settings, the permissions): "<file>.lock" beside it, waited for at most a second; where the
// file system has no flock, the lock folder "<file>.lockdir" beside it.
FileLock lockForRewriting(const std::filesystem::path& file);

// After a write of `file` made while `lock` was wanted: when the lock was not held, one line
// says so ("The settings were saved to '<file>' without their lock: <why>"; `what` is "The
// settings"), once while it lasts; a write under the lock ends that.
void reportWriteWithoutLock(const FileLock& lock, const std::string& what,
                            const std::filesystem::path& file);

} // namespace qv::platform
