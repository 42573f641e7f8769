#pragma once
// The temporary files of writeFileAtomically, and which of them may be cleaned up.
//
// A file is written as "<file>.tmp-<pid>-<n>" next to its final name: <pid> is the writing
// process, <n> counts within it. The writer holds an exclusive flock() on it from before it
// writes until the file has its final name (AtomicFile.hpp), so a cleaner in any process
// (also one that cannot see the writer's pid, in another pid namespace) can tell a copy in
// progress. A writer killed with SIGKILL leaves its temporary file behind, never a
// half-written final name. Where the file system has no locks (a network one whose lock
// daemon does not answer), writers go on unlocked and cleaners decide by pid and age alone.

#include <filesystem>
#include <string_view>

namespace qv::platform {

// Who may write into a folder, which decides what a temporary file's name tells a cleaner.
enum class FolderSharing {
    // Processes of this machine only: the pid in a name is a process here.
    thisMachine,
    // Also other machines (a cloud container synced elsewhere, a network folder): a pid
    // means nothing and another machine's lock may not be seen, so only age tells.
    otherMachines,
};

// The temporary name this process gives its next write of `file`.
std::filesystem::path nextTemporaryName(const std::filesystem::path& file);

// Whether the file name `name` is a temporary name of that form.
bool isTemporaryName(std::string_view name);

// Whether the temporary file `file` is left over by a writer that is gone, so removing it
// loses nothing: a regular file with a temporary name whose lock this process can take at
// once (so no writer holds it; on a file system without locks this proves nothing, and the
// rest decides alone), and either it was last written over a day ago, or (in a
// folder of this machine only) the process its name gives is gone and it was last written
// over a minute ago. A pid that is alive (perhaps reused by another program) keeps the file
// until it is a day old; the minute covers the instant between a writer's creating the file
// and locking it. Anything that cannot be checked counts as not stale.
bool isStaleTemporaryFile(const std::filesystem::path& file,
                          FolderSharing sharing = FolderSharing::thisMachine);

// Whether a write of `file` is in progress: a temporary file of it ("<file>.tmp-<pid>-<n>" beside
// it) whose writer holds its lock, or, where the file system has no locks, whose process (the pid
// its name gives) is alive; one that cannot be opened to check counts as in progress. For a
// caller that saw what the writer did once it held its lock (the photo library's row, added once
// the copy is whole: AtomicFile.hpp's beforeNaming), so no minute of grace is given, as cleaners
// give a writer that has not locked its file yet. False also when the write has just ended: its
// file gets its name before its temporary file goes, so look at `file` again after a false.
bool isBeingWritten(const std::filesystem::path& file);

// Removes the stale temporary files directly in `folder` (not in its subfolders), leaving
// everything else alone. Each file's lock is held from the check until it is removed, so a
// writer that takes it first keeps its file. Returns how many it removed; a missing folder
// has none.
int removeStaleTemporaryFiles(const std::filesystem::path& folder,
                              FolderSharing sharing = FolderSharing::thisMachine);

// Removes the stale temporary files of `file` only ("<file>.tmp-<pid>-<n>" beside it), as
// removeStaleTemporaryFiles() does: for a file the app writes in a folder that is not its own
// (the target of a settings file kept as a link), where the other files are none of its
// business.
int removeStaleTemporaryFilesOf(const std::filesystem::path& file,
                                FolderSharing sharing = FolderSharing::thisMachine);

} // namespace qv::platform
