#pragma once
// Internal: whether a folder's file system has POSIX record locks (fcntl), which SQLite's
// default file layer needs. Some network file systems answer every lock with an error (a lock
// daemon that does not answer: ENOLCK); an index there would be "locked" for ever.
//
// The lock is tried on a probe file made in the folder, through its descriptor. Where the file
// system can make a file without a name (O_TMPFILE: local file systems), the probe has none, so
// nothing is left whatever ends the process. Elsewhere (NFS has no such files) the probe is
// "library.sqlite.probe-<maker>", named after the process that makes it (its token, which
// starts with its pid, then its start, pid namespace, boot id and machine id, as LockOwner.hpp
// records them) and removed right after it is made, before the lock is tried on the open file.
// One left by a process killed in between is removed by a later opening (removeLeftProbes)
// once its maker is gone as stateOf() tells: a process of this machine that ended, in this boot
// or an earlier one. One whose maker may run (of another machine, of a sandbox) is left for
// that machine's openings, as removing a probe in use there could spoil its answer. Probes of
// earlier versions ("library.sqlite.probe-XXXXXX", named by mkstemp) name no maker: they are
// removed once an hour old, as a probe is held for moments.

#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>

namespace qv::platform::detail {

// Tries a record lock on a probe file in `folder`: the error when the file system has no locks
// (ENOLCK, ENOSYS, EOPNOTSUPP); nothing when the lock is had, or when it cannot be told (no
// probe file can be made there: a folder that cannot be written).
std::optional<std::error_code> recordLocksMissing(const std::filesystem::path& folder);

// Removes the probe files in `folder` left by processes killed while probing, as above.
void removeLeftProbes(const std::filesystem::path& folder);

// Test seam: while one lives, the probe makes a named file when `named` is set (as where the
// file system has no files without a name), and calls `atProbe` (when given) while it holds the
// probe file, before its name is removed. Made and dropped by the test's thread while no probe
// runs; `atProbe` runs on the thread that probes.
class ScopedLockProbe {
public:
    ScopedLockProbe(bool named, std::function<void()> atProbe);
    ~ScopedLockProbe();
    ScopedLockProbe(const ScopedLockProbe&) = delete;
    ScopedLockProbe& operator=(const ScopedLockProbe&) = delete;

    bool named() const { return named_; }
    void atProbe() const;

private:
    bool named_;
    std::function<void()> atProbe_;
    const ScopedLockProbe* previous_;
};

} // namespace qv::platform::detail
