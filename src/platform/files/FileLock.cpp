#include "platform/files/FileLock.hpp"

#include "platform/console/FailureLines.hpp"
#include "platform/files/Folder.hpp"
#include "platform/files/detail/ExclusiveLock.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <fcntl.h>

namespace qv::platform {

namespace {

// How long a rewrite waits for another process's read, change and write of the file.
constexpr std::chrono::milliseconds rewritePatience{1000};

} // namespace

FileLock lockForRewriting(const std::filesystem::path& file) {
    std::filesystem::path lockFile = file;
    lockFile += ".lock";
    return FileLock(lockFile, rewritePatience, nullptr, FileLock::WhereNoLocks::lockFolder);
}

FileLock::FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds patience,
                   const std::atomic<bool>* stop, WhereNoLocks whereNoLocks) {
    // Opened in its folder, never through a link put at its name (ELOOP), and never blocking:
    // O_NONBLOCK also covers a FIFO put in the lock file's place.
    std::error_code opened;
    const Folder lockFiles = Folder::open(lockFile.parent_path(), opened);
    if (lockFiles) {
        fd_ = lockFiles.openFile(lockFile.filename().native(), O_RDWR | O_CREAT, opened);
    }
    if (!fd_) {
        problem_ = "the lock file cannot be opened (" + opened.message() + ")";
        return;
    }
    const std::error_code error = detail::lockExclusively(fd_.get(), patience, stop);
    if (!error) {
        held_ = true;
    } else if (isLockingUnavailable(error) && whereNoLocks == WhereNoLocks::lockFolder) {
        fd_ = FileDescriptor();
        std::filesystem::path folder = lockFile;
        folder += "dir";
        folder_ = std::make_unique<FolderLock>(folder, patience, stop);
        held_ = folder_->held();
        heldElsewhere_ = folder_->heldElsewhere();
        problem_ = folder_->problem();
    } else if (error == std::errc::resource_unavailable_try_again) {
        heldElsewhere_ = true;
        problem_ = "another process has held its lock for over " +
                   std::to_string(patience.count()) + " ms";
    } else {
        problem_ = "the lock file cannot be locked (" + error.message() + ")";
    }
}

bool isLockingUnavailable(const std::error_code& error) {
    return error == std::errc::no_lock_available || error == std::errc::function_not_supported ||
           error == std::errc::operation_not_supported;
}

ScopedLockFailure::ScopedLockFailure(int error)
    : previous_(detail::injectedLockError().exchange(error)) {}

ScopedLockFailure::~ScopedLockFailure() {
    detail::injectedLockError().store(previous_);
}

void reportWriteWithoutLock(const FileLock& lock, const std::string& what,
                            const std::filesystem::path& file) {
    const std::string cause = "lock " + file.string();
    if (lock.held()) {
        failureRecovered(cause);
    } else {
        printFailure(cause, what + " were saved to " + quotedPath(file) +
                                " without their lock: " + lock.problem());
    }
}

} // namespace qv::platform
