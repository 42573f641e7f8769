#include "platform/files/AtomicFile.hpp"

#include "platform/files/TemporaryFiles.hpp"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace qv::platform {

namespace {

// Set by a test's thread, read by whichever queue saves.
std::atomic<bool> diskFull{false};

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

void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::error_code writeFileAtomically(const std::filesystem::path& file, std::string_view data,
                                    bool overwrite) {
    const std::filesystem::path temporary = nextTemporaryName(file);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return lastError();
    }
    // Tells a cleaner in another process that this copy is in progress (TemporaryFiles.hpp);
    // released by the close. Where locks are not supported the writer's pid still tells.
    ::flock(fd, LOCK_EX | LOCK_NB);
    std::error_code error = writeAll(fd, data);
    if (!error && ::fsync(fd) != 0) {
        error = lastError();
    }
    if (::close(fd) != 0 && !error) {
        error = lastError();
    }
    if (!error) {
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
    if (!error) {
        syncFolder(file.parent_path());
    }
    return error;
}

ScopedDiskFull::ScopedDiskFull() : previous_(diskFull.exchange(true)) {}

ScopedDiskFull::~ScopedDiskFull() {
    diskFull.store(previous_);
}

} // namespace qv::platform
