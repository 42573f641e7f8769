#pragma once

#include <filesystem>
#include <optional>
#include <sys/types.h>
#include <system_error>

namespace qv::platform {

// Which file a path names at one moment: its device and inode, taken with lstat, so a
// symbolic link is the link itself and never what it points to. A verdict on a file is
// reached on one identity; acting on the path later must check it still names that file.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of whatever is at `path` now (not following a final link); nullopt with
// `error` set when nothing is there or it cannot be looked at.
std::optional<FileIdentity> identityAt(const std::filesystem::path& path, std::error_code& error);

} // namespace qv::platform
