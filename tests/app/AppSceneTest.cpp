// The app's scene: which screen shows for which access, what the launch resets, the
// orientation notice, and what the camera screen's appearing and going do.

#include "AppTesting.hpp"
#include "camera/MotionLevel.hpp"
#include "model/AppVersion.hpp"
#include "model/NightModeConfig.hpp"
#include "platform/system/AppInfo.hpp"

namespace qv::testing {
namespace {

using namespace platform::ui;
using platform::DeviceOrientation;

class AppScene : public AppTest {};

const Query accessScreen = Query::tag("access screen");
const Query cameraScreen = Query::tag("camera screen");

TEST_F(AppScene, OneAccessGrantedKeepsTheAccessScreen) {
    for (const char* script : {"camera=authorized", "photos=authorized"}) {
        withPermissions(script);
        launch();
        EXPECT_TRUE(shows(accessScreen)) << script;
        EXPECT_FALSE(shows(cameraScreen)) << script;
        EXPECT_FALSE(platformServices->application.isIdleTimerDisabled());
        end();
    }
}

TEST_F(AppScene, AccessGrantedInAnEarlierRunBuildsNoAccessScreen) {
    app = std::make_unique<Quarn_Vesil>(services());
    graph = std::make_unique<ViewGraph>([this] { return app->body(); }, testing::phone());
    graph->update();
    EXPECT_EQ(graph->tree().find(accessScreen), nullptr) << "the first build";
    EXPECT_NE(graph->tree().find(cameraScreen), nullptr);
    EXPECT_TRUE(platformServices->application.isIdleTimerDisabled()) << "appeared";
}

TEST_F(AppScene, EveryLaunchStartsNightModeWithWhiteClippingAtTheNativeISO) {
    NightModeConfig::shared().setBetaNightMergeMode(BetaNightMergeMode::blackClippingRGB);
    NightModeConfig::shared().setBetaNightISOMode(BetaNightISOMode::computational);
    relaunch();
    EXPECT_EQ(NightModeConfig::shared().betaNightMergeMode(), BetaNightMergeMode::whiteClipping);
    EXPECT_EQ(NightModeConfig::shared().betaNightISOMode(), BetaNightISOMode::native);
    EXPECT_EQ(settingsStore->store().integerValue(NightModeConfig::mergeModeKey), 3);
    EXPECT_EQ(settingsStore->store().integerValue(NightModeConfig::isoModeKey), 0);
}

TEST_F(AppScene, AnUnknownOrientationIsIgnoredAndLyingFaceUpIsStored) {
    launch();
    phone.setOrientation(DeviceOrientation::landscapeLeft);
    settle();
    EXPECT_EQ(controller().deviceOrientation.get(), DeviceOrientation::landscapeLeft);
    phone.setOrientation(DeviceOrientation::unknown);
    settle();
    EXPECT_EQ(controller().deviceOrientation.get(), DeviceOrientation::landscapeLeft);
    phone.setOrientation(DeviceOrientation::faceUp);
    settle();
    EXPECT_EQ(controller().deviceOrientation.get(), DeviceOrientation::faceUp);
}

// Each start of the accelerometer (at launch, and back from the background) forgets the
// orientation and its first sample, one interval later, estimates it from gravity.
TEST_F(AppScene, TheOrientationIsKnownOneSampleAfterLaunchAndAfterComingBack) {
    const platform::Seconds oneSample{MotionLevel::updateInterval};
    phone.setOrientation(DeviceOrientation::landscapeLeft);
    launch();
    EXPECT_EQ(controller().deviceOrientation.get(), DeviceOrientation::unknown);
    dispatch.runFor(oneSample);
    settle();
    EXPECT_EQ(controller().deviceOrientation.get(), DeviceOrientation::landscapeLeft);

    graph->setScenePhase(ScenePhase::background);
    settle();
    phone.setGravity(platform::Acceleration{0, 0, -1}); // laid down, with no notice
    graph->setScenePhase(ScenePhase::active);
    settle();
    EXPECT_EQ(controller().deviceOrientation.get(), DeviceOrientation::unknown);
    dispatch.runFor(oneSample);
    settle();
    EXPECT_EQ(controller().deviceOrientation.get(), DeviceOrientation::faceUp);
}

TEST_F(AppScene, TheAccessScreenFollowsNoOrientation) {
    withPermissions("camera=authorized");
    launch();
    const DeviceOrientation before = controller().deviceOrientation.get();
    phone.setOrientation(DeviceOrientation::landscapeRight);
    settle();
    EXPECT_EQ(controller().deviceOrientation.get(), before);
}

TEST_F(AppScene, RebuildsDuringARunNeitherAppearNorDisappear) {
    launch();
    std::vector<bool> idleTimerWrites;
    platformServices->application.setIdleTimerHook(
        [&](bool disabled) { idleTimerWrites.push_back(disabled); });
    ASSERT_EQ(idleTimerWrites, std::vector<bool>{true});
    controller().settings.shutterReleaseDelay = Delay::two;
    controller().exposureSequence->setSelectedDurationIndex(3);
    controller().shutterReleasePressed();
    const int rebuildsBefore = graph->rebuilds();
    for (int step = 0; step < 40; ++step) {
        dispatch.runFor(platform::Seconds(0.25));
        settle();
    }
    EXPECT_GE(graph->rebuilds(), rebuildsBefore + 3) << "countdown, run, ready";
    EXPECT_EQ(idleTimerWrites, std::vector<bool>{true});
    EXPECT_TRUE(controller().captureSession->isRunning());
    EXPECT_EQ(controller().cameraState.get(), CameraState::ready) << "the run has ended";
    platformServices->application.setIdleTimerHook({});
}

TEST_F(AppScene, WhenTheCameraScreenGoesItsSessionSensorsAndIdleTimerStopAndTheVersionIsKept) {
    launch();
    controller().toggleSpiritLevel();
    controller().previewImageScale = 2.0;
    settle();
    ASSERT_TRUE(controller().motionManager().isAccelerometerActive());
    ASSERT_FALSE(settingsStore->store().stringValue(lastLaunchedVersionKey));

    controller().isCameraAuthorized = false;
    settle();
    EXPECT_TRUE(shows(accessScreen));
    EXPECT_EQ(settingsStore->store().stringValue(lastLaunchedVersionKey), platform::appVersion());
    EXPECT_FALSE(platformServices->application.isIdleTimerDisabled());
    EXPECT_FALSE(controller().motionManager().isAccelerometerActive());
    EXPECT_FALSE(controller().captureSession->isRunning());
    EXPECT_EQ(controller().previewImageScale.get(), std::nullopt);
    EXPECT_TRUE(controller().showWhatsNewView.get()) << "only OK ends the notice";
}

} // namespace
} // namespace qv::testing
