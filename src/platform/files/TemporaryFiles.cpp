#include "platform/files/TemporaryFiles.hpp"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {

namespace {

constexpr std::string_view marker = ".tmp-";
constexpr auto oldAge = std::chrono::hours(24);
constexpr auto writingGrace = std::chrono::minutes(1);

// The writer's pid and counter of a temporary name; nothing when the name has no such tail.
std::optional<long> writerOf(std::string_view name) {
    const std::size_t at = name.rfind(marker);
    if (at == std::string_view::npos || at == 0) {
        return std::nullopt;
    }
    const std::string_view tail = name.substr(at + marker.size());
    long pid = 0;
    unsigned long counter = 0;
    const char* end = tail.data() + tail.size();
    const auto [afterPid, pidError] = std::from_chars(tail.data(), end, pid);
    if (pidError != std::errc() || afterPid == end || *afterPid != '-') {
        return std::nullopt;
    }
    const auto [afterCounter, counterError] = std::from_chars(afterPid + 1, end, counter);
    if (counterError != std::errc() || afterCounter != end || afterPid + 1 == end) {
        return std::nullopt;
    }
    return pid;
}

// Whether no process with this pid exists here. A pid that is no process id at all (0, or
// one that would name a process group) is never taken for a gone writer.
bool processIsGone(long pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) {
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Whether a writer holds the file's lock; true when that cannot be told.
bool isLocked(int fd) {
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        return true;
    }
    ::flock(fd, LOCK_UN);
    return false;
}

} // namespace

std::filesystem::path nextTemporaryName(const std::filesystem::path& file) {
    // Unique within the process (counter) and across processes (pid).
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temporary = file;
    temporary += std::string(marker) + std::to_string(::getpid()) + "-" +
                 std::to_string(counter.fetch_add(1));
    return temporary;
}

bool isTemporaryName(std::string_view name) {
    return writerOf(name).has_value();
}

bool isStaleTemporaryFile(const std::filesystem::path& file) {
    const std::optional<long> writer = writerOf(file.filename().native());
    std::error_code error;
    if (!writer ||
        !std::filesystem::is_regular_file(std::filesystem::symlink_status(file, error))) {
        return false; // a link, a folder or a device is never opened, let alone removed
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const bool locked = !regular || isLocked(fd);
    ::close(fd);
    if (locked) {
        return false;
    }
    const auto written = std::chrono::system_clock::time_point(
        std::chrono::seconds(status.st_mtim.tv_sec) +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
    const auto age = std::chrono::system_clock::now() - written;
    return age > oldAge || (age > writingGrace && processIsGone(*writer));
}

int removeStaleTemporaryFiles(const std::filesystem::path& folder) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (isStaleTemporaryFile(it->path()) && std::filesystem::remove(it->path(), ignored)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace qv::platform
