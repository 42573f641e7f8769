// Discovery, switching and the observation of the active camera.

#include "CameraTestSupport.hpp"
#include "platform/console/Console.hpp"

#include <vector>

namespace qv::testing {
namespace {

using platform::FocusMode;
using platform::SystemPressureLevel;

class CameraDevicesTest : public CameraTest {
protected:
    // The camera types the switch goes through, starting with the active one.
    std::vector<CameraType> switchCycle(int switches) {
        std::vector<CameraType> types{camera->activeCameraType.get()};
        for (int i = 0; i < switches; ++i) {
            camera->switchCamera();
            pump();
            types.push_back(camera->activeCameraType.get());
        }
        return types;
    }
};

using enum CameraType;

TEST_F(CameraDevicesTest, TheSwitchCyclesThroughTheKindsThePhoneHas) {
    install({wideCamera()});
    start();
    EXPECT_EQ(camera->availableCameras().size(), 1u);
    EXPECT_EQ(switchCycle(1), (std::vector{wideAngle, wideAngle}));

    camera.reset();
    install({wideCamera(), ultraWideCamera()});
    start();
    EXPECT_EQ(switchCycle(2), (std::vector{wideAngle, ultraWide, wideAngle}));

    camera.reset();
    install({teleCamera(40), wideCamera()}); // discovered in the order of the kinds asked
    start();
    EXPECT_EQ(camera->availableCameras().front(), cameras[1]);
    EXPECT_EQ(switchCycle(2), (std::vector{wideAngle, tele, wideAngle}));

    camera.reset();
    install({wideCamera(), teleCamera(40), ultraWideCamera()});
    start();
    EXPECT_EQ(switchCycle(3), (std::vector{wideAngle, tele, ultraWide, wideAngle}));
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[0]);
}

// Start-up no longer waits for anything that lets the session's setup catch up, so the
// screen's first frames may come before the camera has one: "ready" (a tap on the shutter
// starts a run) must not come before the camera and its exposure do.
TEST_F(CameraDevicesTest, TheCameraIsNeverReadyBeforeItHasACameraAndItsExposure) {
    install({wideCamera()});
    camera = CameraManager::make(services());
    int readies = 0;
    do {
        if (camera->cameraState.get() == CameraState::ready) {
            ++readies;
            EXPECT_TRUE(camera->activeCaptureDevice.get());
            EXPECT_TRUE(camera->exposureSettings.get());
        }
    } while (dispatch.runOne());
    EXPECT_GT(readies, 0);
    EXPECT_TRUE(camera->cameraPreviewLayer.get());
}

TEST_F(CameraDevicesTest, WithoutAWideCameraTheFirstCameraFoundIsTheActiveType) {
    install({ultraWideCamera(), teleCamera(40)});
    start();
    EXPECT_EQ(camera->activeCameraType.get(), tele);
    EXPECT_EQ(camera->zoomFactorLabel(), "2x");
    EXPECT_EQ(switchCycle(2), (std::vector{tele, ultraWide, tele}));
}

TEST_F(CameraDevicesTest, TheTelephotoZoomComesFromItsFieldOfView) {
    struct Case {
        float fieldOfView;
        bool is12ProMax;
        CameraType subType;
        const char* label;
    };
    for (const Case c :
         {Case{35, false, tele, "2x"}, Case{33, true, tele, "2x"}, Case{29, true, tele25x, "2.5x"},
          Case{23, true, tele3x, "3x"}, Case{22.9f, true, tele5x, "5x"}}) {
        camera.reset();
        install({wideCamera(), teleCamera(c.fieldOfView)});
        start();
        EXPECT_EQ(camera->is12ProMax.get(), c.is12ProMax) << c.fieldOfView;
        EXPECT_EQ(camera->teleCameraSubType.get(), c.subType) << c.fieldOfView;
        EXPECT_EQ(camera->zoomFactorLabel(), "1x");
        camera->switchCamera();
        pump();
        EXPECT_EQ(camera->zoomFactorLabel(), c.label) << c.fieldOfView;
    }
}

TEST_F(CameraDevicesTest, ASwitchPassesChangingSettingsAndStartsOverOnTheNewCamera) {
    install({wideCamera(), teleCamera()});
    start();
    camera->isManualExposure = true;
    camera->selectedOffsetIndex = 30;
    camera->activeOverlayViews = {ActiveOverlayViews::grid, ActiveOverlayViews::magnifier};
    pump();
    std::vector<CameraState> states;
    auto subscription =
        camera->cameraState.subscribe([&](const CameraState& state) { states.push_back(state); });
    camera->switchCamera();
    pump();
    EXPECT_EQ(states, (std::vector{CameraState::changingSettings, CameraState::ready}));
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[1]);
    EXPECT_FALSE(camera->isManualExposure.get());
    EXPECT_TRUE(camera->isAutoExposure.get());
    EXPECT_EQ(camera->selectedOffsetIndex.get(), 24); // the bias nearest 0 EV of -8...8
    EXPECT_EQ(camera->activeOverlayViews.get(), ActiveOverlayViews::grid);
    EXPECT_EQ(camera->captureSession->inputs().size(), 1u);
    EXPECT_EQ(camera->captureSession->inputs().front()->device(), cameras[1]);
}

