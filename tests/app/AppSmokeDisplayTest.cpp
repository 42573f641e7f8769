// The built program in a window of its own under a private X server: it opens the window
// "Quarn Vesil" and, on SIGTERM, takes its road out and exits 0 with this version recorded.

#include "AppProcess.hpp"
#include "XvfbServer.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/system/AppInfo.hpp"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace qv::testing {
namespace {

constexpr const char* kSmallProfile = R"({"cameras": [{"type": "wide", "photoSize": [400, 300],
    "previewSize": [160, 120], "videoSize": [160, 120], "autoFocus": true}]})";

// Polls X for the window (the app needs a moment to start), at most 30 s.
bool windowAppears(const std::string& title) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (runProgram({"xdotool", "search", "--name", "^" + title + "$"}) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

TEST(AppSmoke, OpensItsWindowAndOnSIGTERMExitsZeroWithTheVersionRecorded) {
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    char pattern[] = "/tmp/qv-app-smoke-XXXXXX";
    const std::filesystem::path home = ::mkdtemp(pattern);
    std::ofstream(home / "profile.json") << kSmallProfile;

    AppProcess app(
        {"--permissions", "camera=authorized,photos=authorized", "--camera-profile",
         (home / "profile.json").string()},
        {{"QV_HOME", home.string()}, {"DISPLAY", xvfb.display()}, {"SDL_AUDIODRIVER", "dummy"}});
    ASSERT_TRUE(app.started());
    EXPECT_TRUE(windowAppears("Quarn Vesil"));
    app.signal(SIGTERM);
    const AppExit exit = app.wait();
    EXPECT_EQ(exit.status, 0) << exit.standardError;

    platform::UserDefaults settings(home / "settings.json");
    EXPECT_EQ(settings.stringValue("lastLaunchedVersion"), platform::appVersion());
    std::filesystem::remove_all(home);
}

} // namespace
} // namespace qv::testing
