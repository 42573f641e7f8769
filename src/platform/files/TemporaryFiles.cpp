#include "platform/files/TemporaryFiles.hpp"

#include "platform/files/FileDescriptor.hpp"
#include "platform/files/FileLock.hpp"
#include "platform/files/Folder.hpp"
#include "platform/files/detail/ExclusiveLock.hpp"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {

namespace {

constexpr std::string_view marker = ".tmp-";
constexpr auto oldAge = std::chrono::hours(24);
constexpr auto writingGrace = std::chrono::minutes(1);
// A cleaner never waits for a lock: a file whose lock is held is in use.
constexpr std::chrono::milliseconds noWait{0};

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

std::chrono::system_clock::duration ageOf(const struct stat& status) {
    const auto written = std::chrono::system_clock::time_point(
        std::chrono::seconds(status.st_mtim.tv_sec) +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
    return std::chrono::system_clock::now() - written;
}

bool isSameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` in `folder` is a leftover whose writer is gone; when it is and `remove` is
// set, removes it. The file's lock is taken (exclusive, without waiting) before anything is
// decided and held until the file is gone, so a writer that holds it, or takes it meanwhile,
// keeps its copy: a file whose lock is held, or that is no longer the one at the name, stays.
// A link, a folder or a device is never opened (O_NOFOLLOW, O_NONBLOCK), let alone removed.
bool checkAndRemove(const Folder& folder, const std::string& name, FolderSharing sharing,
                    bool remove) {
    const std::optional<long> writer = writerOf(name);
    if (!writer) {
        return false;
    }
    std::error_code error;
    const FileDescriptor fd = folder.openFile(name, O_RDONLY, error);
    struct stat status {};
    if (error || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    // Where the file system has no locks, no writer holds one either: the pid and the age
    // below decide alone.
    if (const std::error_code locked = detail::lockExclusively(fd.get(), noWait);
        locked && !isLockingUnavailable(locked)) {
        return false;
    }
    const auto age = ageOf(status);
    const bool writerGone = sharing == FolderSharing::thisMachine && processIsGone(*writer);
    if (!(age > oldAge || (age > writingGrace && writerGone))) {
        return false;
    }
    const std::optional<struct stat> named = folder.statusOf(name, error);
    if (!named || !isSameFile(*named, status)) {
        return false; // renamed to its final name, or replaced, since it was opened
    }
    return !remove || !folder.remove(name);
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

bool isStaleTemporaryFile(const std::filesystem::path& file, FolderSharing sharing) {
    std::error_code error;
    const Folder folder = Folder::open(file.parent_path(), error);
    return folder && checkAndRemove(folder, file.filename(), sharing, false);
}

namespace {

// Removes the stale temporary files in `folder` whose names start with `prefix`.
int removeStale(const std::filesystem::path& folderPath, std::string_view prefix,
                FolderSharing sharing) {
    int removed = 0;
    std::error_code error;
    const Folder folder = Folder::open(folderPath, error);
    for (const std::string& name : folder.entries(error)) {
        if (name.starts_with(prefix) && checkAndRemove(folder, name, sharing, true)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace

int removeStaleTemporaryFiles(const std::filesystem::path& folder, FolderSharing sharing) {
    return removeStale(folder, "", sharing);
}

int removeStaleTemporaryFilesOf(const std::filesystem::path& file, FolderSharing sharing) {
    return removeStale(file.parent_path(), file.filename().native() + std::string(marker), sharing);
}

} // namespace qv::platform
