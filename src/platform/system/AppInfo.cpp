#include "platform/system/AppInfo.hpp"

#include "platform/system/AppInfoConfig.hpp"

namespace qv::platform {

const std::string& appName() {
    static const std::string name = QV_APP_NAME_TEXT;
    return name;
}

const std::string& appVersion() {
    static const std::string version = QV_APP_VERSION_TEXT;
    return version;
}

const std::string& siteAddress() {
    static const std::string address = QV_SITE_ADDRESS_TEXT;
    return address;
}

} // namespace qv::platform
