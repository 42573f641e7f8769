#pragma once
// Internal: SQLite's file layer for a file system without record locks, "qv-dotfile": SQLite's
// own "unix-dotfile" (a folder "<database>.lock" made by mkdir for every lock level, removed by
// rmdir), with the owner of each lock folder recorded in it (FolderLock.hpp): the record is
// written right after SQLite's mkdir and removed right before its rmdir. A connection that
// finds the folder held by an owner that is gone (a process of this machine killed during a
// change, or while it only read) breaks it and tries once more; SQLite then finds the journal
// that process left hot and rolls it back, as it would after any crash.

namespace qv::platform::detail {

// The name of that file layer for sqlite3_open_v2, registered at the first call.
const char* lockFolderFiles();

} // namespace qv::platform::detail
