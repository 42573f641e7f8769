#include "platform/files/FileLock.hpp"

#include "platform/console/FailureLines.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace qv::platform {

namespace {

// How often a held lock is tried again while waiting.
constexpr std::chrono::milliseconds retryEvery{5};
// How long a rewrite waits for another process's read, change and write of the file.
constexpr std::chrono::milliseconds rewritePatience{1000};

std::string lastError() {
    return std::strerror(errno);
}

} // namespace

FileLock lockForRewriting(const std::filesystem::path& file) {
    std::filesystem::path lockFile = file;
    lockFile += ".lock";
    return FileLock(lockFile, rewritePatience);
}

FileLock::FileLock(const std::filesystem::path& lockFile, std::chrono::milliseconds patience) {
    // Never blocks on opening: O_NONBLOCK also covers a FIFO put in the lock file's place.
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        problem_ = "the lock file cannot be opened (" + lastError() + ")";
        return;
    }
    // The real clock on purpose: the wait is for another process, which no virtual clock
    // moves.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            problem_ = "the lock file cannot be locked (" + lastError() + ")";
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            problem_ = "another process has held its lock for over " +
                       std::to_string(patience.count()) + " ms";
            return;
        }
        std::this_thread::sleep_for(retryEvery);
    }
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

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_); // closing the last descriptor releases the lock
    }
}

} // namespace qv::platform
