// Sequence mode and exposure selection: the values the selector positions stand for, the
// observers of manual and automatic exposure, and the modes.

#include "CameraTestSupport.hpp"
#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"

namespace qv::testing {
namespace {

using platform::ExposureMode;
using QVPhotoMath::ExposureLimits;

class ExposureSelectionTest : public CameraTest {};

TEST_F(ExposureSelectionTest, BeforeAnyCameraThePositionsReadTheFirstEntries) {
    install({});
    start();
    EXPECT_NEAR(camera->selectedShutterSpeed(), 0.001, 1e-9);
    EXPECT_EQ(camera->selectedISO(), 100);
    EXPECT_EQ(camera->selectedExposureBias(), -8);
    EXPECT_EQ(camera->selectedIntervalDelay(), 0);
    EXPECT_EQ(camera->selectedExposureDuration(),
              camera->currentsExposureLimits->minShutterSpeed());
    EXPECT_EQ(camera->selectableISOs->size(), 40u);
    EXPECT_EQ(camera->selectableShutterSpeeds->size(), 68u);
}

TEST_F(ExposureSelectionTest, APositionOutsideItsListIsCorrectedOnTheMainQueueOnly) {
    install({});
    start();
    // 0.009 s to 0.09 s: twelve shutter speeds.
    camera->currentsExposureLimits = ExposureLimits::fromSeconds(0.009, 0.09, 100, 800, -8, 8);
    ASSERT_EQ(QVPhotoMath::shutterSpeeds(0.009, 0.09).size(), 12u);
    camera->selectedShutterSpeedIndex = 30;
    int refreshes = 0;
    auto counting = camera->selectedShutterSpeedIndex.subscribe([&](auto) { ++refreshes; });

    double readOffMain = 0;
    platform::DispatchQueue other("reader");
    other.async([&] { readOffMain = camera->selectedShutterSpeed(); });
    pump();
    EXPECT_NEAR(readOffMain, 0.09, 1e-9);
    EXPECT_EQ(camera->selectedShutterSpeedIndex.get(), 30); // not written off main
    EXPECT_EQ(refreshes, 0);

    EXPECT_NEAR(camera->selectedShutterSpeed(), 0.09, 1e-9);
    EXPECT_EQ(camera->selectedShutterSpeedIndex.get(), 11);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(camera->selectedExposureDuration(),
              camera->currentsExposureLimits->maxShutterSpeed());

    camera->selectedISOIndex = -3;
    EXPECT_EQ(camera->selectedISO(), 100);
    EXPECT_EQ(camera->selectedISOIndex.get(), 0);
    camera->selectedOffsetIndex = 99;
    EXPECT_EQ(camera->selectedExposureBias(), 8);
    EXPECT_EQ(camera->selectedOffsetIndex.get(), 48);
    camera->selectedIntervalDelayIndex = 80;
    EXPECT_EQ(camera->selectedIntervalDelay(), ExposureSequence::durations()[63]);
    camera->selectedRepetitionsIndex = -1;
    EXPECT_EQ(camera->exposureSequence->repetitions, 1);
}

TEST_F(ExposureSelectionTest, ManualExposureStartsAtTheAutomaticExposureAndEndsAtZeroEV) {
    install({wideCamera()});
    start();
    camera->selectedOffsetIndex = 30;
    const auto automatic = camera->exposureSettings.get()->optimizedExposure(0);
    camera->isManualExposure = true;
    const auto& limits = camera->currentsExposureLimits.get();
    EXPECT_EQ(camera->selectedISOIndex.get(),
              std::int64_t(QVPhotoMath::isoIndex(automatic.iso, limits.minISO(), limits.maxISO())));
    EXPECT_NEAR(camera->selectedShutterSpeed(),
                QVPhotoMath::closestShutterSpeed(automatic.shutterSpeed.seconds(), 1e-5, 1), 1e-12);
    EXPECT_EQ(camera->selectedOffsetIndex.get(), 30); // the bias is left alone

    camera->previewOffset = 2;
    camera->isManualExposure = true; // again while on: like switching off
    EXPECT_EQ(camera->selectedOffsetIndex.get(), 24);
    EXPECT_GT(camera->steadyExposureBias.get(), 0);
    EXPECT_LT(camera->steadyExposureBias.get(), 1e-6); // about 2.4e-7, the entry nearest 0
    EXPECT_EQ(camera->previewOffset.get(), 0);
    EXPECT_EQ(camera->exposureSettings.get()->previewOffset, 0);
    EXPECT_EQ(cameras[0]->exposureTargetBiasesSet().back(), camera->steadyExposureBias.get());
    camera->isManualExposure = false;
    EXPECT_EQ(camera->selectedOffsetIndex.get(), 24);
    EXPECT_EQ(cameras[0]->misuseCount(), 0);
}

TEST_F(ExposureSelectionTest, TheModeStepperFollowsItsTableAndNamesTheModeInTheBanner) {
    install({wideCamera()});
    start();
    using enum SequenceMode;
    struct Step {
        SequenceMode from;
        int direction;
        SequenceMode to;
        const char* banner;
    };
    for (const Step step : {Step{frameAveraging, 1, lightTrails, "Light Trails Mode"},
                            Step{lightTrails, 1, starTrails, "Star Trails Mode"},
                            Step{starTrails, 1, nightMode, "Night Mode"},
                            Step{nightMode, 1, frameAveraging, "Frame Averaging Mode"},
                            Step{frameAveraging, 2, starTrails, "Star Trails Mode"},
                            Step{lightTrails, 2, nightMode, "Night Mode"},
                            Step{starTrails, 2, lightTrails, "Light Trails Mode"},
                            Step{nightMode, 2, lightTrails, "Light Trails Mode"},
                            Step{lightTrails, 7, lightTrails, "Light Trails Mode"}}) {
        camera->sequenceMode = step.from;
        pump();
        camera->switchSequenceMode(step.direction);
        EXPECT_EQ(camera->sequenceMode.get(), step.to);
        EXPECT_EQ(camera->exposureSequence->sequenceMode, step.to);
        pump();
        EXPECT_EQ(camera->messageToShow.get(), step.banner);
        EXPECT_TRUE(camera->isShowingMessageOverlay.get());
    }
    dispatch.runFor(platform::Seconds(1.49));
    EXPECT_TRUE(camera->isShowingMessageOverlay.get());
    dispatch.runFor(platform::Seconds(0.02));
    EXPECT_FALSE(camera->isShowingMessageOverlay.get());
}

TEST_F(ExposureSelectionTest, OnlyFrameAveragingKeepsABracket) {
    install({wideCamera()});
    start();
    camera->exposureSequence->bracketEV = 2;
    camera->sequenceMode = SequenceMode::frameAveraging;
    EXPECT_EQ(camera->exposureSequence->bracketEV, 2);
    camera->sequenceMode = SequenceMode::lightTrails;
    EXPECT_EQ(camera->exposureSequence->bracketEV, 0);
    camera->exposureSequence->bracketEV = 1;
    camera->sequenceMode = SequenceMode::nightMode;
    EXPECT_EQ(camera->exposureSequence->bracketEV, 0);
}

TEST_F(ExposureSelectionTest, StarTrailsIsManualWhileItLastsAndReselectingItKeepsThat) {
    install({wideCamera()});
    start();
    camera->sequenceMode = SequenceMode::starTrails;
    pump();
    EXPECT_TRUE(camera->isManualExposure.get());
    camera->sequenceMode = SequenceMode::starTrails; // leaving and entering again
    pump();
    EXPECT_TRUE(camera->isManualExposure.get());
    EXPECT_EQ(camera->sequenceMode.get(), SequenceMode::starTrails);

    camera->selectedISOIndex = 3; // no preview refresh in star trails
    EXPECT_EQ(dispatch.runUntilIdle(), 0u);

    camera->sequenceMode = SequenceMode::lightTrails;
    pump();
    EXPECT_FALSE(camera->isManualExposure.get());
    EXPECT_EQ(cameras[0]->exposureMode(), ExposureMode::continuousAutoExposure);
}

TEST_F(ExposureSelectionTest, AutomaticExposureOffTakesTheReachedExposureOverAsCustom) {
    install({wideCamera()});
    start();
    const auto expected = camera->exposureSettings.get()->optimizedExposure(0);
    camera->isAutoExposure = false;
    EXPECT_TRUE(camera->isAdjustingExposure.get());
    dispatch.runFor(platform::Seconds(1.5)); // the camera confirms after its next frame
    EXPECT_FALSE(camera->isAdjustingExposure.get());
    EXPECT_EQ(cameras[0]->exposureMode(), ExposureMode::custom);
    EXPECT_EQ(cameras[0]->iso(), expected.iso);
    EXPECT_EQ(cameras[0]->exposureDuration(), expected.shutterSpeed);

    // A lock that fails sets nothing, yet the flag still clears.
    camera->isAutoExposure = true;
    cameras[0]->setLockFailure("Camera in use");
    camera->isAutoExposure = false;
    EXPECT_TRUE(camera->isAdjustingExposure.get());
    pump();
    EXPECT_FALSE(camera->isAdjustingExposure.get());

    // Already off, or in star trails: cleared at once.
    camera->isAutoExposure = false;
    EXPECT_FALSE(camera->isAdjustingExposure.get());
    EXPECT_EQ(cameras[0]->misuseCount(), 0);
}

} // namespace
} // namespace qv::testing
