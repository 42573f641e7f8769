#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace qv::platform {

// Who took a lock that outlives no process by itself (a lock folder, made by mkdir, where the
// file system has no locks): the machine (its host name and the id of its current boot), the
// process (its pid namespace, its pid and when it started, so a pid used again later is told
// apart) and a token of that one taking. Kept as a small text file of "key=value" lines.
struct LockOwner {
    std::string host;
    std::string boot; // /proc/sys/kernel/random/boot_id; empty where there is none
    // /proc/self/ns/pid ("pid:[4026531836]"): a pid means nothing in another namespace (a
    // sandbox on the same machine). Empty where there is none.
    std::string pidNamespace;
    long pid = 0;
    unsigned long long started = 0; // clock ticks since the boot (/proc/<pid>/stat, field 22)
    std::string token;              // new for each taking

    // This process, with a new token.
    static LockOwner thisProcess();
    std::string text() const;
    // The owner a record's text names; nothing when it names none (cut short, not ours).
    static std::optional<LockOwner> parse(std::string_view text);
    // The owner the record file `file` names; nothing when it cannot be read or names none.
    // Never follows a link nor blocks on a FIFO.
    static std::optional<LockOwner> readFrom(const std::filesystem::path& file);
    // Writes the record into `file` (made or emptied first, never through a link); false when
    // it could not be written whole.
    bool writeTo(const std::filesystem::path& file) const;
    bool operator==(const LockOwner&) const = default;
};

// Whether the owner of a lock may still hold it.
enum class OwnerState {
    running,   // a process of this machine that runs (or cannot be looked at)
    gone,      // of this machine, and no longer runs: its pid is free, used by a later process,
               // a zombie, or it ran before the last boot
    elsewhere, // of another machine sharing the folder, or of another pid namespace of this
               // one (a sandbox): it may run, and cannot be asked
};

OwnerState stateOf(const LockOwner& owner);

// "process 4711 on 'studio'", for lines; "process 4711 on this machine" for this one.
std::string describe(const LockOwner& owner);

} // namespace qv::platform
