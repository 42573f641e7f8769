// The controller's published state and settings: start-up, settings across launches, the
// states it passes through, and bindings.

#include "CameraTestSupport.hpp"
#include "platform/console/Console.hpp"

#include <cmath>
#include <limits>

namespace qv::testing {
namespace {

using platform::CaptureDeviceType;

class ControllerStateTest : public CameraTest {};

TEST_F(ControllerStateTest, AFirstLaunchReadsTheDefaultsWritesNothingAndStartsInStarting) {
    install({wideCamera()});
    camera = CameraManager::make(services());
    EXPECT_EQ(camera->cameraState.get(), CameraState::starting);
    const auto& settings = camera->settings;
    EXPECT_EQ(settings.shutterReleaseDelay.get(), Delay::five);
    EXPECT_EQ(settings.fileFormat.get(), SupportedImageFormat::JPEG);
    EXPECT_EQ(settings.starFocusWide.get(), 0.8);
    EXPECT_EQ(settings.starFocusTele.get(), 0.8);
    EXPECT_EQ(settings.starFocusUltraWide.get(), 0.8);
    EXPECT_EQ(settings.starEV.get(), -1.0);
    EXPECT_FALSE(settings.useVolumeShutter.get() || settings.lockFormat.get() ||
                 settings.saveFAwithLT.get() || settings.shouldSaveLocationData.get() ||
                 settings.showImagePreviewWhileShooting.get());
    EXPECT_TRUE(camera->showWhatsNewView.get()); // no version recorded yet
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_FALSE(std::filesystem::exists(home / "settings.json"));

    const auto& range = CameraManager::repetitionsRange();
    EXPECT_EQ(range[0], 1);
    EXPECT_EQ(range[98], 99);
    EXPECT_EQ(range[99], 100);
    EXPECT_EQ(range[188], 990);
    EXPECT_EQ(range[189], 1000);
    EXPECT_EQ(range[279], 10000);
    EXPECT_TRUE(std::is_sorted(range.begin(), range.end()));
    for (const std::int64_t index : {98, 99, 188, 189, 279}) {
        camera->selectedRepetitionsIndex = index;
        EXPECT_EQ(camera->exposureSequence->repetitions, range[std::size_t(index)]);
    }
}

TEST_F(ControllerStateTest, EverySettingWrittenReadsBackAtTheNextLaunch) {
    install({wideCamera()});
    start();
    auto& s = camera->settings;
    s.shutterReleaseDelay = Delay::ten;
    s.shouldSaveLocationData = true;
    s.saveFAwithLT = true;
    s.lockFormat = true;
    s.starFocusWide = 0.25;
    s.starFocusTele = 0.5;
    s.starFocusUltraWide = 0.75;
    s.fileFormat = SupportedImageFormat::TIFF;
    s.useVolumeShutter = true;
    s.showImagePreviewWhileShooting = true;
    s.longRAWShots2plus = 3;
    s.longShots = 7;
    s.starEV = -4.5;
    camera.reset();
    pump();

    relaunchSettings();
    start();
    auto& again = camera->settings;
    EXPECT_EQ(again.shutterReleaseDelay.get(), Delay::ten);
    EXPECT_TRUE(again.shouldSaveLocationData.get());
    EXPECT_TRUE(again.saveFAwithLT.get());
    EXPECT_TRUE(again.lockFormat.get());
    EXPECT_EQ(again.starFocusWide.get(), 0.25);
    EXPECT_EQ(again.starFocusTele.get(), 0.5);
    EXPECT_EQ(again.starFocusUltraWide.get(), 0.75);
    EXPECT_EQ(again.fileFormat.get(), SupportedImageFormat::TIFF);
    EXPECT_TRUE(again.useVolumeShutter.get());
    EXPECT_TRUE(again.showImagePreviewWhileShooting.get());
    EXPECT_EQ(again.longRAWShots2plus.get(), 3);
    EXPECT_EQ(again.longShots.get(), 7);
    EXPECT_EQ(again.starEV.get(), -4.5);
}

TEST_F(ControllerStateTest, DamagedSettingsReadAsUsableValues) {
    auto& store = settingsStore->store();
    store.set("delay", "five");      // another type
    store.set("fileFormat", "PNG");  // names no format
    store.set("starFocusWide", 3.0); // beyond the lens
    store.set("starFocusTele", -1.0);
    store.set("starFocusUltraWide", std::numeric_limits<double>::quiet_NaN());
    store.set("starEV", std::numeric_limits<double>::infinity());
    store.set("volumeShutter", 1); // an integer where a bool belongs
    install({wideCamera()});
    start();
    const auto& s = camera->settings;
    EXPECT_EQ(s.shutterReleaseDelay.get(), Delay::five);
    EXPECT_EQ(s.fileFormat.get(), SupportedImageFormat::JPEG);
    EXPECT_EQ(s.starFocusWide.get(), 1.0);
    EXPECT_EQ(s.starFocusTele.get(), 0.0);
    EXPECT_EQ(s.starFocusUltraWide.get(), 0.8);
    EXPECT_EQ(s.starEV.get(), -1.0);
    EXPECT_FALSE(s.useVolumeShutter.get());
    store.set("delay", 7);
    EXPECT_EQ(s.shutterReleaseDelay.get(), Delay::five);
    store.set("delay", 2);
    store.set("fileFormat", "TIFF");
    EXPECT_EQ(s.shutterReleaseDelay.get(), Delay::two);
    EXPECT_EQ(s.fileFormat.get(), SupportedImageFormat::TIFF);
}

TEST_F(ControllerStateTest, WithoutACameraTheStateIsNoRAWCameraAndNothingSwitches) {
    install({});
    start();
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
    EXPECT_EQ(camera->cameraPreviewLayer.get(), nullptr);
    EXPECT_FALSE(camera->captureSession->isRunning());
    EXPECT_TRUE(camera->ignoresShutterPress());
    camera->switchCamera();
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
}

TEST_F(ControllerStateTest, AShutterPressIsIgnoredWhileTheCameraCannotShoot) {
    install({wideCamera()});
    camera = CameraManager::make(services());
    EXPECT_TRUE(camera->ignoresShutterPress()); // starting
    pump();
    EXPECT_FALSE(camera->ignoresShutterPress());
    for (const CameraState state : {CameraState::starting, CameraState::cameraNotAllowed,
                                    CameraState::noRAWCamera, CameraState::changingSettings}) {
        camera->cameraState = state;
        EXPECT_TRUE(camera->ignoresShutterPress());
    }
    for (const CameraState state : {CameraState::ready, CameraState::countdown,
                                    CameraState::shooting, CameraState::finishing}) {
        camera->cameraState = state;
        EXPECT_FALSE(camera->ignoresShutterPress());
    }
    camera->activeCaptureDevice = nullptr;
    EXPECT_TRUE(camera->ignoresShutterPress());
}

TEST_F(ControllerStateTest, ComputedValuesFollowTheStateTheyAreMadeOf) {
    install({wideCamera()});
    start();
    EXPECT_EQ(camera->remainingCountdownSeconds(), 0);
    camera->targetSequenceStartTime = platform::wallNow() + std::chrono::milliseconds(4200);
    EXPECT_EQ(camera->remainingCountdownSeconds(), 5);
    dispatch.runFor(platform::Seconds(5.3));
    EXPECT_EQ(camera->remainingCountdownSeconds(), -1);

    camera->activeCameraType = CameraType::ultraWide;
    camera->teleCameraSubType = CameraType::tele5x;
    EXPECT_EQ(camera->zoomFactorLabel(), "0.5x");
    camera->activeCameraType = CameraType::tele;
    camera->teleCameraSubType = CameraType::tele3x;
    EXPECT_EQ(camera->zoomFactorLabel(), "3x");

    auto image = std::make_shared<platform::RgbaImage>(780, 10, 8);
    image->scale = 2; // 390 points wide
    camera->previewUIImage = image;
    EXPECT_EQ(camera->previewImageFitScale(), 1.0); // no screen width yet
    camera->screenWidth = 195.0;
    EXPECT_EQ(camera->previewImageFitScale(), 0.5);

    camera->focusMode = platform::FocusMode::autoFocus;
    camera->isAdjustingFocus = true;
    EXPECT_TRUE(camera->isAutoFocusing());
    camera->focusMode = platform::FocusMode::continuousAutoFocus;
    EXPECT_FALSE(camera->isAutoFocusing());
    EXPECT_FALSE(camera->isShootingWithTimeLeft());
}

TEST_F(ControllerStateTest, ABindingWritesAsTheControllerDoesAndReadsFireNothing) {
    install({wideCamera()});
    start();
    int willChanges = 0;
    auto subscription = camera->onWillChange([&] { ++willChanges; });
    auto iso = camera->selectedISOIndex.binding();
    const int before = willChanges;
    EXPECT_EQ(iso.get(), camera->selectedISOIndex.get());
    EXPECT_EQ(camera->settings.fileFormat.binding().get(), SupportedImageFormat::JPEG);
    EXPECT_EQ(willChanges, before); // reads fire nothing
    EXPECT_EQ(dispatch.runUntilIdle(), 0u);

    camera->isManualExposure = true;
    pump();
    iso = 4; // the index observer queues the preview refresh, as the controller's own write
    EXPECT_EQ(camera->selectedISOIndex.get(), 4);
    const float offsetBefore = camera->exposureSettings.get()->previewOffset;
    EXPECT_GE(dispatch.runUntilIdle(), 1u);
    EXPECT_NE(camera->exposureSettings.get()->previewOffset, offsetBefore);

    camera->settings.fileFormat.binding() = SupportedImageFormat::RAW;
    EXPECT_EQ(settingsStore->store().stringValue("fileFormat"), "RAW");
    EXPECT_GT(willChanges, before);
}

} // namespace
} // namespace qv::testing
