#include "platform/photos/detail/RecordLocks.hpp"

#include "platform/files/FileLock.hpp"
#include "platform/files/Folder.hpp"
#include "platform/files/LockOwner.hpp"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace qv::platform::detail {

namespace {

constexpr std::string_view kPrefix = "library.sqlite.probe-";
// What mkstemp put after the prefix in the names of earlier versions' probes.
constexpr std::size_t kEarlierSuffix = 6;
constexpr auto kEarlierProbesLeftAfter = std::chrono::hours(1);

// Set by a test's thread, read by whichever thread probes.
std::atomic<const ScopedLockProbe*> probeSeam{nullptr};

// The digits of a pid namespace as /proc names it ("pid:[4026531836]"): names of some file
// systems take no brackets or colons.
std::string digitsOf(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    return digits;
}

// "<token>.<started>.<pid namespace>.<boot id>.<machine id>": no part holds a dot.
std::string probeName(const LockOwner& maker) {
    return std::string(kPrefix) + maker.token + "." + std::to_string(maker.started) + "." +
           digitsOf(maker.pidNamespace) + "." + maker.boot + "." + maker.machine;
}

template <typename Number>
bool parse(std::string_view text, Number& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

// The maker a probe's name names; nothing for another name.
std::optional<LockOwner> makerOf(std::string_view name) {
    name.remove_prefix(kPrefix.size());
    std::vector<std::string_view> parts;
    for (std::size_t dot; (dot = name.find('.')) != std::string_view::npos;) {
        parts.push_back(name.substr(0, dot));
        name.remove_prefix(dot + 1);
    }
    parts.push_back(name);
    if (parts.size() != 5) {
        return std::nullopt;
    }
    LockOwner maker;
    maker.token = parts[0];
    if (!parse(parts[0].substr(0, parts[0].find('-')), maker.pid) ||
        !parse(parts[1], maker.started) || maker.pid <= 0) {
        return std::nullopt;
    }
    maker.pidNamespace = parts[2].empty() ? "" : "pid:[" + std::string(parts[2]) + "]";
    maker.boot = parts[3];
    maker.machine = parts[4];
    return maker;
}

// Whether `name` is an earlier version's probe left for over an hour.
bool earlierProbeLeft(const Folder& folder, std::string_view name) {
    if (name.size() != kPrefix.size() + kEarlierSuffix ||
        name.find('.', kPrefix.size()) != std::string_view::npos) {
        return false;
    }
    std::error_code error;
    const std::optional<struct stat> status = folder.statusOf(name, error);
    return status && S_ISREG(status->st_mode) &&
           std::chrono::system_clock::from_time_t(status->st_mtime) <
               std::chrono::system_clock::now() - kEarlierProbesLeftAfter;
}

// A probe file in `folder`, held open: without a name where the file system can make one so,
// else named after this process (`name` then says so).
FileDescriptor makeProbe(const Folder& folder, std::string& name) {
    const ScopedLockProbe* seam = probeSeam.load();
    if (seam == nullptr || !seam->named()) {
        FileDescriptor unnamed(
            ::openat(folder.descriptor(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (unnamed) {
            return unnamed;
        }
    }
    std::error_code error;
    name = probeName(LockOwner::thisProcess());
    return folder.openFile(name, O_RDWR | O_CREAT | O_EXCL, error, 0600);
}

} // namespace

std::optional<std::error_code> recordLocksMissing(const std::filesystem::path& folder) {
    std::error_code error;
    const Folder library = Folder::open(folder, error);
    std::string name;
    const FileDescriptor probe = library ? makeProbe(library, name) : FileDescriptor();
    if (!probe) {
        return std::nullopt;
    }
    if (const ScopedLockProbe* seam = probeSeam.load()) {
        seam->atProbe();
    }
    if (!name.empty()) {
        library.remove(name); // the lock is tried on the open file; nothing is left behind
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_len = 1;
    const std::error_code cause(::fcntl(probe.get(), F_SETLK, &lock) == 0 ? 0 : errno,
                                std::generic_category());
    // Closing the probe gives the lock back.
    if (isLockingUnavailable(cause)) {
        return cause;
    }
    return std::nullopt;
}

void removeLeftProbes(const std::filesystem::path& folder) {
    std::error_code error;
    const Folder library = Folder::open(folder, error);
    for (const std::string& name : library.entries(error)) {
        if (!name.starts_with(kPrefix)) {
            continue;
        }
        const std::optional<LockOwner> maker = makerOf(name);
        if (maker ? stateOf(*maker) == OwnerState::gone : earlierProbeLeft(library, name)) {
            library.remove(name);
        }
    }
}

ScopedLockProbe::ScopedLockProbe(bool named, std::function<void()> atProbe)
    : named_(named), atProbe_(std::move(atProbe)), previous_(probeSeam.exchange(this)) {}

ScopedLockProbe::~ScopedLockProbe() {
    probeSeam.store(previous_);
}

void ScopedLockProbe::atProbe() const {
    if (atProbe_) {
        atProbe_();
    }
}

} // namespace qv::platform::detail
