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
#include <functional>
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

// A temporary file opened to judge its writer, its lock taken without waiting where it was free.
struct Probe {
    enum class Lock {
        taken,       // no writer holds it; held by `fd` until the probe goes
        held,        // a writer holds it, or the file could not be opened to tell
        unavailable, // the file system has no locks: the writer's pid and the file's age tell
    };
    long writer = 0;
    Lock lock = Lock::held;
    FileDescriptor fd;
    struct stat status {};
};

// Opens `name` in `folder` and tries its lock; nothing when it is no regular file with a
// temporary name (a link, a folder or a device is never opened, let alone removed: O_NOFOLLOW,
// O_NONBLOCK) or no longer there.
std::optional<Probe> probe(const Folder& folder, const std::string& name) {
    const std::optional<long> writer = writerOf(name);
    if (!writer) {
        return std::nullopt;
    }
    std::error_code error;
    Probe probed{*writer, Probe::Lock::held, folder.openFile(name, O_RDONLY, error)};
    if (error) {
        const bool gone = error == std::errc::no_such_file_or_directory ||
                          error == std::errc::too_many_symbolic_link_levels;
        return gone ? std::nullopt : std::optional<Probe>(std::move(probed));
    }
    if (::fstat(probed.fd.get(), &probed.status) != 0) {
        return probed;
    }
    if (!S_ISREG(probed.status.st_mode)) {
        return std::nullopt;
    }
    const std::error_code locked = detail::lockExclusively(probed.fd.get(), noWait);
    probed.lock = !locked                        ? Probe::Lock::taken
                  : isLockingUnavailable(locked) ? Probe::Lock::unavailable
                                                 : Probe::Lock::held;
    return probed;
}

// Whether `name` in `folder` is a leftover whose writer is gone; when it is and `remove` is set,
// removes it. The file's lock is taken (exclusive, without waiting) before anything is decided
// and held until the file is gone, so a writer that holds it, or takes it meanwhile, keeps its
// copy: a file whose lock is held, or that is no longer the one at the name, stays.
bool checkAndRemove(const Folder& folder, const std::string& name, FolderSharing sharing,
                    bool remove) {
    const std::optional<Probe> probed = probe(folder, name);
    // Where the file system has no locks, no writer holds one either (Lock::unavailable): the
    // pid and the age below decide alone.
    if (!probed || probed->lock == Probe::Lock::held) {
        return false;
    }
    const auto age = ageOf(probed->status);
    const bool writerGone = sharing == FolderSharing::thisMachine && processIsGone(probed->writer);
    if (!(age > oldAge || (age > writingGrace && writerGone))) {
        return false;
    }
    std::error_code error;
    const std::optional<struct stat> named = folder.statusOf(name, error);
    if (!named || !isSameFile(*named, probed->status)) {
        return false; // renamed to its final name, or replaced, since it was opened
    }
    return !remove || !folder.remove(name);
}

// Calls `each` for the entries of `folder` whose names start with `prefix`.
void forEachNamed(const Folder& folder, std::string_view prefix,
                  const std::function<void(const std::string&)>& each) {
    std::error_code error;
    for (const std::string& name : folder.entries(error)) {
        if (name.starts_with(prefix)) {
            each(name);
        }
    }
}

// The start of the names of `file`'s temporary files.
std::string temporaryPrefixOf(const std::filesystem::path& file) {
    return file.filename().native() + std::string(marker);
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

bool isBeingWritten(const std::filesystem::path& file) {
    bool writing = false;
    std::error_code error;
    const Folder folder = Folder::open(file.parent_path(), error);
    forEachNamed(folder, temporaryPrefixOf(file), [&](const std::string& temporary) {
        const std::optional<Probe> probed = probe(folder, temporary);
        writing = writing ||
                  (probed &&
                   (probed->lock == Probe::Lock::held ||
                    (probed->lock == Probe::Lock::unavailable && !processIsGone(probed->writer))));
    });
    return writing;
}

namespace {

// Removes the stale temporary files in `folderPath` whose names start with `prefix`.
int removeStale(const std::filesystem::path& folderPath, std::string_view prefix,
                FolderSharing sharing) {
    int removed = 0;
    std::error_code error;
    const Folder folder = Folder::open(folderPath, error);
    forEachNamed(folder, prefix, [&](const std::string& name) {
        removed += checkAndRemove(folder, name, sharing, true) ? 1 : 0;
    });
    return removed;
}

} // namespace

int removeStaleTemporaryFiles(const std::filesystem::path& folder, FolderSharing sharing) {
    return removeStale(folder, "", sharing);
}

int removeStaleTemporaryFilesOf(const std::filesystem::path& file, FolderSharing sharing) {
    return removeStale(file.parent_path(), temporaryPrefixOf(file), sharing);
}

} // namespace qv::platform
