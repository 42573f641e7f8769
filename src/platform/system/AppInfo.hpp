#pragma once

#include <string>

namespace qv::platform {

// The app's display name ("Quarn Vesil") and its short version ("1.0.0"),
// both fixed at build time.
const std::string& appName();
const std::string& appVersion();

} // namespace qv::platform
