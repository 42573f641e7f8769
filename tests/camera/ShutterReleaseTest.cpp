// The shutter release and everything that stops a run: the countdown, aborts at each
// moment, the app going to the background, a press that comes too early, the volume keys,
// and the screen's small operations around them.

#include "RunTestSupport.hpp"
#include "model/AppVersion.hpp"
#include "model/ValueSeries.hpp"
#include "platform/system/AppInfo.hpp"
#include "platform/system/OutputVolume.hpp"

#include <thread>

namespace qv::testing {
namespace {

using platform::ExposureMode;
using platform::FocusMode;
using platform::Seconds;

class ShutterReleaseTest : public RunTest {
protected:
    // A ready camera with automatic exposure (frames of 1/60 s), 10 s RAW runs and a 5 s
    // release delay.
    void SetUp() override {
        startCamera();
        plan(10, SupportedImageFormat::RAW);
        camera->settings.shutterReleaseDelay = Delay::five;
    }
    bool cameraRestored() const {
        return cameras[0]->exposureMode() == ExposureMode::continuousAutoExposure &&
               cameras[0]->focusMode() == FocusMode::continuousAutoFocus;
    }
    double secondsUntilStart() const {
        return Seconds(*camera->targetSequenceStartTime.get() - platform::wallNow()).count();
    }
};

TEST_F(ShutterReleaseTest, ADelayedReleaseCountsDownClearsOverlaysAndShootsAtItsStartTime) {
    camera->activeOverlayViews =
        ActiveOverlayViews{ActiveOverlayViews::grid, ActiveOverlayViews::histogram};
    camera->selectedRepetitionsIndex = 2;
    press();
    EXPECT_EQ(camera->cameraState.get(), CameraState::countdown);
    EXPECT_EQ(camera->remainingSequences.get(), 2);
    EXPECT_DOUBLE_EQ(secondsUntilStart(), 5);
    EXPECT_EQ(camera->remainingCountdownSeconds(), 5);
    EXPECT_EQ(camera->activeOverlayViews.get().rawValue, ActiveOverlayViews::grid.rawValue);
    wait(4.99);
    EXPECT_EQ(camera->cameraState.get(), CameraState::countdown);
    EXPECT_EQ(printed("Adding photo"), 0u);
    EXPECT_EQ(cameras[0]->focusMode(), FocusMode::locked); // frozen for the run meanwhile
    EXPECT_EQ(cameras[0]->exposureMode(), ExposureMode::custom);
    wait(0.01);
    EXPECT_EQ(camera->cameraState.get(), CameraState::shooting);
    EXPECT_FALSE(camera->targetSequenceStartTime.get());
}

TEST_F(ShutterReleaseTest, NightModeIsRefusedOnACameraThatCannotAutoFocus) {
    auto state = cameras[0]->state();
    state.supportedFocusModes = {FocusMode::locked, FocusMode::continuousAutoFocus};
    cameras[0]->setState(state);
    camera->sequenceMode = SequenceMode::nightMode;
    press();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_FALSE(camera->targetSequenceStartTime.get());
    EXPECT_EQ(camera->messageToShow.get(), "Camera not compatible with Night Mode");
    EXPECT_TRUE(camera->isShowingMessageOverlay.get());
    wait(1.5);
    EXPECT_FALSE(camera->isShowingMessageOverlay.get());
}

TEST_F(ShutterReleaseTest, AnAbortedCountdownNeverStartsAndAPressAgainStartsOneRun) {
    // Aborted before the start task ran, then again after it ran and while its start waits.
    press();
    camera->shutterReleasePressed();
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    press();
    wait(1);
    press();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_FALSE(camera->targetSequenceStartTime.get());
    EXPECT_EQ(camera->remainingSequences.get(), 0);
    EXPECT_TRUE(cameraRestored());

    press(); // at 1 s: starts at 6 s
    wait(4.5);
    EXPECT_EQ(camera->cameraState.get(), CameraState::countdown); // no old start at 5 s
    wait(0.6);
    EXPECT_EQ(camera->cameraState.get(), CameraState::shooting);
    wait(12);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_EQ(endSounds(), 1u);
    // One chain of requests: each photo delivered 0.05 s after its exposure, the next
    // request made then.
    const double frame = cameras[0]->exposureDuration().seconds() + 0.05;
    EXPECT_NEAR(double(printed("Processing photo")), 10 / frame, 1.5);
    EXPECT_TRUE(cameraRestored());
}

TEST_F(ShutterReleaseTest, AnAbortMidExposureMergesThatPhotoAndSavesTheRun) {
    camera->settings.shutterReleaseDelay = Delay::off;
    useManualExposure(1, 100);
    press();
    wait(1.05 + 2.5); // the third photo is exposing
    press();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready); // at once
    EXPECT_TRUE(documents().empty());
    wait(1);
    EXPECT_EQ(printed("Processing photo"), 3u);
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_EQ(endSounds(), 1u);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    wait(20);
    EXPECT_EQ(printed("Processing photo"), 3u); // no request after the abort
    EXPECT_EQ(cameras[0]->exposureMode(), ExposureMode::continuousAutoExposure);
}

TEST_F(ShutterReleaseTest, AnAbortWhileFinishingWithRunsLeftRestoresTheCameraAndEndsTheSeries) {
    camera->settings.shutterReleaseDelay = Delay::off;
    plan(3, SupportedImageFormat::RAW);
    camera->selectedRepetitionsIndex = 2;    // three runs
    camera->selectedIntervalDelayIndex = 13; // 30 s apart
    press();
    // Pressed as soon as the run shows that it is finishing.
    const auto pressWhenFinishing = camera->cameraState.subscribe([this](CameraState state) {
        if (state == CameraState::finishing && endSounds() == 0) {
            platform::DispatchQueue::main().async([this] { camera->shutterReleasePressed(); });
        }
    });
    wait(5);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->remainingSequences.get(), 0);
    EXPECT_TRUE(cameraRestored());
    wait(60);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_EQ(endSounds(), 1u);
}

