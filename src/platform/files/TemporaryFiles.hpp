#pragma once
// The temporary files of writeFileAtomically, and which of them may be cleaned up.
//
// A file is written as "<file>.tmp-<pid>-<n>" next to its final name: <pid> is the writing
// process, <n> counts within it. The writer holds an exclusive flock() on it while it writes,
// so a cleaner in any process (also one that cannot see the writer's pid, in another pid
// namespace) can tell a copy in progress. A writer killed with SIGKILL leaves its temporary
// file behind, never a half-written final name.

#include <filesystem>
#include <string_view>

namespace qv::platform {

// The temporary name this process gives its next write of `file`.
std::filesystem::path nextTemporaryName(const std::filesystem::path& file);

// Whether the file name `name` is a temporary name of that form.
bool isTemporaryName(std::string_view name);

// Whether the temporary file `file` is left over by a writer that is gone, so removing it
// loses nothing: a regular file with a temporary name, no writer holds its lock, and either
// it was last written over a day ago, or the process its name gives is gone and it was last
// written over a minute ago. A pid that is alive (perhaps reused by another program) keeps the
// file until it is a day old; the minute covers the moments around a write when its writer
// holds no lock (before taking it, and between closing and linking the file), for a writer
// whose pid this process cannot see. Anything that cannot be checked counts as not stale.
bool isStaleTemporaryFile(const std::filesystem::path& file);

// Removes the stale temporary files directly in `folder` (not in its subfolders), leaving
// everything else alone. Returns how many it removed; a missing folder has none.
int removeStaleTemporaryFiles(const std::filesystem::path& folder);

} // namespace qv::platform
