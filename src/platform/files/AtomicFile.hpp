#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace qv::platform {

// Writes `data` to `file` so that the file is either its old self or the whole new content,
// never half-written, even across a crash: the bytes go to a temporary file in the same
// folder (named and locked as TemporaryFiles.hpp says), are flushed to the disk (fsync),
// and the temporary file is renamed over `file`; the folder is synced too. On failure the
// temporary file is removed, `file` is untouched, and the error is returned (empty on
// success). `overwrite` false refuses an existing file (std::errc::file_exists) so that a
// later save never replaces an earlier one.
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

} // namespace qv::platform
