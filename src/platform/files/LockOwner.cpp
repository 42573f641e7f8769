#include "platform/files/LockOwner.hpp"

#include "platform/formatting/QuotedText.hpp"

#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <unistd.h>

namespace qv::platform {

namespace {

std::string hostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}

std::string pidNamespaceId() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/ns/pid", error).string();
}

std::string bootId() {
    std::string id;
    std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), id);
    return id;
}

// Field 3 (the state) and field 22 (the start, in clock ticks since the boot) of
// /proc/<pid>/stat; nothing when it cannot be read (no such process, no /proc).
struct ProcessStat {
    char state = '?';
    unsigned long long started = 0;
};

std::optional<ProcessStat> statOf(long pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line)) {
        return std::nullopt;
    }
    // The name (field 2) is in parentheses and may hold spaces and parentheses itself.
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(line.substr(nameEnd + 1));
    ProcessStat stat;
    std::string skipped;
    fields >> stat.state;
    for (int field = 4; field < 22 && fields >> skipped; ++field) {
    }
    if (!(fields >> stat.started)) {
        return std::nullopt;
    }
    return stat;
}

const std::string& thisHost() {
    static const std::string host = hostName();
    return host;
}

const std::string& thisBoot() {
    static const std::string boot = bootId();
    return boot;
}

const std::string& thisPidNamespace() {
    static const std::string pidNamespace = pidNamespaceId();
    return pidNamespace;
}

// When this process started, read once per process (a forked child reads its own): every
// lock folder taken records it, and it never changes. The mutex: lock folders are taken on
// any thread.
unsigned long long thisStart() {
    static std::mutex mutex;
    static long readFor = 0; // the pid it was read for
    static unsigned long long started = 0;
    const std::lock_guard lock(mutex);
    if (const long pid = long(::getpid()); readFor != pid) {
        const std::optional<ProcessStat> stat = statOf(pid);
        started = stat ? stat->started : 0;
        readFor = pid;
    }
    return started;
}

std::string newToken() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::ostringstream text;
    text << std::hex << random();
    return text.str();
}

} // namespace

LockOwner LockOwner::thisProcess() {
    return {thisHost(), thisBoot(), thisPidNamespace(), long(::getpid()), thisStart(), newToken()};
}

std::string LockOwner::text() const {
    return "host=" + host + "\nboot=" + boot + "\npidns=" + pidNamespace +
           "\npid=" + std::to_string(pid) + "\nstarted=" + std::to_string(started) +
           "\ntoken=" + token + "\n";
}

std::optional<LockOwner> LockOwner::parse(std::string_view text) {
    LockOwner owner;
    int found = 0;
    const auto number = [](std::string_view value, auto& into) {
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), into);
        return error == std::errc() && end == value.data() + value.size();
    };
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt; // cut short: the last line has no end
        }
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "host") {
            owner.host = value;
        } else if (key == "boot") {
            owner.boot = value;
        } else if (key == "pidns") {
            owner.pidNamespace = value;
        } else if (key == "pid"       ? !number(value, owner.pid)
                   : key == "started" ? !number(value, owner.started)
                                      : key != "token") {
            return std::nullopt;
        } else if (key == "token") {
            owner.token = value;
        }
        ++found;
    }
    if (found != 6 || owner.host.empty() || owner.pid <= 0 || owner.token.empty()) {
        return std::nullopt;
    }
    return owner;
}

std::optional<LockOwner> LockOwner::readFrom(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text(1024, '\0'); // a record is far shorter
    const ssize_t got = ::read(fd, text.data(), text.size());
    ::close(fd);
    if (got < 0) {
        return std::nullopt;
    }
    text.resize(std::size_t(got));
    return parse(text);
}

bool LockOwner::writeTo(const std::filesystem::path& file) const {
    const int fd =
        ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const std::string record = text();
    const bool written = ::write(fd, record.data(), record.size()) == ssize_t(record.size());
    ::close(fd);
    return written;
}

OwnerState stateOf(const LockOwner& owner) {
    if (thisHost().empty() || owner.host != thisHost() ||
        owner.pidNamespace != thisPidNamespace()) {
        return OwnerState::elsewhere;
    }
    if (!owner.boot.empty() && !thisBoot().empty() && owner.boot != thisBoot()) {
        return OwnerState::gone; // it ran before the last boot
    }
    if (::kill(pid_t(owner.pid), 0) != 0 && errno == ESRCH) {
        return OwnerState::gone;
    }
    const std::optional<ProcessStat> stat = statOf(owner.pid);
    if (!stat) {
        return OwnerState::running; // it cannot be looked at: taken to run
    }
    return stat->state == 'Z' || stat->started != owner.started ? OwnerState::gone
                                                                : OwnerState::running;
}

std::string describe(const LockOwner& owner) {
    const std::string process = "process " + std::to_string(owner.pid);
    if (owner.host != thisHost()) {
        return process + " on " + quotedText(owner.host);
    }
    return owner.pidNamespace == thisPidNamespace()
               ? process + " on this machine"
               : process + " in another sandbox of this machine";
}

} // namespace qv::platform
