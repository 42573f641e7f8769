#pragma once
// Internal: the picture files of a library folder ("<yyyy>/<MM>/<name>").

#include <filesystem>
#include <vector>

namespace qv::platform::detail {

// The picture files under the year and month folders of `folder`, by their path. Temporary
// files of copies are not listed; those whose writer is gone are removed on the way
// (TemporaryFiles.hpp), those of a copy in progress (in this process or another) are left.
std::vector<std::filesystem::path> libraryFiles(const std::filesystem::path& folder);

// Whether `file` is a picture file of the library in `folder` now: a regular file, not a
// temporary one, in a year and month folder of it.
bool isLibraryFile(const std::filesystem::path& folder, const std::filesystem::path& file);

} // namespace qv::platform::detail
