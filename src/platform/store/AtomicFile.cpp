#include "platform/store/AtomicFile.hpp"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
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
    // Unique within the process (counter) and across processes (pid).
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = file;
    temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);

    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return lastError();
    }
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