TEST_F(CameraDevicesTest, ACameraWithoutAnInputLeavesTheOldOneInUse) {
    install({wideCamera(), teleCamera(26.3f)});
    start();
    cameras[1]->setInputFailure("The camera is busy");
    platform::ConsoleCapture console;
    camera->switchCamera();
    pump();
    EXPECT_NE(console.text().find("Error Unable to initialize back camera:  The camera is busy"),
              std::string::npos);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->activeCameraType.get(), wideAngle);
    EXPECT_EQ(camera->zoomFactorLabel(), "1x");
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[0]);
    EXPECT_EQ(camera->captureSession->inputs().front()->device(), cameras[0]);

    camera.reset();
    install({wideCamera()});
    cameras[0]->setInputFailure("The camera is busy");
    start();
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
    EXPECT_TRUE(camera->ignoresShutterPress());
}

std::size_t occurrences(const std::string& text, const std::string& line) {
    std::size_t count = 0;
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
        ++count;
    }
    return count;
}

constexpr const char* busyLine = "Error Unable to initialize back camera:  The camera is busy";

TEST_F(CameraDevicesTest, AFailingInputAtStartUpMovesOnToTheNextCameraThatWorks) {
    install({wideCamera(), teleCamera(40)});
    cameras[0]->setInputFailure("The camera is busy");
    platform::ConsoleCapture console;
    start();
    EXPECT_EQ(occurrences(console.text(), busyLine), 1u);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->activeCameraType.get(), tele);
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[1]);
    EXPECT_EQ(camera->captureSession->inputs().front()->device(), cameras[1]);
    EXPECT_FALSE(camera->ignoresShutterPress());

    // Once the wide camera's fault is gone, the switch reaches it.
    cameras[0]->setInputFailure(std::nullopt);
    EXPECT_EQ(switchCycle(2), (std::vector{tele, wideAngle, tele}));
}

TEST_F(CameraDevicesTest, AFailingCameraIsPassedOverOnEverySwitch) {
    install({wideCamera(), teleCamera(40), ultraWideCamera()});
    start();
    cameras[1]->setInputFailure("The camera is busy");
    platform::ConsoleCapture console;
    EXPECT_EQ(switchCycle(4), (std::vector{wideAngle, ultraWide, wideAngle, ultraWide, wideAngle}));
    EXPECT_EQ(occurrences(console.text(), busyLine), 2u); // each attempt keeps its line
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[0]);

    // When every other camera fails, the one in use stays with its own limits.
    cameras[2]->setInputFailure("The camera is busy");
    EXPECT_EQ(switchCycle(1), (std::vector{wideAngle, wideAngle}));
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[0]);
    EXPECT_EQ(camera->captureSession->inputs().size(), 1u);
    EXPECT_EQ(camera->captureSession->inputs().front()->device(), cameras[0]);
}

