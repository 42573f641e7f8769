#include "platform/photos/detail/IndexLock.hpp"

#include "platform/files/FileDescriptor.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <fcntl.h>

namespace qv::platform::detail {

namespace {

// How long one try waits for the lock before the stop is looked at again.
constexpr std::chrono::milliseconds kTryFor{20};

} // namespace

IndexLock::IndexLock(const std::filesystem::path& indexFile, std::chrono::milliseconds patience,
                     const std::atomic<bool>* stop) {
    std::filesystem::path lockFile = indexFile;
    lockFile += ".lock";
    if (!FileDescriptor(
            ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644))) {
        return; // no lock file to be had here
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        lock_.emplace(lockFile, std::min(kTryFor, patience));
        if (lock_->held()) {
            return;
        }
        if (!lock_->heldElsewhere()) {
            // A file system without locks (ENOLCK, EOPNOTSUPP): no process can hold it, so
            // waiting would only keep the index shut; the opening goes on without it.
            lock_.reset();
            return;
        }
        if ((stop != nullptr && stop->load()) || std::chrono::steady_clock::now() >= deadline) {
            heldElsewhere_ = "another process has held " + quotedPath(lockFile) + " for over " +
                             std::to_string(patience.count()) + " ms";
            return;
        }
    }
}

} // namespace qv::platform::detail
