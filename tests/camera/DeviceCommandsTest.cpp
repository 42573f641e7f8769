// The controller's direct commands to the active camera.

#include "CameraTestSupport.hpp"
#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"

#include <algorithm>
#include <limits>

namespace qv::testing {
namespace {

using platform::FocusMode;
using platform::WhiteBalanceMode;

class DeviceCommandsTest : public CameraTest {};

TEST_F(DeviceCommandsTest, FocusAtCenterTogglesBetweenContinuousAndLockedWhereTheLensIs) {
    install({wideCamera()});
    start();
    camera->lensPosition = 0.4f;
    camera->focusAtCenter();
    pump();
    EXPECT_EQ(cameras[0]->focusMode(), FocusMode::locked);
    EXPECT_EQ(cameras[0]->lensPosition(), 0.4f);
    EXPECT_EQ(camera->focusMode.get(), FocusMode::locked); // as the camera reported it
    camera->focusAtCenter();
    pump();
    EXPECT_EQ(cameras[0]->focusMode(), FocusMode::continuousAutoFocus);
    EXPECT_EQ(cameras[0]->focusPointOfInterest(), (platform::CapturePoint{0.5, 0.5}));
    EXPECT_EQ(camera->focusPoint.get(), (platform::CapturePoint{0.5, 0.5}));
    EXPECT_EQ(cameras[0]->misuseCount(), 0);
}

TEST_F(DeviceCommandsTest, ATapFocusesOnceOnThePointUnderIt) {
    install({wideCamera()});
    start();
    camera->cameraPreviewLayer.get()->setFrame({0, 0, 390, 520});
    camera->focusAtPoint(195, 260);
    pump();
    EXPECT_EQ(cameras[0]->focusPointOfInterest(), (platform::CapturePoint{0.5, 0.5}));
    EXPECT_EQ(cameras[0]->focusMode(), FocusMode::autoFocus);
    EXPECT_EQ(camera->focusPoint.get(), (platform::CapturePoint{195, 260}));

    auto state = cameras[0]->state();
    state.supportedFocusModes = {FocusMode::locked};
    cameras[0]->setState(state);
    camera->focusAtPoint(10, 10);
    pump();
    EXPECT_EQ(camera->focusPoint.get(), (platform::CapturePoint{195, 260}));
    EXPECT_EQ(cameras[0]->misuseCount(), 0);
}

TEST_F(DeviceCommandsTest, TheLensPositionIsRememberedOnlyInStarTrails) {
    install({wideCamera(), ultraWideCamera()});
    start();
    camera->setLensPosition(0.3f);
    pump();
    EXPECT_EQ(cameras[0]->lensPosition(), 0.3f);
    EXPECT_EQ(camera->lensPosition.get(), 0.3f);
    EXPECT_FALSE(settingsStore->store().has("starFocusWide"));

    camera->switchCamera();
    camera->sequenceMode = SequenceMode::starTrails;
    pump();
    camera->setLensPosition(2.0f); // kept within the lens's range
    EXPECT_EQ(cameras[1]->lensPosition(), 1.0f);
    EXPECT_EQ(settingsStore->store().doubleValue("starFocusUltraWide"), 1.0);
    camera->setLensPosition(std::numeric_limits<float>::quiet_NaN()); // skipped
    EXPECT_EQ(cameras[1]->lensPosition(), 1.0f);
    EXPECT_EQ(cameras[0]->misuseCount() + cameras[1]->misuseCount(), 0);
}

TEST_F(DeviceCommandsTest, FreshStarSettingsAreMinusOneEVAndLensPointEight) {
    install({wideCamera()});
    start();
    camera->applyStarSettings();
    pump();
    const QVPhotoMath::ExposureLimits limits(*cameras[0]);
    const auto star = limits.exposureSetting(-1.0f, 1.8);
    EXPECT_TRUE(camera->isManualExposure.get());
    EXPECT_EQ(camera->selectedISO(), QVPhotoMath::closestISO(star.iso, 32, 3072));
    EXPECT_NEAR(camera->selectedShutterSpeed(),
                QVPhotoMath::closestShutterSpeed(star.shutterSpeed, 1e-5, 1), 1e-9);
    EXPECT_EQ(cameras[0]->lensPosition(), 0.8f);
    EXPECT_FALSE(camera->isAdjustingExposure.get());

    // With the focus locked (the lens was set by hand) the lens stays where it is.
    camera->setLensPosition(0.5f);
    pump();
    camera->applyStarSettings();
    EXPECT_EQ(cameras[0]->lensPosition(), 0.5f);
    EXPECT_EQ(cameras[0]->misuseCount(), 0);
}

TEST_F(DeviceCommandsTest, AFailedLockIsPrintedAndChangesNothing) {
    install({wideCamera()});
    start();
    const auto before = cameras[0]->state();
    cameras[0]->setLockFailure("Camera in use by another app");
    platform::ConsoleCapture console;
    camera->setLensPosition(0.2f);
    camera->focusAtCenter();
    camera->setExposureBias(1);
    camera->applyStarSettings();
    pump();
    const auto after = cameras[0]->state();
    EXPECT_EQ(after.lensPosition, before.lensPosition);
    EXPECT_EQ(after.focusMode, before.focusMode);
    EXPECT_EQ(after.exposureTargetBias, before.exposureTargetBias);
    const std::string text = console.text();
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_NE(text.find("Camera in use by another app"), std::string::npos);
    EXPECT_EQ(cameras[0]->misuseCount(), 0); // a lock not held is never released
}

TEST_F(DeviceCommandsTest, NightModeHoldsTheWhiteBalanceOf4000KAndGivesTheOldModeBack) {
    install({wideCamera()});
    start();
    auto state = cameras[0]->state();
    state.maxWhiteBalanceGain = 1.5f; // some of the 4000 K gains lie beyond it
    cameras[0]->setState(state);
    camera->sequenceMode = SequenceMode::nightMode;
    pump();
    const auto wanted = cameras[0]->deviceWhiteBalanceGains({4000, 0});
    const auto limit = [](float gain) { return std::clamp(gain, 1.0f, 1.5f); };
    EXPECT_EQ(cameras[0]->whiteBalanceMode(), WhiteBalanceMode::locked);
    EXPECT_EQ(cameras[0]->state().deviceWhiteBalanceGains,
              (platform::WhiteBalanceGains{limit(wanted.redGain), limit(wanted.greenGain),
                                           limit(wanted.blueGain)}));
    platform::ConsoleCapture console;
    camera->sequenceMode = SequenceMode::frameAveraging;
    pump();
    EXPECT_EQ(cameras[0]->whiteBalanceMode(), WhiteBalanceMode::continuousAutoWhiteBalance);
    EXPECT_NE(console.text().find("Original White Balance mode: continuous auto white balance"),
              std::string::npos);
    EXPECT_EQ(cameras[0]->misuseCount(), 0);
}

TEST_F(DeviceCommandsTest, TheBiasIsKeptWithinTheCamerasRange) {
    install({wideCamera()});
    start();
    auto state = cameras[0]->state();
    state.minExposureTargetBias = -2;
    state.maxExposureTargetBias = 2;
    cameras[0]->setState(state);
    camera->setExposureBias(-8); // the controller's limits still say -8...8
    EXPECT_EQ(cameras[0]->exposureTargetBias(), -2);
    EXPECT_EQ(cameras[0]->misuseCount(), 0);
}

} // namespace
} // namespace qv::testing
