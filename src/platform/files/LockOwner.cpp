#include "platform/files/LockOwner.hpp"

#include "platform/files/Folder.hpp"
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

// The machine id: 32 hexadecimal digits, made once when the system is installed. A file that
// holds no such id (empty, "uninitialized" on a system not yet booted once) names none.
std::string machineId() {
    for (const char* file : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::string id;
        std::getline(std::ifstream(file), id);
        if (id.size() == 32 && id.find_first_not_of("0123456789abcdef") == std::string::npos) {
            return id;
        }
    }
    return {};
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

const std::string& thisMachine() {
    static const std::string machine = machineId();
    return machine;
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

// A token no other taking uses: names of files are made from it. A forked child starts with
// its parent's generator, so the generator is seeded again in each process and the pid leads.
std::string newToken() {
    static thread_local long seededFor = 0;
    static thread_local std::mt19937_64 random;
    if (const long pid = long(::getpid()); seededFor != pid) {
        random.seed(std::random_device{}());
        seededFor = pid;
    }
    std::ostringstream text;
    text << ::getpid() << '-' << std::hex << random();
    return text.str();
}

// Whether `owner` is of this machine as its machine id says, whichever boot.
bool ofThisMachine(const LockOwner& owner) {
    return !owner.machine.empty() && owner.machine == thisMachine();
}

} // namespace

LockOwner LockOwner::thisProcess() {
    return {thisHost(),       thisMachine(), thisBoot(), thisPidNamespace(),
            long(::getpid()), thisStart(),   newToken()};
}

std::string LockOwner::text() const {
    // Earlier versions know no "machine" key: to them a record with one names no owner, so
    // they wait for its lock rather than break it.
    return "host=" + host + "\nboot=" + boot + "\npidns=" + pidNamespace +
           "\npid=" + std::to_string(pid) + "\nstarted=" + std::to_string(started) +
           (machine.empty() ? "" : "\nmachine=" + machine) + "\ntoken=" + token + "\n";
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
        } else if (key == "machine") {
            owner.machine = value;
        } else if (key == "pid"       ? !number(value, owner.pid)
                   : key == "started" ? !number(value, owner.started)
                                      : key != "token") {
            return std::nullopt;
        } else if (key == "token") {
            owner.token = value;
        }
        ++found;
    }
    // Six keys in records of earlier versions, seven with the machine id.
    if (found != (owner.machine.empty() ? 6 : 7) || owner.host.empty() || owner.pid <= 0 ||
        owner.token.empty()) {
        return std::nullopt;
    }
    return owner;
}

std::optional<LockOwner> LockOwner::readFrom(const Folder& folder, std::string_view name) {
    const std::optional<std::string> text = folder.readSmallFile(name, 1024); // far longer
    return text ? parse(*text) : std::nullopt;
}

std::error_code LockOwner::writeTo(const Folder& folder, std::string_view name) const {
    return folder.writeNewFile(name, text());
}

bool ofThisBoot(const LockOwner& owner) {
    return !owner.boot.empty() && owner.boot == thisBoot();
}

OwnerState stateOf(const LockOwner& owner) {
    if (!ofThisBoot(owner)) {
        // A process of an earlier boot of this machine has ended, whatever its namespace. One
        // whose record or this machine names no machine id may be of another machine.
        const bool bootsKnown = !owner.boot.empty() && !thisBoot().empty();
        return bootsKnown && ofThisMachine(owner) ? OwnerState::gone : OwnerState::elsewhere;
    }
    if (owner.pidNamespace != thisPidNamespace()) {
        return OwnerState::elsewhere; // a sandbox of this boot: its pid means nothing here
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

bool hasEnded(long pid) {
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
        return true;
    }
    const std::optional<ProcessStat> stat = statOf(pid);
    return stat && stat->state == 'Z';
}

std::string describe(const LockOwner& owner) {
    const std::string process = "process " + std::to_string(owner.pid);
    if (ofThisBoot(owner)) {
        return owner.pidNamespace == thisPidNamespace()
                   ? process + " on this machine"
                   : process + " in another sandbox of this machine";
    }
    if (ofThisMachine(owner)) {
        return process + " of an earlier boot of this machine";
    }
    const std::string on = process + " on " + quotedText(owner.host);
    if (owner.machine.empty() || thisMachine().empty()) {
        return on + " (" + (owner.machine.empty() ? "its record" : "this machine") +
               " names no machine id, so whether it ran on this machine before its last boot "
               "cannot be told)";
    }
    return owner.host == thisHost()
               ? on + " (another machine of that name: machine id " + owner.machine + ")"
               : on;
}

} // namespace qv::platform
