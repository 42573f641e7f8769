// The road out of the app: the background, the camera screen's going, and the wait for the
// run and the saves it started.

#include "app/AppQuit.hpp"

#include "AppTesting.hpp"
#include "model/AppVersion.hpp"
#include "platform/system/AppInfo.hpp"

#include <filesystem>

namespace qv::testing {
namespace {

class AppQuit : public AppTest {
protected:
    bool quit(double boundSeconds = kQuitWaitSeconds) {
        return quitApp(
            *app, *graph, [this] { dispatch.runFor(platform::Seconds(0.05)); }, boundSeconds);
    }
    std::size_t documents() const {
        const auto folder = home / "Documents";
        if (!std::filesystem::exists(folder)) {
            return 0;
        }
        return std::size_t(std::distance(std::filesystem::directory_iterator(folder),
                                         std::filesystem::directory_iterator()));
    }
};

TEST_F(AppQuit, EndsTheRunUnderWayWaitsForItsSaveAndLeavesTheCameraScreen) {
    launch();
    controller().settings.shutterReleaseDelay = Delay::off;
    controller().settings.fileFormat = SupportedImageFormat::RAW;
    controller().exposureSequence->setSelectedDurationIndex(30); // 5 minutes
    controller().shutterReleasePressed();
    ASSERT_TRUE(dispatch.runUntil(
        [&] {
            const auto merger = controller().exposureSequence->photoMerger();
            return merger && merger->totalFrames1() >= 2;
        },
        platform::Seconds(10)));
    ASSERT_EQ(controller().cameraState.get(), CameraState::shooting);

    EXPECT_TRUE(quit());
    EXPECT_EQ(console.text().find(nothingShotLine), std::string::npos);
    EXPECT_EQ(documents(), 1u);
    EXPECT_EQ(platformServices->photoLibrary.fetchAssets().count(), 1u);
    EXPECT_EQ(controller().photoLibraryManager.pendingSaves(), 0u);
    EXPECT_EQ(settingsStore->store().stringValue(lastLaunchedVersionKey), platform::appVersion());
    EXPECT_FALSE(platformServices->application.isIdleTimerDisabled());
    EXPECT_FALSE(controller().captureSession->isRunning());
    EXPECT_EQ(platformServices->application.state(), platform::ApplicationState::background);
    EXPECT_FALSE(shows(platform::ui::Query::tag("camera screen")));
}

// Without a countdown the start is pending in ready until its run begins; then the run
// shoots a while before its first frame is merged. A quit in either ends it, says in one line
// that there is nothing to save, and waits for nothing.
TEST_F(AppQuit, ARunEndedBeforeItsFirstFrameSaysThereIsNothingToSave) {
    for (const bool shooting : {false, true}) {
        SCOPED_TRACE(shooting ? "shooting" : "start pending");
        if (shooting) {
            relaunch(); // on the same files: the first case saved none
        } else {
            launch();
        }
        controller().settings.shutterReleaseDelay = Delay::off;
        controller().exposureSequence->setSelectedDurationIndex(30); // 5 minutes
        controller().shutterReleasePressed();
        pump();
        if (shooting) {
            ASSERT_TRUE(dispatch.runUntil(
                [&] { return controller().cameraState.get() == CameraState::shooting; },
                platform::Seconds(10)));
            const auto merger = controller().exposureSequence->photoMerger();
            ASSERT_EQ(merger ? merger->totalFrames1() : 0u, 0u);
        } else {
            ASSERT_EQ(controller().cameraState.get(), CameraState::ready);
        }
        const std::size_t before = console.text().size();
        const platform::MonotonicTime start = platform::monotonicNow();

        EXPECT_TRUE(quit());
        EXPECT_LT(platform::Seconds(platform::monotonicNow() - start).count(), 5);
        const std::string said = console.text().substr(before);
        const std::size_t line = said.find(std::string(nothingShotLine) + "\n");
        EXPECT_NE(line, std::string::npos) << said;
        EXPECT_EQ(said.find(nothingShotLine, line + 1), std::string::npos) << "said once";
        EXPECT_EQ(said.find("Quitting before"), std::string::npos) << said;
        EXPECT_EQ(controller().cameraState.get(), CameraState::ready);
        EXPECT_EQ(documents(), 0u);
    }
}

TEST_F(AppQuit, AWaitPastItsBoundSaysWhatMayBeLost) {
    launch();
    controller().settings.shutterReleaseDelay = Delay::ten;
    controller().shutterReleasePressed();
    pump();
    ASSERT_EQ(controller().cameraState.get(), CameraState::countdown);
    EXPECT_FALSE(quit(0));
    EXPECT_NE(console.text().find("Quitting before the last picture was saved: it may be missing"),
              std::string::npos);
}

TEST_F(AppQuit, TheLastSettingsReachTheirFileWhateverTheWaitEndsOn) {
    launch();
    controller().settings.shutterReleaseDelay = Delay::ten;
    controller().shutterReleasePressed();
    pump();
    controller().settings.lockFormat = true;
    // Settings are written behind their changes on a queue of their own, which is not pumped
    // again: only the road out's flush writes them now.
    EXPECT_FALSE(quit(0));
    const platform::UserDefaults file(home / "settings.json");
    EXPECT_EQ(file.stringValue(lastLaunchedVersionKey), platform::appVersion());
    EXPECT_EQ(file.boolValue("lockFormat"), true);
}

TEST_F(AppQuit, SettingsItCannotSaveAreNamedWithTheFileTheyWereToGoTo) {
    // The settings are a link into a dotfiles folder on a disk that is not mounted.
    const auto target = home / "disk" / "dotfiles" / "quarn-settings.json";
    std::filesystem::create_symlink(target, home / "settings.json");
    relaunchSettings();
    launch();
    controller().settings.fileFormat = SupportedImageFormat::TIFF;
    EXPECT_TRUE(quit());
    const std::string said = console.text();
    const std::size_t line = said.find("Quitting without saving the settings ");
    ASSERT_NE(line, std::string::npos) << said;
    const std::string quitLine = said.substr(line, said.find('\n', line) - line);
    EXPECT_NE(quitLine.find("\"fileFormat\""), std::string::npos) << quitLine;
    EXPECT_TRUE(quitLine.ends_with(" to '" + target.string() + "': these changes are lost"))
        << quitLine;
}

} // namespace
} // namespace qv::testing
