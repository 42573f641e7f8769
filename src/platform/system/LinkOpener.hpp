#pragma once
// Opening addresses outside the app: web pages and other apps' links through the
// desktop's xdg-open, and the app's own settings page.
//
// Threads: call on the main queue. xdg-open runs off the main queue (ProgramRunner.hpp);
// completions come on the main queue.

#include "platform/system/HandOffResult.hpp"
#include "platform/system/Url.hpp"

#include <functional>
#include <string_view>

namespace qv::platform {

// The address of the app's page in the settings (the phone's open-settings address).
inline constexpr std::string_view kSettingsAddress = "app-settings:";

// Whether openURL can open `url`:
//   - the settings address: always;
//   - http and https: while xdg-open is on $PATH (without it, one line says that web
//     pages cannot be opened);
//   - any other scheme: while xdg-open is on $PATH and the desktop names a handler for the
//     scheme (xdg-mime's default x-scheme-handler/<scheme>), so an app link without the
//     app installed gives false and the caller can fall back to its web address.
bool canOpenURL(const Url& url);

// Opens `url`. The settings address shows the settings page (the handler set below; with
// none, one line says there is no window to show it in, and the result is a failure).
// Every other address goes to xdg-open as its one argument: no shell sees it. A failure
// (no xdg-open, or xdg-open reporting one) prints one line. `completion`, when given,
// gets the result.
void openURL(const Url& url, std::function<void(const HandOffResult&)> completion = {});

// What the settings address shows: the window host sets its permissions panel here and
// clears it (an empty function) when it closes.
void setSettingsPageHandler(std::function<void()> handler);

} // namespace qv::platform
