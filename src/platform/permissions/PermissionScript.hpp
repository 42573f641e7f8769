#pragma once

#include "platform/permissions/PermissionStatus.hpp"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

// Permission states and answers given on the command line (--permissions) or in
// QV_PERMISSIONS, for tests and runs without a window:
//   "camera=authorized,photos=limited,location=denied,ask=allow"
// Each service may be given once, with a status it knows (PermissionStatus.hpp); "ask" is
// "allow" or "deny" and answers every question the app asks instead of a prompt.
struct PermissionScript {
    std::map<PermissionService, PermissionStatus> presets;
    std::optional<bool> allow; // the scripted answer; nothing: ask the user

    // Empty text is an empty script. On a malformed one, nothing, and `error` says why in
    // one line ("'photos=always': photos knows notDetermined, restricted, ...").
    static std::optional<PermissionScript> parse(std::string_view text, std::string& error);
};

} // namespace qv::platform
