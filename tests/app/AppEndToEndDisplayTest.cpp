// The whole app in its window under a private X server, on the virtual clock, clicked and
// keyed through X as a user would, launch after launch in a home of its own: the first
// launch asks for access and shows what is new; later launches remember.

#include "AppProcess.hpp"
#include "AppWindowDriver.hpp"
#include "ImagingTestSupport.hpp"
#include "TreeReading.hpp"
#include "XvfbServer.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "platform/system/AppInfo.hpp"
#include "platform/ui/scene/Query.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace qv::testing {
namespace {

namespace fs = std::filesystem;
using platform::imaging::test::runTool;
using platform::ui::Query;

constexpr const char* kSmallProfile = R"({"cameras": [{"type": "wide", "photoSize": [400, 300],
    "previewSize": [160, 120], "videoSize": [160, 120], "autoFocus": true}]})";

// One tag as exiftool reads it, numeric.
std::string tag(const fs::path& file, const std::string& name) {
    auto run = runTool("exiftool", {"-s3", "-n", "-" + name, file.string()});
    while (!run.output.empty() && run.output.back() == '\n') {
        run.output.pop_back();
    }
    return run.output;
}

// A numeric tag; 0 when exiftool finds none.
double number(const fs::path& file, const std::string& name) {
    return std::strtod(tag(file, name).c_str(), nullptr);
}

// How many lines of `text` mention `word`.
int linesAbout(const std::string& text, const std::string& word) {
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        count += line.find(word) != std::string::npos ? 1 : 0;
    }
    return count;
}

// What the user of a first launch does, through the window.
void firstLaunch(AppWindowDriver& app) {
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

    ASSERT_TRUE(app.click(Query::tag("mode badge")));
    ASSERT_TRUE(app.click(Query::text("Light Trails")));
    ASSERT_TRUE(app.stepUntil(
        [&] { return app.camera().sequenceMode.get() == SequenceMode::lightTrails; }));

    // The settings, from the top of the list to its bottom.
    ASSERT_TRUE(app.click(Query::tag("gear")));
    ASSERT_TRUE(app.waitFor(Query::tag("settings close")));
    app.pass(0.5);
    app.picture("app-settings-top.png");
    ASSERT_TRUE(app.click(Query::tag("value Total Time")));
    ASSERT_TRUE(app.waitFor(Query::tag("selector")));
    app.pass(0.5);
    app.picture("app-total-time.png");
    ASSERT_TRUE(app.clickWithin("selector", Query::text("0:10")));
    ASSERT_TRUE(app.stepUntil([&] { return !app.shows(Query::tag("selector")); }));
    ASSERT_TRUE(app.clickWithin("settings list", Query::text("LT mode save additional FA result")));
    ASSERT_TRUE(app.clickWithin("settings list", Query::text("Save GPS data")));
    ASSERT_TRUE(app.waitFor(Query::tag("permission-allow")));
    app.pass(0.5);
    ASSERT_TRUE(app.click(Query::tag("permission-allow")));
    ASSERT_TRUE(app.stepUntil([&] { return app.camera().settings.shouldSaveLocationData.get(); }));
    ASSERT_TRUE(app.clickWithin("settings list", Query::text("RAW")));
    ASSERT_TRUE(app.clickWithin("settings list", Query::text("2s")));
    ASSERT_TRUE(app.clickWithin("settings list", Query::text("Bluetooth/Volume Shutter Release")));
    ASSERT_TRUE(app.click(Query::text("Bluetooth/Volume Shutter Release"))); // back off
    app.pass(0.5);
    app.picture("app-settings-bottom.png");
    ASSERT_TRUE(app.key("3")); // landscape left
    ASSERT_TRUE(app.stepUntil([&] {
        return app.camera().deviceOrientation.get() == platform::DeviceOrientation::landscapeLeft;
    }));
    app.pass(0.5);
    app.picture("app-settings-landscape.png");
    ASSERT_TRUE(app.key("1"));
    ASSERT_TRUE(app.click(Query::tag("settings close")));
    ASSERT_TRUE(app.stepUntil([&] { return !app.shows(Query::tag("settings close")); }));
    auto& settings = app.camera().settings;
    EXPECT_EQ(app.camera().exposureSequence->selectedDurationIndex(), 10);
    EXPECT_EQ(settings.fileFormat.get(), SupportedImageFormat::RAW);
    EXPECT_EQ(settings.shutterReleaseDelay.get(), Delay::two);
    EXPECT_TRUE(settings.saveFAwithLT.get());
    EXPECT_FALSE(settings.useVolumeShutter.get());

    // The shutter: the countdown 2, 1, the run, the thumbnail, the result cover.
    ASSERT_TRUE(app.click(Query::tag("shutter")));
    for (const char* second : {"2", "1"}) {
        EXPECT_TRUE(app.stepUntil([&] { return app.showsWithin("shutter", Query::text(second)); }))
            << second;
    }
    ASSERT_TRUE(
        app.stepUntil([&] { return app.camera().cameraState.get() == CameraState::shooting; }));
    ASSERT_TRUE(app.stepUntil(
        [&] {
            return app.camera().cameraState.get() == CameraState::ready &&
                   app.shows(Query::tag("thumbnail picture"));
        },
        0.2));
    ASSERT_TRUE(app.click(Query::tag("thumbnail")));
    EXPECT_TRUE(app.waitFor(Query::tag("result image")));
    EXPECT_TRUE(app.closeWindow());
}

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

    std::vector<fs::path> documents() const {
        std::vector<fs::path> files;
        for (const std::string& name : filesUnder((home / "Documents").string())) {
            files.push_back(home / "Documents" / name);
        }
        return files;
    }

    // A result as other programs read it: exiftool's tags and validation, LibRaw's picture.
    void checkFile(const fs::path& file) {
        const auto validation = runTool("exiftool", {"-validate", "-a", file.string()});
        EXPECT_EQ(validation.exitCode, 0) << validation.output;
        EXPECT_EQ(validation.output.find("Error"), std::string::npos) << validation.output;
        EXPECT_GT(number(file, "ExposureTime"), 0) << file;
        EXPECT_EQ(tag(file, "Software"), "Quarn Vesil " + platform::appVersion());
        EXPECT_FALSE(tag(file, "ImageDescription").empty()) << file;
        EXPECT_NEAR(number(file, "GPSLatitude"), 48.8584, 1e-4) << file;
        EXPECT_NEAR(number(file, "GPSLongitude"), 2.2945, 1e-4) << file;
        std::ifstream in(file, std::ios::binary);
        const platform::imaging::FileData data{std::istreambuf_iterator<char>(in), {}};
        const auto picture = platform::imaging::developRaw(data, {});
        EXPECT_TRUE(picture) << file << ": " << (picture ? "" : picture.error());
    }

    XvfbServer xvfb;
    fs::path home;
};

