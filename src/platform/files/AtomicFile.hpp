#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

namespace qv::platform {

// Writes `data` to `file` so that the file is either its old self or the whole new content,
// never half-written, even across a crash: the bytes go to a temporary file in the same
// folder (named as TemporaryFiles.hpp says), are flushed to the disk (fsync), and the
// temporary file is renamed over `file`; the folder is synced too. The writer holds an
// exclusive flock on the temporary file from before its first byte until it has its final
// name, so no cleaner removes it, however long the write takes; a lock that cannot be taken
// (held by another for over a second, or locks not supported there) fails the write.
// On failure the temporary file is removed, `file` is untouched, and the error is returned
// (empty on success). `overwrite` false refuses an existing file (std::errc::file_exists) so
// that a later save never replaces an earlier one.
std::error_code writeFileAtomically(const std::filesystem::path& file, std::string_view data,
                                    bool overwrite = true);

// Test seam: while one lives, every writeFileAtomically fails as on a full disk
// (std::errc::no_space_on_device) when it writes its temporary file, which is then removed:
// nothing is renamed or linked, and `file` is untouched. Made and dropped by the test's
// thread; writes on any queue see it.
class ScopedDiskFull {
public:
    ScopedDiskFull();
    ~ScopedDiskFull();
    ScopedDiskFull(const ScopedDiskFull&) = delete;
    ScopedDiskFull& operator=(const ScopedDiskFull&) = delete;

private:
    bool previous_;
};

// The moments of a write a test may act in (ScopedWriteSteps).
enum class WriteStep {
    created, // the temporary file exists, its lock is not taken yet
    written, // its content is flushed; it is about to get its final name
};

// Test seam: while one lives, every writeFileAtomically, on whichever thread it runs, calls
// `step` at each WriteStep with the temporary file's path; another process can then probe
// the file at that moment. Made and dropped by the test's thread while no write runs.
class ScopedWriteSteps {
public:
    using Step = std::function<void(WriteStep step, const std::filesystem::path& temporary)>;
    explicit ScopedWriteSteps(Step step);
    ~ScopedWriteSteps();
    ScopedWriteSteps(const ScopedWriteSteps&) = delete;
    ScopedWriteSteps& operator=(const ScopedWriteSteps&) = delete;

private:
    Step step_;
    const Step* previous_;
};

} // namespace qv::platform
