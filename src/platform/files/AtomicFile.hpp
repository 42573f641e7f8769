#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

namespace qv::platform {

// Writes `data` to `file` so that the file is either its old self or the whole new content,
// never half-written, even across a crash: the bytes go to a temporary file in the same
// folder (named as TemporaryFiles.hpp says; a name already taken, by a leftover of a killed
// write whose pid this process has again, say, is passed over for the next), are flushed to
// the disk (fsync), the temporary file is closed (a file system that reports a failed write
// only at close fails the write there), and renamed over `file`; the folder is synced too.
// The writer holds an exclusive flock on the temporary file from before its first byte until
// it has its final name, so no cleaner removes it, however long the write takes; a lock held
// by another for over a second fails the write. Where the file system has no locks (ENOLCK,
// ENOSYS, EOPNOTSUPP) the write goes on without it: the cleaners there go by the writer's pid
// and the file's age (TemporaryFiles.hpp). On failure the temporary file is removed, `file` is
// untouched, and the error is returned (empty on success). `overwrite` false refuses an existing
// file (std::errc::file_exists) so that a later save never replaces an earlier one.
//
// `beforeNaming`, when given, is called once the content is whole in the temporary file (flushed
// and closed, its lock still held) and before it gets its final name; false from it stops the
// write there (std::errc::operation_canceled), the temporary file removed. For a caller that must
// record the file before anyone can see it under its name (the photo library adds the copy's row
// then, so a save killed once the copy has its name has its row): while it runs, the temporary
// file's lock tells others the write is in progress (TemporaryFiles.hpp's isBeingWritten).
//
// The result says whether `file` has its new content. A sync of the folder that fails after
// the rename does not undo it: the file is whole and in place, but a crash or power loss may
// still undo the rename. That is no failed write (its caller must not write it again under
// another name, say), so it is reported apart: one line says so (once per folder and reason,
// console/FailureLines.hpp), and `folderNotSynced`, when given, gets the error (else it is
// cleared).
std::error_code writeFileAtomically(const std::filesystem::path& file, std::string_view data,
                                    bool overwrite = true,
                                    std::error_code* folderNotSynced = nullptr,
                                    const std::function<bool()>& beforeNaming = {});

// The calls of a write a test may make fail (ScopedWriteFailure).
enum class WriteCall {
    write,      // writing the temporary file's bytes: the write fails, nothing is renamed
    close,      // closing the temporary file after its fsync: the same
    folderSync, // syncing the folder after the rename: the file is in place, not yet durable
};

// Test seam: while one lives, every writeFileAtomically, on whichever thread it runs, fails at
// `call` with `error` (an errno value), as the system would. Made and dropped by the test's
// thread.
class ScopedWriteFailure {
public:
    ScopedWriteFailure(WriteCall call, int error);
    ~ScopedWriteFailure();
    ScopedWriteFailure(const ScopedWriteFailure&) = delete;
    ScopedWriteFailure& operator=(const ScopedWriteFailure&) = delete;

private:
    WriteCall call_;
    int previous_;
};

// Test seam: while one lives, every writeFileAtomically fails as on a full disk
// (std::errc::no_space_on_device) when it writes its temporary file, which is then removed:
// nothing is renamed or linked, and `file` is untouched.
class ScopedDiskFull : public ScopedWriteFailure {
public:
    ScopedDiskFull();
};

// The moments of a write a test may act in (ScopedWriteSteps).
enum class WriteStep {
    created, // the temporary file exists, its lock is not taken yet
    written, // its content is flushed and closed, beforeNaming has run; it is about to get its
             // final name
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
