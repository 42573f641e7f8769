#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace qv::platform {

// A text the user gave (a command-line value, an environment variable) in single quotes,
// fit for a one-line message: line breaks, tabs and the other control characters are
// written as escapes ("\n", "\t", "\x01"), and a text longer than `limit` characters is cut
// there with "..." added. Bytes of other characters are kept as they are.
std::string quotedText(std::string_view text, std::size_t limit = 80);

// A path in a message, quoted and escaped as quotedText does, but whole: a path cut short
// would not lead the user to the file.
std::string quotedPath(const std::filesystem::path& path);

} // namespace qv::platform