TEST_F(ShutterReleaseTest, AnAbortBetweenRunsCancelsTheNextRun) {
    camera->settings.shutterReleaseDelay = Delay::off;
    plan(3, SupportedImageFormat::RAW);
    camera->selectedRepetitionsIndex = 2;
    camera->selectedIntervalDelayIndex = 13;
    press();
    wait(5);
    ASSERT_EQ(camera->cameraState.get(), CameraState::countdown); // waiting for run 2
    EXPECT_FALSE(cameraRestored());
    press();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    wait(60);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_EQ(camera->remainingSequences.get(), 0);
    EXPECT_TRUE(cameraRestored());
}

TEST_F(ShutterReleaseTest, GoingToTheBackgroundInTheCountdownStartsNothing) {
    press();
    wait(1);
    camera->finishSequence();
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    wait(20);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(printed("Adding photo"), 0u);
    EXPECT_EQ(endSounds(), 0u);
    EXPECT_TRUE(documents().empty());
    EXPECT_TRUE(cameraRestored());
}

TEST_F(ShutterReleaseTest, GoingToTheBackgroundWhileShootingFinishesOnceWithoutThePhotoInFlight) {
    camera->settings.shutterReleaseDelay = Delay::off;
    useManualExposure(1, 100);
    press();
    wait(1.05 + 2.5); // two photos merged, the third exposing
    camera->finishSequence();
    camera->finishSequence(); // the background reported twice
    wait(0.5);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_EQ(endSounds(), 1u);
    EXPECT_EQ(printed("Processing photo"), 2u);
    wait(1); // the photo in flight arrives for a finished run
    EXPECT_EQ(printed("Dropped a photo of a finished run"), 1u);
    EXPECT_EQ(printed("Processing photo"), 2u);

    // The next run merges only its own photos.
    plan(2, SupportedImageFormat::RAW);
    press();
    wait(8);
    EXPECT_EQ(documents().size(), 2u);
    EXPECT_EQ(printed("Processing photo"), 4u);
    for (const auto& file : documents()) {
        EXPECT_EQ(file.extension(), ".DNG"); // no temporary file left anywhere
    }
}

TEST_F(ShutterReleaseTest, GoingToTheBackgroundBetweenTheRunsOfASeriesEndsIt) {
    camera->settings.shutterReleaseDelay = Delay::off;
    useManualExposure(0.5, 100);
    plan(2, SupportedImageFormat::RAW);
    camera->selectedRepetitionsIndex = 2;
    camera->selectedIntervalDelayIndex = 13; // 30 s
    press();
    wait(10);
    ASSERT_EQ(camera->cameraState.get(), CameraState::countdown); // waiting for run 2
    camera->finishSequence();
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(camera->remainingSequences.get(), 0);
    EXPECT_FALSE(camera->targetSequenceStartTime.get());
    wait(60);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_EQ(endSounds(), 1u);
    EXPECT_TRUE(cameraRestored());
}

