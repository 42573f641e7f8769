#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace qv::platform {

// Writes `data` to `file` so that the file is either its old self or the whole new content,
// never half-written, even across a crash: the bytes go to a temporary file in the same
// folder, are flushed to the disk (fsync), and the temporary file is renamed over `file`;
// the folder is synced too. On failure the temporary file is removed, `file` is untouched,
// and the error is returned (empty on success). `overwrite` false refuses an existing file
// (std::errc::file_exists) so that a later save never replaces an earlier one.
std::error_code writeFileAtomically(const std::filesystem::path& file, std::string_view data,
                                    bool overwrite = true);

} // namespace qv::platform
