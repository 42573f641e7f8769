#pragma once
// Internal: whether a folder's file system has POSIX record locks (fcntl), which SQLite's
// default file layer needs. Some network file systems answer every lock with an error (a lock
// daemon that does not answer: ENOLCK); an index there would be "locked" for ever.

#include <filesystem>
#include <optional>
#include <system_error>

namespace qv::platform::detail {

// Tries a record lock on a probe file made in `folder` (and removed at once): the error when
// the file system has no locks (ENOLCK, ENOSYS, EOPNOTSUPP); nothing when the lock is had, or
// when it cannot be told (no probe file can be made there: a folder that cannot be written).
std::optional<std::error_code> recordLocksMissing(const std::filesystem::path& folder);

} // namespace qv::platform::detail
