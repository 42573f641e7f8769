#pragma once
// Internal: the picture files of a library folder ("<yyyy>/<MM>/<name>").

#include <filesystem>
#include <string>
#include <vector>

namespace qv::platform::detail {

// The picture files under the year and month folders of `folder`, by their path. Files an
// interrupted copy left under a temporary name are removed on the way.
std::vector<std::filesystem::path> libraryFiles(const std::filesystem::path& folder);

// Whether `name` is the temporary name of a copy in progress (writeFileAtomically's).
bool isTemporaryName(const std::string& name);

} // namespace qv::platform::detail
