#pragma once

#include <string>

namespace qv::platform {

// The app's display name ("Quarn Vesil"), its short version ("1.0.0") and the product's
// web site ("https://quarn-vesil.example", the build setting QV_SITE_ADDRESS), all fixed at
// build time.
const std::string& appName();
const std::string& appVersion();
const std::string& siteAddress();

} // namespace qv::platform
