#include "platform/files/AtomicFile.hpp"

#include "platform/console/FailureLines.hpp"
#include "platform/files/FileDescriptor.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/Folder.hpp"
#include "platform/files/TemporaryFiles.hpp"
#include "platform/files/detail/ExclusiveLock.hpp"
#include "platform/formatting/QuotedText.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {

namespace {

// How long a writer waits for its own temporary file's lock, which only a cleaner probing it
// for an instant can hold.
constexpr std::chrono::milliseconds lockPatience{1000};

// How many temporary names a write passes over when they are taken: leftovers of killed
// writes of earlier processes with this pid, which stay until they are a day old.
constexpr int takenNamesPassedOver = 1000;

// Set by a test's thread, read by whichever queue saves: the errno each call fails with, or 0.
std::array<std::atomic<int>, 3> injectedErrors{};
std::atomic<const ScopedWriteSteps::Step*> stepObserver{nullptr};

std::atomic<int>& injected(WriteCall call) {
    return injectedErrors[static_cast<std::size_t>(call)];
}

void reachStep(WriteStep step, const std::filesystem::path& temporary) {
    if (const ScopedWriteSteps::Step* observer = stepObserver.load()) {
        (*observer)(step, temporary);
    }
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// The error a test injects into `call`, or `actual`.
std::error_code failingAs(WriteCall call, std::error_code actual) {
    if (const int error = injected(call).load()) {
        return {error, std::generic_category()};
    }
    return actual;
}

std::error_code writeAll(int fd, std::string_view data) {
    if (const std::error_code injectedError = failingAs(WriteCall::write, {})) {
        return injectedError;
    }
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

// Creates the temporary file of `file` in `folder` (its folder) under the first of this
// process's next temporary names that is free.
std::error_code createTemporaryFile(const Folder& folder, const std::filesystem::path& file,
                                    std::string& temporary, FileDescriptor& fd) {
    for (int passedOver = 0;; ++passedOver) {
        temporary = nextTemporaryName(file).filename();
        std::error_code error;
        fd = folder.openFile(temporary, O_WRONLY | O_CREAT | O_EXCL, error);
        if (!error) {
            return {};
        }
        if (error != std::errc::file_exists || passedOver == takenNamesPassedOver) {
            return error;
        }
    }
}

// Takes the temporary file's lock, which tells a cleaner in any process that the copy is in
// progress (TemporaryFiles.hpp), and checks that the file still has its name: a cleaner
// never removes a file this young, but a clock set back could make it look old. On a file
// system without locks the write goes on unlocked: no cleaner can lock the file there either,
// so it goes by the writer's pid and the file's age alone, which keep a copy in progress.
std::error_code lockTemporaryFile(const FileDescriptor& fd) {
    if (const std::error_code error = detail::lockExclusively(fd.get(), lockPatience);
        error && !isLockingUnavailable(error)) {
        return error;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return lastError();
    }
    if (status.st_nlink == 0) {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    return {};
}

// Closes the written temporary file and says how the close went, keeping its lock on a
// second descriptor of the same open file (`lockHolder`) until the file has its final name.
std::error_code closeKeepingTheLock(FileDescriptor& fd, FileDescriptor& lockHolder) {
    lockHolder = FileDescriptor(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!lockHolder) {
        return lastError();
    }
    return failingAs(WriteCall::close, fd.close());
}

std::error_code syncFolder(const Folder& folder) {
    return failingAs(WriteCall::folderSync, folder.sync());
}

// Says once per folder and reason that `file` has its name but its folder was not synced.
void reportFolderSync(const std::filesystem::path& file, const std::error_code& error) {
    const std::filesystem::path folder = file.parent_path();
    const std::string cause = "sync folder " + folder.string();
    if (!error) {
        failureRecovered(cause);
        return;
    }
    printFailure(cause, quotedPath(file) + " was written, but its folder " + quotedPath(folder) +
                            " could not be synced (" + error.message() +
                            "): a crash or power loss may still undo the change");
}

} // namespace

std::error_code writeFileAtomically(const std::filesystem::path& file, std::string_view data,
                                    bool overwrite, std::error_code* folderNotSynced,
                                    const std::function<bool()>& beforeNaming) {
    if (folderNotSynced != nullptr) {
        folderNotSynced->clear();
    }
    // Every name is made, renamed and removed in the folder opened here: a link put at the
    // folder's path meanwhile is never followed.
    std::error_code error;
    const Folder folder = Folder::open(file.parent_path(), error);
    if (error) {
        return error;
    }
    const std::string name = file.filename();
    std::string temporary;
    FileDescriptor fd;
    if ((error = createTemporaryFile(folder, file, temporary, fd))) {
        return error;
    }
    reachStep(WriteStep::created, folder.path() / temporary);
    // The lock is held from before the first byte until the file has its final name, so no
    // cleaner ever sees this copy unlocked, however long the write or its fsync takes.
    error = lockTemporaryFile(fd);
    if (!error) {
        error = writeAll(fd.get(), data);
    }
    if (!error && ::fsync(fd.get()) != 0) {
        error = lastError();
    }
    FileDescriptor lockHolder;
    if (!error) {
        error = closeKeepingTheLock(fd, lockHolder);
    }
    if (!error && beforeNaming && !beforeNaming()) {
        error = std::make_error_code(std::errc::operation_canceled);
    }
    if (!error) {
        reachStep(WriteStep::written, folder.path() / temporary);
        // link() fails with EEXIST instead of replacing, unlike rename().
        error =
            overwrite ? folder.move(temporary, folder, name) : folder.link(temporary, folder, name);
    }
    if (error || !overwrite) {
        folder.remove(temporary);
    }
    fd.close(); // releases the lock (with the holder); the data is already flushed
    lockHolder.close();
    if (!error) {
        const std::error_code synced = syncFolder(folder);
        reportFolderSync(file, synced);
        if (folderNotSynced != nullptr) {
            *folderNotSynced = synced;
        }
    }
    return error;
}

ScopedWriteFailure::ScopedWriteFailure(WriteCall call, int error)
    : call_(call), previous_(injected(call).exchange(error)) {}

ScopedWriteFailure::~ScopedWriteFailure() {
    injected(call_).store(previous_);
}

ScopedDiskFull::ScopedDiskFull() : ScopedWriteFailure(WriteCall::write, ENOSPC) {}

ScopedWriteSteps::ScopedWriteSteps(Step step)
    : step_(std::move(step)), previous_(stepObserver.exchange(&step_)) {}

ScopedWriteSteps::~ScopedWriteSteps() {
    stepObserver.store(previous_);
}

} // namespace qv::platform
