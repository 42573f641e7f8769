#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace qv::platform {

class Folder;

// Who took a lock that outlives no process by itself (a lock folder, where the file system has
// no locks; a record among the photo library's users): the machine (its machine id, and the id
// of its current boot), the process (its pid namespace, its pid and when it started, so a pid
// used again later is told apart) and a token of that one taking. The host name is kept for
// lines only: machines of one name (default names are common) are told apart by their machine
// id. Kept as a small text file of "key=value" lines; records of earlier versions have no
// machine id.
struct LockOwner {
    std::string host;    // for lines only
    std::string machine; // /etc/machine-id, else /var/lib/dbus/machine-id; empty where none
    std::string boot;    // /proc/sys/kernel/random/boot_id; empty where there is none
    // /proc/self/ns/pid ("pid:[4026531836]"): a pid means nothing in another namespace (a
    // sandbox on the same machine). Empty where there is none.
    std::string pidNamespace;
    long pid = 0;
    unsigned long long started = 0; // clock ticks since the boot (/proc/<pid>/stat, field 22)
    std::string token;              // new for each taking

    // This process, with a new token. The parts read from the system are read once.
    static LockOwner thisProcess();
    std::string text() const;
    // The owner a record's text names; nothing when it names none (cut short, not ours).
    static std::optional<LockOwner> parse(std::string_view text);
    // The owner the record file `name` in `folder` names; nothing when it cannot be read or
    // names none. Never follows a link nor blocks on a FIFO.
    static std::optional<LockOwner> readFrom(const Folder& folder, std::string_view name);
    // Writes the record as the new file `name` in `folder`, whole or not at all (EEXIST when
    // anything is at the name).
    std::error_code writeTo(const Folder& folder, std::string_view name) const;
    bool operator==(const LockOwner&) const = default;
};

// Whether the owner of a lock may still hold it.
enum class OwnerState {
    running,   // a process of this boot of this machine that runs (or cannot be looked at)
    gone,      // no longer runs: a process of this boot whose pid is free, a zombie or used by a
               // later process, or any process of an earlier boot of this machine (its machine id)
    elsewhere, // may run and cannot be asked: of another machine sharing the folder, of a
               // sandbox of this boot (another pid namespace), or of another boot where the
               // record or this machine has no machine id to tell whether it was this one
};

OwnerState stateOf(const LockOwner& owner);

// Whether `owner` ran in this boot of this machine (its boot id), in whichever pid namespace.
bool ofThisBoot(const LockOwner& owner);

// Whether the process `pid` of this pid namespace has ended: no process has that pid, or it is
// a zombie. False for a pid used again by another process.
bool hasEnded(long pid);

// "process 4711 on 'studio'", for lines; "process 4711 on this machine" for this one, and what
// tells them apart where that matters ("... (another machine of that name, machine id ...)").
std::string describe(const LockOwner& owner);

} // namespace qv::platform
