#pragma once
// Following a name's symbolic links to the name they end at, one link at a time: the settings
// and the permissions may be kept as links into another folder (a "dotfiles" folder), and are
// then read and replaced where the links end, so the links stay.

#include "platform/files/FileIdentity.hpp"

#include <filesystem>
#include <optional>
#include <sys/types.h>
#include <system_error>

namespace qv::platform {

// Where a name's links lead (followLinks).
struct FollowedLinks {
    // The name the links end at: the name itself when it is no link, else the target of its
    // last link (a relative target taken from its link's own folder, as the system does).
    std::filesystem::path end;
    int links = 0;      // how many links were followed: 0 when the name is no link
    FileIdentity first; // the name's own identity (lstat): the link itself when it is one
    // Why `end` cannot be looked at (lstat's error: ENOENT when it is missing, so a link to
    // it dangles), or ELOOP when the links lead back to the name itself or pass 40 links.
    std::error_code error;
    bool loopsBack = false; // a link leads back to the name itself
    // A link of another user was met (its owner, when so): never followed, as whoever can
    // write a folder of the app's could put one there to lead its writes anywhere this user
    // may write. `error` is EPERM then, and `end` that link.
    std::optional<uid_t> foreignOwner;
};

// Follows `name` through its symbolic links (at most 40, as the system does) to a name that
// is no link, or to one that cannot be looked at. Only links of this user (or of root) are
// followed. Nothing is opened.
FollowedLinks followLinks(const std::filesystem::path& name);

} // namespace qv::platform
