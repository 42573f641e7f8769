#pragma once

#include "platform/files/LockOwner.hpp"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace qv::platform {

// A lock taken by making a folder (mkdir, which one process alone succeeds at) and given back
// by removing it: for a file system without flock or record locks (a network home whose lock
// daemon does not answer). Such a lock outlives a process killed while holding it, so its
// taker records who it is (LockOwner.hpp) in the file "owner" inside, right after the mkdir,
// and removes that record right before the rmdir. A folder whose owner is gone (a process of
// this machine that no longer runs) is broken by whoever finds it; one whose owner runs, or is
// of another machine (which may run and cannot be asked), or that names no owner (its taker is
// between mkdir and record, or was killed there; or an earlier version made it), is never
// broken: it is waited for, and the line names it truly.

// Writes this process's record into `folder`, just made by this process. False when it could
// not be written (the lock is held all the same; others cannot judge it).
bool recordOwnerIn(const std::filesystem::path& folder);
// Removes this process's record from `folder`, right before the folder is removed.
void removeOwnerRecordFrom(const std::filesystem::path& folder);

// Who holds the lock folder `folder`, as its record says.
struct LockFolderHolder {
    bool there = false;             // a folder is there
    std::optional<LockOwner> owner; // none: it names no owner
    OwnerState state = OwnerState::running;
};
LockFolderHolder holderOf(const std::filesystem::path& folder);

// Breaks the lock folder `folder` when its record names an owner that is gone. Safe where
// several processes break it at once and others take it meanwhile: the record judged is moved
// out of the folder first (one process alone can), and the folder removed only when the record
// moved is the one judged (no other folder holds it); a record moved from a folder taken since
// is put back. True when this call removed the folder.
bool breakIfOwnerGone(const std::filesystem::path& folder);

// Why `folder` is held, for a line: "'<folder>' is held by process 4711 on 'studio' (remove it
// if nothing there uses it any more)", "... names no owner (...)".
std::string whyHeld(const std::filesystem::path& folder);

// A lock folder taken, waiting while another holds it for at most `patience` on the real
// clock (the holder is another process) or until `stop` is set, and breaking it when its owner
// is gone. Given back (record and folder removed) when the object goes.
class FolderLock {
public:
    FolderLock(std::filesystem::path folder, std::chrono::milliseconds patience,
               const std::atomic<bool>* stop = nullptr);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return held_; }
    // Whether it is not held because another held it all the while (problem() says who).
    bool heldElsewhere() const { return heldElsewhere_; }
    const std::string& problem() const { return problem_; }

private:
    std::filesystem::path folder_;
    bool held_ = false;
    bool heldElsewhere_ = false;
    std::string problem_;
};

} // namespace qv::platform
