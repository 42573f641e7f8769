#pragma once
// Internal: the lock that orders the processes opening one library's index, the file lock
// (FileLock.hpp) on "library.sqlite.lock" beside it. Each process holds it from before its
// verdict on the index through setting a damaged one aside (with its journal files) and making
// the new one, so no process sets aside an index another has just made, nor opens the index
// while a damaged one and its journal files are being moved: a new index beside an old journal
// would take that journal's pages for its own.

#include "platform/files/FileLock.hpp"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

namespace qv::platform::detail {

class IndexLock {
public:
    // Takes the lock of the index `indexFile`, waiting while another process holds it, for at
    // most `patience` or until `stop` (when given) is set. A lock file that cannot be made or
    // opened at all (a folder that cannot be written, where nothing can be set aside or made
    // either), or one on a file system that cannot lock, is not waited for: the opening goes on
    // without it.
    IndexLock(const std::filesystem::path& indexFile, std::chrono::milliseconds patience,
              const std::atomic<bool>* stop);

    // Why the lock was not had although it could be: another process held it all the while.
    // Empty when it is held, or when there is no lock to be had.
    const std::string& heldElsewhere() const { return heldElsewhere_; }

private:
    FileLock lock_; // released with the object
    std::string heldElsewhere_;
};

} // namespace qv::platform::detail
