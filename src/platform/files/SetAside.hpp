#pragma once

#include <filesystem>
#include <system_error>

namespace qv::platform {

// Moves a file that cannot be used out of the way, keeping it for the user: renames it to
// "<file>.corrupt_<UTC date, _yyyyMMdd_HHmmss>", with "_2", "_3"... added when that name is
// taken, so no file set aside earlier is replaced. Returns the new name; on failure sets
// `error` and leaves the file where it was.
std::filesystem::path setAside(const std::filesystem::path& file, std::error_code& error);

} // namespace qv::platform