TEST_F(AppEndToEnd, AFirstLaunchAsksForAccessShowsWhatIsNewAndLaterLaunchesRemember) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();

    // First launch: the access screen and its two prompts, the notice of this version; a
    // light-trails run of 10 s in RAW after a delay of 2 s, saving its average too, with GPS.
    EXPECT_EQ(launchInChild(arguments(), firstLaunch), 0);
    const auto files = documents();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].filename().string().ends_with("_FA.DNG")) << files[0];
    EXPECT_TRUE(files[1].filename().string().ends_with("_LT.DNG")) << files[1];
    for (const auto& file : files) {
        checkFile(file);
    }
    const auto rows =
        runTool("sqlite3", {"-readonly", (home / "Photos" / "library.sqlite").string(),
                            "SELECT count(*) FROM assets;"});
    EXPECT_EQ(rows.output, "2\n");

    // Relaunch: the camera screen at once, no prompt, no notice; the gear opens the settings,
    // each as it was set (the repetitions "Off" again), and the mode badge the mode selector
    // over the preview.
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
                                EXPECT_EQ(textIn(app.tree(), "value Total Time"), "0:10");
                                EXPECT_EQ(textIn(app.tree(), "value Interval Repetitions"), "Off");
                                const auto& settings = app.camera().settings;
                                EXPECT_EQ(settings.fileFormat.get(), SupportedImageFormat::RAW);
                                EXPECT_EQ(settings.shutterReleaseDelay.get(), Delay::two);
                                EXPECT_TRUE(settings.saveFAwithLT.get());
                                EXPECT_EQ(symbolsIn(app.tree(), "toggle Save GPS data"),
                                          std::vector<std::string>{"checkmark.square"});
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
    EXPECT_EQ(launchInChild(
                  arguments(),
                  [](AppWindowDriver& app) {
                      ASSERT_TRUE(app.waitFor(Query::tag("camera screen")));
                      EXPECT_TRUE(app.waitFor(Query::tag("whats new ok")));
                      EXPECT_EQ(linesAbout(app.printed(), "settings"), 1) << app.printed();
                      EXPECT_FALSE(app.shows(Query::tag("permission-prompt")));
                      EXPECT_EQ(app.camera().settings.fileFormat.get(), SupportedImageFormat::JPEG);
                      EXPECT_EQ(app.camera().exposureSequence->selectedDurationIndex(), 1);
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

// The exposure selectors turn with the phone: the orientation keys through X turn the
// simulated phone, the app hands the orientation to the controller, and the open picker's
// cells run along the turned row (landscape left a quarter turn clockwise, right the other
// way, upside down a half turn; lying face up or face down, as upright, no turn).
TEST_F(AppEndToEnd, TheExposureSelectorsTurnWithThePhone) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    ::setenv("QV_PERMISSIONS", "camera=authorized,photos=authorized", 1);
    EXPECT_EQ(
        launchInChild(
            arguments(),
            [](AppWindowDriver& app) {
                ASSERT_TRUE(app.waitFor(Query::tag("camera screen")));
                if (app.waitFor(Query::tag("whats new ok"))) {
                    ASSERT_TRUE(app.click(Query::tag("whats new ok")));
                    ASSERT_TRUE(
                        app.stepUntil([&] { return !app.shows(Query::tag("whats new ok")); }));
                }
                for (const char* readout : {"EV readout", "total time readout"}) {
                    SCOPED_TRACE(readout);
                    ASSERT_TRUE(app.click(Query::tag(readout)));
                    ASSERT_TRUE(app.waitFor(Query::tag("selector")));
                    struct Turn {
                        const char* key;
                        platform::DeviceOrientation orientation;
                        double angle;
                    };
                    using enum platform::DeviceOrientation;
                    std::string pick;
                    for (const Turn turn :
                         {Turn{"3", landscapeLeft, M_PI / 2}, Turn{"4", landscapeRight, -M_PI / 2},
                          Turn{"2", portraitUpsideDown, M_PI}, Turn{"5", faceUp, 0},
                          Turn{"6", faceDown, 0}, Turn{"1", portrait, 0}}) {
                        SCOPED_TRACE(turn.key);
                        ASSERT_TRUE(app.key(turn.key));
                        ASSERT_TRUE(app.stepUntil([&] {
                            return app.camera().deviceOrientation.get() == turn.orientation;
                        }));
                        app.pass(0.5); // the turn animates
                        // Two cells in a row of the picker (one column: one under the
                        // other), as drawn: the step between them, turned.
                        const bool column = std::string(readout) == "total time readout";
                        const auto cell = [&](int i) {
                            return app.tree().find(
                                Query::tag("selector item " + std::to_string(i)));
                        };
                        int first = 0; // the first built cell that starts a row
                        while (first < 100 &&
                               (cell(first) == nullptr || cell(first + 1) == nullptr ||
                                (!column && first % 3 != 0))) {
                            ++first;
                        }
                        ASSERT_LT(first, 100);
                        const auto a = cell(first)->screenFrame().center();
                        const auto b = cell(first + 1)->screenFrame().center();
                        const double length = std::hypot(b.x - a.x, b.y - a.y);
                        ASSERT_GT(length, 1);
                        const double along = turn.angle + (column ? M_PI / 2 : 0);
                        EXPECT_NEAR((b.x - a.x) / length, std::cos(along), 1e-3);
                        EXPECT_NEAR((b.y - a.y) / length, std::sin(along), 1e-3);
                    }
                    // A pick closes the picker (it covers the readouts): the cell nearest
                    // the middle of its scroll view.
                    const auto middle =
                        platform::ui::findAll(app.tree().get(Query::tag("selector")),
                                              Query::kind("ScrollView"))
                            .at(0)
                            ->screenFrame()
                            .center();
                    double nearest = 1e9;
                    for (int i = 0; i < 200; ++i) {
                        const auto* c =
                            app.tree().find(Query::tag("selector item " + std::to_string(i)));
                        if (c == nullptr) {
                            continue;
                        }
                        const auto at = c->screenFrame().center();
                        const double d = std::hypot(at.x - middle.x, at.y - middle.y);
                        if (d < nearest) {
                            nearest = d;
                            pick = "selector item " + std::to_string(i);
                        }
                    }
                    ASSERT_TRUE(app.click(Query::tag(pick)));
                    ASSERT_TRUE(app.stepUntil([&] { return !app.shows(Query::tag("selector")); }));
                }
                EXPECT_TRUE(app.closeWindow());
            }),
        0);
    ::unsetenv("QV_PERMISSIONS");
}

// Another X client ends the window while a run shoots: it destroys the window (`xdotool
// windowclose`) or kills the app's connection (`xkill`). Either is the close it stands for:
// the run ends and is saved, and the status is 0.
TEST_F(AppEndToEnd, AWindowEndedFromOutsideWhileARunShootsSavesTheRunAndExitsZero) {
    ASSERT_TRUE(xvfb.running()) << xvfb.error();
    ::setenv("QV_PERMISSIONS", "camera=authorized,photos=authorized", 1);
    std::size_t saved = 0;
    for (const std::string command : {"windowclose", "windowkill"}) {
        EXPECT_EQ(launchInChild(arguments(),
                                [&](AppWindowDriver& app) {
                                    ASSERT_TRUE(app.waitFor(Query::tag("camera screen")));
                                    auto& camera = app.camera();
                                    camera.settings.shutterReleaseDelay.set(Delay::off);
                                    camera.sendWillChange();
                                    camera.exposureSequence->setSelectedDurationIndex(10);
                                    camera.shutterReleasePressed();
                                    ASSERT_TRUE(app.stepUntil([&] {
                                        return camera.cameraState.get() == CameraState::shooting;
                                    }));
                                    app.pass(2);
                                    ASSERT_EQ(camera.cameraState.get(), CameraState::shooting);
                                    EXPECT_TRUE(app.endWindowFromOutside(command));
                                }),
                  0)
            << command;
        const auto files = documents();
        ASSERT_EQ(files.size(), saved + 1) << command << ": the run is saved";
        ++saved;
        EXPECT_GT(number(files.back(), "ExposureTime"), 0) << files.back();
    }
    ::unsetenv("QV_PERMISSIONS");
}

} // namespace
} // namespace qv::testing
