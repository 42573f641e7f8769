#pragma once
// Internal: SQLite's file layer for a file system without record locks, "qv-dotfile": SQLite's
// own "unix-dotfile" for reading and writing, locked instead with a lock folder
// "<database>.lock" (LockFolder.hpp) taken for every lock level and given back at none, as
// SQLite's own dot-file locking does with mkdir and rmdir: made with its owner's record in it,
// through the descriptor of the database's folder, and given back only by its taker. A
// connection that finds the folder held by an owner that is gone (a process of this machine
// killed during a change, or while it only read) takes it over; SQLite then finds the journal
// that process left hot and rolls it back, as it would after any crash.

namespace qv::platform::detail {

// The name of that file layer for sqlite3_open_v2, registered at the first call.
const char* lockFolderFiles();

} // namespace qv::platform::detail
