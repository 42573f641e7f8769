#include "platform/files/AtomicFile.hpp"

#include "platform/files/FileDescriptor.hpp"
#include "platform/files/TemporaryFiles.hpp"
#include "platform/files/detail/ExclusiveLock.hpp"

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

// Set by a test's thread, read by whichever queue saves.
std::atomic<bool> diskFull{false};
std::atomic<const ScopedWriteSteps::Step*> stepObserver{nullptr};

void reachStep(WriteStep step, const std::filesystem::path& temporary) {
    if (const ScopedWriteSteps::Step* observer = stepObserver.load()) {
        (*observer)(step, temporary);
    }
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::error_code writeAll(int fd, std::string_view data) {
    if (diskFull.load()) {
        return std::make_error_code(std::errc::no_space_on_device);
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

// Takes the temporary file's lock, which tells a cleaner in any process that the copy is in
// progress (TemporaryFiles.hpp), and checks that the file still has its name: a cleaner
// never removes a file this young, but a clock set back could make it look old.
std::error_code lockTemporaryFile(const FileDescriptor& fd) {
    if (const std::error_code error = detail::lockExclusively(fd.get(), lockPatience)) {
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

void syncFolder(const std::filesystem::path& folder) {
    const FileDescriptor fd(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.get());
    }
}

} // namespace

std::error_code writeFileAtomically(const std::filesystem::path& file, std::string_view data,
                                    bool overwrite) {
    const std::filesystem::path temporary = nextTemporaryName(file);
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!fd) {
        return lastError();
    }
    reachStep(WriteStep::created, temporary);
    // The lock is held from before the first byte until the file has its final name, so no
    // cleaner ever sees this copy unlocked, however long the write or its fsync takes.
    std::error_code error = lockTemporaryFile(fd);
    if (!error) {
        error = writeAll(fd.get(), data);
    }
    if (!error && ::fsync(fd.get()) != 0) {
        error = lastError();
    }
    if (!error) {
        reachStep(WriteStep::written, temporary);
        if (overwrite) {
            if (::rename(temporary.c_str(), file.c_str()) != 0) {
                error = lastError();
            }
        } else if (::link(temporary.c_str(), file.c_str()) != 0) {
            // link() fails with EEXIST instead of replacing, unlike rename().
            error = lastError();
        }
    }
    if (error || !overwrite) {
        ::unlink(temporary.c_str());
    }
    fd.close(); // releases the lock; the data is already flushed
    if (!error) {
        syncFolder(file.parent_path());
    }
    return error;
}

ScopedDiskFull::ScopedDiskFull() : previous_(diskFull.exchange(true)) {}

ScopedDiskFull::~ScopedDiskFull() {
    diskFull.store(previous_);
}

ScopedWriteSteps::ScopedWriteSteps(Step step)
    : step_(std::move(step)), previous_(stepObserver.exchange(&step_)) {}

ScopedWriteSteps::~ScopedWriteSteps() {
    stepObserver.store(previous_);
}

} // namespace qv::platform