TEST_F(CameraDevicesTest, ASwitchWithoutAWorkingCameraTriesThemAgain) {
    install({wideCamera(), teleCamera(40)});
    for (const auto& each : cameras) {
        each->setInputFailure("The camera is busy");
    }
    platform::ConsoleCapture console;
    start();
    EXPECT_EQ(occurrences(console.text(), busyLine), 2u);
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
    EXPECT_TRUE(camera->ignoresShutterPress());
    EXPECT_TRUE(camera->captureSession->inputs().empty());
    camera->finishSequence(); // the app going to the background: no run, the state stays
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);

    camera->switchCamera(); // still failing: every camera is tried, the state stays
    pump();
    EXPECT_EQ(occurrences(console.text(), busyLine), 4u);
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);

    cameras[0]->setInputFailure(std::nullopt);
    camera->switchCamera(); // the telephoto first, then the wide camera that works now
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->activeCameraType.get(), wideAngle);
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[0]);
    EXPECT_FALSE(camera->ignoresShutterPress());

    // A single camera is retried by the switch too; a phone without any is left alone.
    camera.reset();
    install({wideCamera()});
    cameras[0]->setInputFailure("The camera is busy");
    start();
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
    cameras[0]->setInputFailure(std::nullopt);
    camera->switchCamera();
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[0]);

    // Without a wide camera the retry starts with the telephoto, the first of the cycle.
    camera.reset();
    install({teleCamera(40), ultraWideCamera()});
    cameras[0]->setInputFailure("The camera is busy");
    cameras[1]->setInputFailure("The camera is busy");
    start();
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
    cameras[0]->setInputFailure(std::nullopt);
    cameras[1]->setInputFailure(std::nullopt);
    camera->switchCamera();
    pump();
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[0]);

    camera.reset();
    install({});
    start();
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
    camera->switchCamera();
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::noRAWCamera);
}

TEST_F(CameraDevicesTest, SetupSwitchesTheAutomaticLowLightBoostOff) {
    const auto boosting = [](Camera device) {
        auto state = device->state();
        state.lowLightBoostSupported = true;
        state.automaticallyEnablesLowLightBoostWhenAvailable = true;
        device->setState(state);
        return device;
    };
    install({boosting(wideCamera()), boosting(teleCamera(40)), ultraWideCamera()});
    platform::ConsoleCapture console;
    start();
    EXPECT_FALSE(cameras[0]->automaticallyEnablesLowLightBoostWhenAvailable());
    EXPECT_TRUE(cameras[1]->automaticallyEnablesLowLightBoostWhenAvailable()); // not set up yet

    // A camera that cannot be locked keeps its boost setting; the setup goes on.
    cameras[1]->setLockFailure("The camera is in use by another client");
    camera->switchCamera();
    pump();
    EXPECT_EQ(occurrences(console.text(), "problem stteing low light boost"), 1u);
    EXPECT_TRUE(cameras[1]->automaticallyEnablesLowLightBoostWhenAvailable());
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[1]);

    // A camera without the boost is set up without a word about it.
    cameras[1]->setLockFailure(std::nullopt);
    camera->switchCamera();
    pump();
    EXPECT_EQ(camera->activeCaptureDevice.get(), cameras[2]);
    EXPECT_EQ(occurrences(console.text(), "problem stteing low light boost"), 1u);
    EXPECT_FALSE(cameras[2]->automaticallyEnablesLowLightBoostWhenAvailable());
    for (const auto& each : cameras) {
        EXPECT_EQ(each->misuseCount(), 0);
    }
}

TEST_F(CameraDevicesTest, NoSwitchWhileARunIsUnderWay) {
    install({wideCamera(), teleCamera()});
    start();
    for (const CameraState state :
         {CameraState::countdown, CameraState::shooting, CameraState::finishing}) {
        camera->cameraState = state;
        camera->switchCamera();
        pump();
        EXPECT_EQ(camera->cameraState.get(), state);
        EXPECT_EQ(camera->activeCameraType.get(), wideAngle);
    }
}

TEST_F(CameraDevicesTest, EachCameraKeepsItsOwnStarFocus) {
    install({wideCamera(), teleCamera()});
    start();
    camera->sequenceMode = SequenceMode::starTrails;
    pump();
    EXPECT_EQ(cameras[0]->lensPosition(), 0.8f); // the stored default
    camera->setLensPosition(0.3f);
    camera->switchCamera();
    pump();
    EXPECT_EQ(camera->activeCameraType.get(), tele);
    EXPECT_EQ(cameras[1]->lensPosition(), 0.8f);
    camera->setLensPosition(0.6f);
    camera->switchCamera();
    pump();
    EXPECT_EQ(cameras[0]->lensPosition(), 0.3f);
    EXPECT_EQ(camera->settings.starFocusWide.get(), 0.3f);
    EXPECT_EQ(camera->settings.starFocusTele.get(), 0.6f);
    EXPECT_EQ(cameras[0]->misuseCount() + cameras[1]->misuseCount(), 0);
}

