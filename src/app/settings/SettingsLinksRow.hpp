#pragma once
// The two web links under the settings list: "Privacy Policy" at the leading end, "Terms
// of Use" at the trailing end, in the footnote style and the default button colour.

#include "platform/ui/views/View.hpp"

#include <functional>

namespace qv {

struct SettingsLinksRow {
    std::function<void()> onPrivacyPolicy;
    std::function<void()> onTermsOfUse;

    platform::ui::View body() const;
};

} // namespace qv
