#pragma once

#include <string_view>

namespace qv {

// Pages outside the app, opened through the desktop: nothing happens for text that is no
// address or for an address nothing can open (no xdg-open, no handler), and a page that
// fails to open is not reported to the screens. Main queue.

// Opens the page at `address`.
void openWebPage(std::string_view address);
// The app's page in the settings (the permissions panel).
void openSettingsPage();
// The product web site's "/privacy" and "/terms-conditions" pages.
void openPrivacyPolicy();
void openTermsOfUse();

} // namespace qv
