#include "app/settings/SettingsLinksRow.hpp"

#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

View SettingsLinksRow::body() const {
    return HStack({Button(View(Text("Privacy Policy").font(Font::footnote())), onPrivacyPolicy),
                   Spacer(),
                   Button(View(Text("Terms of Use").font(Font::footnote())), onTermsOfUse)});
}

} // namespace qv
