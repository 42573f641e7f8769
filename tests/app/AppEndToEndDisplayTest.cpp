// The whole app in its window under a private X server, on the virtual clock, clicked and
// keyed through X as a user would, launch after launch in a home of its own: the first
// launch asks for access and shows what is new; later launches remember.

#include "AppWindowDriver.hpp"
#include "XvfbServer.hpp"
#include "platform/system/AppInfo.hpp"
#include "platform/ui/scene/Query.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qv::testing {
namespace {

namespace fs = std::filesystem;
using platform::ui::Query;

constexpr const char* kSmallProfile = R"({"cameras": [{"type": "wide", "photoSize": [400, 300],
    "previewSize": [160, 120], "videoSize": [160, 120], "autoFocus": true}]})";

class AppEndToEnd : public ::testing::Test {
protected:
    AppEndToEnd() {
        char pattern[] = "/tmp/qv-app-e2e-XXXXXX";
        home = ::mkdtemp(pattern);
        std::ofstream(home / "profile.json") << kSmallProfile;
        ::setenv("QV_HOME", home.c_str(), 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        ::unsetenv("QV_PERMISSIONS");
        ::unsetenv("QV_LOCATION");
        ::unsetenv("QV_CAMERA_SOURCE");
        ::unsetenv("QV_CAMERA_PROFILE");
    }
    ~AppEndToEnd() override { fs::remove_all(home); }

    std::vector<std::string> arguments() const {
        return {"--camera-profile", (home / "profile.json").string(), "--location",
                "48.8584,2.2945,35,90"};
    }

    XvfbServer xvfb;
    fs::path home;
};

TEST_F(AppEndToEnd, AFirstLaunchAsksForAccessShowsWhatIsNewAndLaterLaunchesRemember) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();

    // First launch: the access screen, the two prompts, the notice of this version.
    EXPECT_EQ(
        launchInChild(
            arguments(),
            [](AppWindowDriver& app) {
                ASSERT_TRUE(app.click(Query::tag("continue")));
                ASSERT_TRUE(app.waitFor(Query::tag("permission-allow")));
                app.picture("app-access.png");
                ASSERT_TRUE(app.click(Query::tag("permission-allow")));
                ASSERT_TRUE(app.stepUntil([&] { return app.camera().isCameraAuthorized.get(); }));
                ASSERT_TRUE(app.click(Query::tag("permission-allow")));
                ASSERT_TRUE(app.waitFor(Query::tag("camera screen")));
                ASSERT_TRUE(app.waitFor(Query::tag("whats new ok")));
                app.picture("app-whats-new.png");
                ASSERT_TRUE(app.click(Query::text("OK")));
                ASSERT_TRUE(app.stepUntil([&] { return !app.shows(Query::tag("whats new ok")); }));
                EXPECT_TRUE(app.closeWindow());
            }),
        0);

    // Relaunch: the camera screen at once, no prompt, no notice; the gear opens the settings
    // and the mode badge the mode selector over the preview.
    EXPECT_EQ(launchInChild(arguments(),
                            [](AppWindowDriver& app) {
                                ASSERT_TRUE(app.waitFor(Query::tag("camera screen")));
                                app.pass(1);
                                EXPECT_FALSE(app.shows(Query::tag("permission-prompt")));
                                EXPECT_FALSE(app.shows(Query::tag("whats new ok")));
                                ASSERT_TRUE(app.click(Query::tag("gear")));
                                ASSERT_TRUE(app.waitFor(Query::tag("settings close")));
                                app.pass(0.5);
                                app.picture("screen-settings.png");
                                ASSERT_TRUE(app.click(Query::tag("settings close")));
                                ASSERT_TRUE(app.stepUntil(
                                    [&] { return !app.shows(Query::tag("settings close")); }));
                                ASSERT_TRUE(app.click(Query::tag("mode badge")));
                                ASSERT_TRUE(app.waitFor(Query::text("Light Trails")));
                                app.pass(0.5);
                                app.picture("screen-mode-selector.png");
                                ASSERT_TRUE(app.click(Query::text("Light Trails")));
                                ASSERT_TRUE(app.stepUntil([&] {
                                    return app.camera().sequenceMode.get() ==
                                           SequenceMode::lightTrails;
                                }));
                                EXPECT_TRUE(app.closeWindow());
                            }),
              0);

    // Over a garbage settings file: set aside with one line, the defaults, the notice again,
    // and still no prompt (access is kept apart from the settings).
    std::ofstream(home / "settings.json") << "{ this is not json";
    EXPECT_EQ(launchInChild(arguments(),
                            [](AppWindowDriver& app) {
                                ASSERT_TRUE(app.waitFor(Query::tag("camera screen")));
                                EXPECT_TRUE(app.waitFor(Query::tag("whats new ok")));
                                EXPECT_FALSE(app.shows(Query::tag("permission-prompt")));
                                EXPECT_TRUE(app.closeWindow());
                            }),
              0);
    bool setAside = false;
    for (const auto& entry : fs::directory_iterator(home)) {
        setAside =
            setAside || entry.path().filename().string().starts_with("settings.json.corrupt");
    }
    EXPECT_TRUE(setAside);
}

} // namespace
} // namespace qv::testing
