#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

// Why a file could not be read; `reason` completes a sentence about the file:
// "does not exist", "is a FIFO, not a regular file", "is larger than 1 MB",
// "cannot be read (Permission denied)".
struct FileProblem {
    enum class Kind { missing, notRegular, tooLarge, unreadable };
    Kind kind = Kind::unreadable;
    std::string reason;
};

// Reads the whole of `file` into `content` when it is a regular file (or a link to one) of
// at most `maximumBytes`; otherwise says why and leaves `content` empty. Never blocks and
// never reads more than the bound: the file's type and size are checked before it is
// opened, it is opened without blocking and checked again on the open descriptor (so a FIFO,
// a device, a folder or a socket put there in between is refused too), and no more than the
// size it had then is read. A file that shrinks while it is read gives what it still held.
std::optional<FileProblem> readRegularFile(const std::filesystem::path& file,
                                           std::uintmax_t maximumBytes, std::string& content);
std::optional<FileProblem> readRegularFile(const std::filesystem::path& file,
                                           std::uintmax_t maximumBytes,
                                           std::vector<std::uint8_t>& content);

} // namespace qv::platform
