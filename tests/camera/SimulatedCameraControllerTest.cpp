// The controller on the simulated phone camera: cameras that expose, focus and balance white
// by themselves on the virtual clock.

#include "CameraTestSupport.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"

#include <cmath>

namespace qv::testing {
namespace {

using platform::CaptureDevice;
using platform::Seconds;

class SimulatedCameraControllerTest : public CameraTest {
protected:
    // The built-in phone's three cameras, with small pictures, looking at an evening street
    // (EV100 8).
    void installSimulatedPhone() {
        platform::SyntheticSceneOptions street;
        street.greyCard = platform::SyntheticSceneOptions::GreyCard{0, 0, 1, 1, 8};
        const auto scene = std::make_shared<platform::SyntheticNightScene>(street);
        const auto profile = platform::CameraProfile::builtIn();
        std::vector<std::shared_ptr<CaptureDevice>> devices;
        for (auto spec : profile.cameras) {
            spec.photoSize = {160, 120};
            spec.previewSize = {64, 48};
            spec.videoSize = {80, 60};
            devices.push_back(
                std::make_shared<platform::SimulatedCaptureDevice>(spec, profile, scene));
        }
        simulated = devices;
        installation.emplace(platform::CaptureDeviceDiscovery::install(devices));
    }

    int misuses() const {
        int count = 0;
        for (const auto& device : simulated) {
            count += device->misuseCount();
        }
        return count;
    }

    std::vector<std::shared_ptr<CaptureDevice>> simulated;
};

TEST_F(SimulatedCameraControllerTest, StartsOnTheWideCameraAndFollowsItsAutomaticExposure) {
    installSimulatedPhone();
    start();
    dispatch.runFor(Seconds(3));
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->availableCameras().size(), 3u);
    EXPECT_EQ(camera->teleCameraSubType.get(), CameraType::tele3x); // 26.3 degrees
    EXPECT_TRUE(camera->captureSession->isRunning());
    const auto& wide = simulated[0];
    EXPECT_EQ(camera->activeCaptureDevice.get(), wide);
    // The published exposure is the one the camera settled on.
    const Exposure active = camera->exposureSettings.get()->activeExposure;
    EXPECT_EQ(active.iso, wide->iso());
    EXPECT_EQ(active.shutterSpeed, wide->exposureDuration());
    EXPECT_NEAR(wide->exposureTargetOffset(), 0, 1.0 / 6);
    EXPECT_EQ(camera->lensPosition.get(), wide->lensPosition());
    EXPECT_EQ(misuses(), 0);
}

TEST_F(SimulatedCameraControllerTest, SwitchesModesAndTakesTheAutomaticExposureOver) {
    installSimulatedPhone();
    start();
    dispatch.runFor(Seconds(2));
    for (const CameraType type : {CameraType::tele, CameraType::ultraWide, CameraType::wideAngle}) {
        camera->switchCamera();
        dispatch.runFor(Seconds(1));
        EXPECT_EQ(camera->activeCameraType.get(), type);
        EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    }

    camera->sequenceMode = SequenceMode::starTrails;
    dispatch.runFor(Seconds(1));
    EXPECT_TRUE(camera->isManualExposure.get());
    EXPECT_FLOAT_EQ(camera->lensPosition.get(), 0.8f); // the fresh star focus

    camera->sequenceMode = SequenceMode::nightMode;
    dispatch.runFor(Seconds(1));
    EXPECT_EQ(simulated[0]->whiteBalanceMode(), platform::WhiteBalanceMode::locked);
    camera->sequenceMode = SequenceMode::frameAveraging;
    dispatch.runFor(Seconds(1));
    EXPECT_NE(simulated[0]->whiteBalanceMode(), platform::WhiteBalanceMode::locked);

    camera->isAutoExposure = false;
    EXPECT_TRUE(camera->isAdjustingExposure.get());
    dispatch.runFor(Seconds(1));
    EXPECT_FALSE(camera->isAdjustingExposure.get());
    EXPECT_EQ(simulated[0]->exposureMode(), platform::ExposureMode::custom);
    EXPECT_EQ(misuses(), 0);
}

} // namespace
} // namespace qv::testing
