#include "model/AppVersion.hpp"

#include "platform/store/UserDefaults.hpp"
#include "platform/system/AppInfo.hpp"

namespace qv {

bool isSameVersionAsLastLaunch() {
    return platform::UserDefaults::standard().stringValue(lastLaunchedVersionKey) ==
           platform::appVersion();
}

void recordLaunchedVersion() {
    platform::UserDefaults::standard().set(lastLaunchedVersionKey, platform::appVersion());
}

} // namespace qv