TEST_F(ShutterReleaseTest, GoingToTheBackgroundWithoutARunLeavesTheStateAsItIs) {
    for (const CameraState state :
         {CameraState::noRAWCamera, CameraState::cameraNotAllowed, CameraState::starting,
          CameraState::changingSettings, CameraState::ready}) {
        camera->cameraState = state;
        camera->finishSequence();
        wait(1);
        EXPECT_EQ(camera->cameraState.get(), state);
    }
    EXPECT_EQ(endSounds(), 0u);
    EXPECT_TRUE(documents().empty());

    // After a run has finished there is nothing left to finish either.
    camera->settings.shutterReleaseDelay = Delay::off;
    plan(1, SupportedImageFormat::RAW);
    press();
    wait(5);
    ASSERT_EQ(documents().size(), 1u);
    camera->cameraState = CameraState::changingSettings;
    camera->finishSequence();
    wait(1);
    EXPECT_EQ(camera->cameraState.get(), CameraState::changingSettings);
    EXPECT_EQ(endSounds(), 1u);
    EXPECT_EQ(documents().size(), 1u);
}

TEST_F(ShutterReleaseTest, APressBeforeTheLastRunHasFinishedIsRefused) {
    camera->settings.shutterReleaseDelay = Delay::off;
    useManualExposure(1, 100);
    press();
    wait(2);
    press(); // abort: ready at once, the run ends at its next request
    ASSERT_EQ(camera->cameraState.get(), CameraState::ready);
    press();
    EXPECT_EQ(printed("Shutter release refused: the last run has not finished yet"), 1u);
    wait(2);
    EXPECT_EQ(documents().size(), 1u);
    press();   // finished now: a new run, once its focus and exposure reached the camera,
    wait(3.5); // each after the frame of 1 s in progress and the next one
    EXPECT_EQ(camera->cameraState.get(), CameraState::shooting);
}

class VolumeShutterTest : public ShutterReleaseTest {
protected:
    void SetUp() override {
        ShutterReleaseTest::SetUp();
        platform::OutputVolume::shared().setLevel(0.5f);
        camera->settings.useVolumeShutter = true;
        wait(1); // armed one second later
    }
    void TearDown() override { platform::OutputVolume::shared().setLevel(0.5f); }
    // A volume key pressed on another thread, as the desktop's key handler does.
    static void volumeKey(float level) {
        std::thread([level] { platform::OutputVolume::shared().setLevel(level); }).join();
    }
};

TEST_F(VolumeShutterTest, APressReleasesAndItsRestoreReleasesNothing) {
    EXPECT_EQ(printed("setuo volume shutter"), 1u);
    volumeKey(0.6f);
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::countdown);
    wait(0.5); // the volume is put back
    EXPECT_FLOAT_EQ(platform::OutputVolume::shared().level(), 0.5f);
    EXPECT_EQ(camera->cameraState.get(), CameraState::countdown);
    volumeKey(0.4f);
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready); // a second press aborts
}

TEST_F(VolumeShutterTest, TwoQuickPressesStartAndAbort) {
    volumeKey(0.6f);
    volumeKey(0.7f); // before the first restore
    pump();
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    wait(1);
    EXPECT_FLOAT_EQ(platform::OutputVolume::shared().level(), 0.5f);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    wait(10);
    EXPECT_EQ(printed("Adding photo"), 0u);
}

TEST_F(VolumeShutterTest, SwitchedOffTheKeysReleaseNothing) {
    camera->settings.useVolumeShutter = false;
    camera->settings.useVolumeShutter = true;
    camera->settings.useVolumeShutter = false; // before the observation began
    wait(2);
    volumeKey(0.6f);
    wait(1);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
}

TEST_F(ShutterReleaseTest, TheFormatSwitchVersionRecordAndManualListsDoTheirOneThing) {
    camera->settings.fileFormat = SupportedImageFormat::RAW;
    std::vector<std::string> shown;
    for (int i = 0; i < 3; ++i) {
        camera->toggleFileFormat();
        pump();
        shown.push_back(camera->messageToShow.get());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"JPEG", "TIFF", "RAW"}));
    EXPECT_EQ(camera->settings.fileFormat.get(), SupportedImageFormat::RAW);

    camera->cameraPreviewLayer = nullptr;
    camera->ensurePreviewLayer();
    camera->ensurePreviewLayer();
    wait(0.9);
    EXPECT_FALSE(camera->cameraPreviewLayer.get());
    wait(0.2);
    const auto layer = camera->cameraPreviewLayer.get();
    ASSERT_TRUE(layer);
    camera->ensurePreviewLayer();
    wait(1.1);
    EXPECT_EQ(camera->cameraPreviewLayer.get(), layer); // made once

    camera->saveLastLaunchedVersion();
    EXPECT_FALSE(camera->showWhatsNewView.get());
    EXPECT_TRUE(isSameVersionAsLastLaunch());

    camera->setManualExposure();
    const auto format = cameras[0]->activeFormat();
    EXPECT_EQ(camera->selectableISOs.get(), QVPhotoMath::isoValues(32, 3072));
    EXPECT_EQ(camera->selectableShutterSpeeds.get(),
              QVPhotoMath::shutterSpeeds(format.minExposureDuration.seconds(), 1));
}

} // namespace
} // namespace qv::testing
