#include "platform/photos/detail/IndexLock.hpp"

#include "platform/formatting/QuotedText.hpp"

namespace qv::platform::detail {

namespace {

std::filesystem::path lockFileOf(const std::filesystem::path& indexFile) {
    std::filesystem::path lockFile = indexFile;
    lockFile += ".lock";
    return lockFile;
}

} // namespace

IndexLock::IndexLock(const std::filesystem::path& indexFile, std::chrono::milliseconds patience,
                     const std::atomic<bool>* stop)
    : lock_(lockFileOf(indexFile), patience, stop) {
    // A lock not had for another cause (no lock file to be had here, a file system without
    // locks: ENOLCK, EOPNOTSUPP) is not waited for, as no process can hold it: the opening
    // goes on without it.
    if (lock_.heldElsewhere()) {
        heldElsewhere_ = "another process has held " + quotedPath(lockFileOf(indexFile)) +
                         " for over " + std::to_string(patience.count()) + " ms";
    }
}

} // namespace qv::platform::detail
