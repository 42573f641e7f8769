#pragma once

namespace qv {

// The user-defaults key under which the version last seen by the user is stored
// when the what's-new sheet has been shown.
inline constexpr const char* lastLaunchedVersionKey = "lastLaunchedVersion";

// True when the standard user defaults hold this app's version (platform::appVersion())
// under "lastLaunchedVersion"; false when the key is absent or holds another version.
// Only reads.
bool isSameVersionAsLastLaunch();

// Stores this app's version under "lastLaunchedVersion" in the standard user defaults, so
// the what's-new notice of this version is not due at the next launch.
void recordLaunchedVersion();

} // namespace qv
