#include "camera/PageOpeners.hpp"

#include "platform/system/AppInfo.hpp"
#include "platform/system/LinkOpener.hpp"

#include <string>

namespace qv {

void openWebPage(std::string_view address) {
    const auto url = platform::Url::parse(address);
    if (url && platform::canOpenURL(*url)) {
        platform::openURL(*url);
    }
}

void openSettingsPage() {
    openWebPage(platform::kSettingsAddress);
}

void openPrivacyPolicy() {
    openWebPage(platform::siteAddress() + "/privacy");
}

void openTermsOfUse() {
    openWebPage(platform::siteAddress() + "/terms-conditions");
}

} // namespace qv