TEST_F(CameraDevicesTest, ReportsOfTheActiveCameraReachThePublishedState) {
    install({wideCamera(), teleCamera()});
    start();
    auto state = cameras[0]->state();
    state.lensPosition = 0.42f;
    state.focusMode = FocusMode::autoFocus;
    state.isAdjustingFocus = true;
    state.isAdjustingExposure = true;
    state.systemPressureState.level = SystemPressureLevel::serious;
    cameras[0]->setState(state);
    pump();
    EXPECT_EQ(camera->lensPosition.get(), 0.42f);
    EXPECT_EQ(camera->focusMode.get(), FocusMode::autoFocus);
    EXPECT_TRUE(camera->isAutoFocusing());
    EXPECT_TRUE(camera->isAdjustingExposure.get());
    EXPECT_EQ(camera->systemPressureState.get()->level, SystemPressureLevel::serious);

    // Outside ready only focus mode, focusing and pressure follow the camera.
    camera->cameraState = CameraState::countdown;
    int exposureWrites = 0;
    auto counting = camera->exposureSettings.subscribe([&](const auto&) { ++exposureWrites; });
    state.iso = 400;
    state.lensPosition = 0.5f;
    state.focusMode = FocusMode::locked;
    state.isAdjustingExposure = false;
    cameras[0]->setState(state);
    pump();
    EXPECT_EQ(exposureWrites, 0);
    EXPECT_EQ(camera->lensPosition.get(), 0.42f);
    EXPECT_TRUE(camera->isAdjustingExposure.get());
    EXPECT_EQ(camera->focusMode.get(), FocusMode::locked);

    camera->cameraState = CameraState::ready;
    state.iso = 800;
    cameras[0]->setState(state);
    pump();
    EXPECT_EQ(exposureWrites, 1);
    EXPECT_EQ(camera->exposureSettings.get()->activeExposure.iso, 800);

    // After a switch the old camera is no longer heard.
    camera->switchCamera();
    pump();
    state.lensPosition = 0.9f;
    state.focusMode = FocusMode::autoFocus;
    cameras[0]->setState(state);
    pump();
    EXPECT_EQ(camera->lensPosition.get(), cameras[1]->lensPosition());
    EXPECT_EQ(camera->focusMode.get(), cameras[1]->focusMode());
}

TEST_F(CameraDevicesTest, InManualExposureOnlyLargeOffsetJumpsRefreshTheExposure) {
    install({wideCamera()});
    start();
    camera->isManualExposure = true;
    pump();
    int exposureWrites = 0;
    auto counting = camera->exposureSettings.subscribe([&](const auto&) { ++exposureWrites; });
    auto state = cameras[0]->state();
    state.exposureTargetOffset = 0.6f;
    cameras[0]->setState(state);
    pump();
    EXPECT_EQ(exposureWrites, 0);
    state.exposureTargetOffset = 1.21f;
    cameras[0]->setState(state);
    pump();
    EXPECT_EQ(exposureWrites, 1);

    // A bias report in manual exposure is the preview offset itself.
    state.exposureTargetBias = 1.5f;
    cameras[0]->setState(state);
    pump();
    EXPECT_EQ(camera->previewOffset.get(), 1.5f);
}

TEST_F(CameraDevicesTest, TheOrientationIsPublishedUnlessUnknown) {
    install({wideCamera()});
    start();
    // Start-up leaves the orientation unknown until the first accelerometer sample.
    EXPECT_EQ(camera->deviceOrientation.get(), platform::DeviceOrientation::unknown);
    dispatch.runFor(platform::Seconds(0.02));
    EXPECT_EQ(camera->deviceOrientation.get(), platform::DeviceOrientation::portrait);
    phone.setOrientation(platform::DeviceOrientation::faceUp);
    camera->updateDeviceOrientation();
    pump();
    EXPECT_EQ(camera->deviceOrientation.get(), platform::DeviceOrientation::faceUp);
    phone.setOrientation(platform::DeviceOrientation::unknown);
    camera->updateDeviceOrientation();
    pump();
    EXPECT_EQ(camera->deviceOrientation.get(), platform::DeviceOrientation::faceUp);
}

} // namespace
} // namespace qv::testing
