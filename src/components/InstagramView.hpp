#pragma once
// A full-screen, dark invitation to follow the product's photo account: it announces a
// long-exposure contest, shows the account handle and the product's hashtag as texts a
// long press copies, and offers a button that opens the account (in the account site's
// app where the desktop has a handler for its links, else on the web site) and one that
// declines. Both close the view.

#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"

#include <string_view>

namespace qv {

/// The product's photo account and the host of the account site's web pages.
inline constexpr std::string_view kPhotoAccountHandle = "quarnvesil";
inline constexpr std::string_view kPhotoSiteHost = "www.instagram.com";

struct InstagramView {
    platform::Binding<bool> isShowing; // the view only ever sets it to false
    platform::ui::View body() const;

    /// Opens the account's profile: the app link where the desktop can open it ("open
    /// app URL" on the console), else the web profile ("open web URL").
    static void followOnInstagram();
};

} // namespace qv
