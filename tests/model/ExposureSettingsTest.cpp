#include "model/ExposureSettings.hpp"

#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <cmath>
#include <gtest/gtest.h>

using namespace qv;
using platform::InMemoryCaptureDevice;
using platform::MediaTime;

namespace {

// A phone camera metering 1/60 s at ISO 100 and f/1.8, on target.
InMemoryCaptureDevice::State meteredState() {
    InMemoryCaptureDevice::State state;
    state.activeFormat.minExposureDuration = MediaTime::fromSeconds(1.0 / 8000);
    state.activeFormat.maxExposureDuration = MediaTime::fromSeconds(1.0);
    state.activeFormat.minISO = 25;
    state.activeFormat.maxISO = 3200;
    state.iso = 100;
    state.exposureDuration = MediaTime::fromSeconds(1.0 / 60);
    state.lensAperture = 1.8f;
    return state;
}

class ExposureSettingsTest : public ::testing::Test {
protected:
    platform::VirtualDispatch dispatch;
    std::shared_ptr<InMemoryCaptureDevice> device =
        std::make_shared<InMemoryCaptureDevice>(meteredState());
    std::shared_ptr<platform::DispatchQueue> biasQueue =
        std::make_shared<platform::DispatchQueue>("ExposureBias", platform::QoS::userInitiated);
    ExposureSettings settings{device, biasQueue};

    void setDevice(void (*change)(InMemoryCaptureDevice::State&)) {
        InMemoryCaptureDevice::State state = device->state();
        change(state);
        device->setState(state);
    }
    std::vector<float> biasesSetAfterRunning() {
        dispatch.runUntilIdle();
        return device->exposureTargetBiasesSet();
    }
};

} // namespace

TEST_F(ExposureSettingsTest, StartsFromTheDevice) {
    EXPECT_EQ(settings.activeExposure.iso, 100.0f);
    EXPECT_EQ(settings.activeExposure.shutterSpeed, MediaTime::fromSeconds(1.0 / 60));
    EXPECT_EQ(settings.targetExposure.shutterSpeed, settings.activeExposure.shutterSpeed);
    EXPECT_EQ(settings.optimizationMode, ExposureOptimizationMode::tripodLowestISO);
    EXPECT_EQ(settings.exposureLimits().minISO(), 25.0f);
    EXPECT_EQ(settings.exposureLimits().maxShutterSpeed(), MediaTime::fromSeconds(1.0));
}

TEST_F(ExposureSettingsTest, WithoutManualExposureThePreviewOffsetIsTheDeviceBias) {
    setDevice([](auto& s) { s.exposureTargetBias = 1.5f; });
    settings.updatePreviewOffset(false, 100.0f, 1.0 / 15, 8);
    EXPECT_EQ(settings.previewOffset, 1.5f);
    settings.updatePreviewOffset(true, 100.0f, std::nullopt, 8);
    EXPECT_EQ(settings.previewOffset, 1.5f);
    settings.updatePreviewOffset(true, std::nullopt, 1.0 / 15, 8);
    EXPECT_EQ(settings.previewOffset, 1.5f);
    EXPECT_TRUE(biasesSetAfterRunning().empty());
}

TEST_F(ExposureSettingsTest, ChosenExposureEqualToTheAutomaticOneMovesNothing) {
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 60, 8);
    EXPECT_EQ(settings.previewOffset, 0.0f);
    EXPECT_TRUE(biasesSetAfterRunning().empty());
}

TEST_F(ExposureSettingsTest, TwoStopsBrighterSetsTheBiasToTwo) {
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 15, 8);
    EXPECT_FLOAT_EQ(settings.previewOffset, 2.0f);
    EXPECT_TRUE(device->exposureTargetBiasesSet().empty()); // not before the queue runs
    const std::vector<float> set = biasesSetAfterRunning();
    ASSERT_EQ(set.size(), 1u);
    EXPECT_FLOAT_EQ(set[0], 2.0f);
    EXPECT_EQ(device->misuseCount(), 0);
}

TEST_F(ExposureSettingsTest, ADeviceWithoutAUsableExposureMovesNothing) {
    setDevice([](auto& s) {
        s.iso = NAN;
        s.exposureTargetBias = 0.5f;
    });
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 15, 8);
    EXPECT_FLOAT_EQ(settings.previewOffset, 0.5f);
    EXPECT_TRUE(biasesSetAfterRunning().empty());
}

TEST_F(ExposureSettingsTest, LargestOffsetZeroHoldsThePreviewAtZero) {
    // The threshold compares the device's bias with the bias the chosen exposure needs
    // (2), not with the held preview offset (0): the device is set to 0 all the same.
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 15, 0);
    EXPECT_EQ(settings.previewOffset, 0.0f);
    EXPECT_EQ(biasesSetAfterRunning(), (std::vector<float>{0.0f}));

    setDevice([](auto& s) { s.exposureTargetBias = 0.5f; });
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 15, 0);
    EXPECT_EQ(settings.previewOffset, 0.0f);
    EXPECT_EQ(biasesSetAfterRunning(), (std::vector<float>{0.0f, 0.0f}));
}

TEST_F(ExposureSettingsTest, ThresholdIsTwoTenthsOfAStop) {
    setDevice([](auto& s) { s.exposureTargetOffset = 0.19f; });
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 60, 8);
    EXPECT_EQ(settings.previewOffset, 0.19f);
    EXPECT_TRUE(biasesSetAfterRunning().empty());

    setDevice([](auto& s) { s.exposureTargetOffset = 0.2f; });
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 60, 8);
    EXPECT_EQ(biasesSetAfterRunning(), (std::vector<float>{0.2f}));
}

TEST_F(ExposureSettingsTest, BiasIsLimitedToTheDeviceRangeFirst) {
    setDevice([](auto& s) {
        s.minExposureTargetBias = -2;
        s.maxExposureTargetBias = 2;
    });
    ExposureSettings narrow{device, biasQueue};
    narrow.updatePreviewOffset(true, 100.0f, 1.0, 8); // about 6 stops brighter
    EXPECT_EQ(narrow.previewOffset, 2.0f);
    EXPECT_EQ(biasesSetAfterRunning(), (std::vector<float>{2.0f}));
    EXPECT_EQ(device->misuseCount(), 0);
}

TEST_F(ExposureSettingsTest, BiasChangesRunInTheOrderAskedSoTheLatestWins) {
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 15, 8);  // +2
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 240, 8); // -2
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 30, 8);  // +1
    const std::vector<float> set = biasesSetAfterRunning();
    ASSERT_EQ(set.size(), 3u);
    EXPECT_FLOAT_EQ(set[0], 2.0f);
    EXPECT_FLOAT_EQ(set[1], -2.0f);
    EXPECT_FLOAT_EQ(device->exposureTargetBias(), 1.0f);
}

TEST_F(ExposureSettingsTest, FailedLockIsPrintedAndTheBiasStays) {
    device->setLockFailure("busy");
    platform::ConsoleCapture console;
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 15, 8);
    EXPECT_TRUE(biasesSetAfterRunning().empty());
    EXPECT_EQ(console.text(), "problem settin\n");
    EXPECT_EQ(device->exposureTargetBias(), 0.0f);
    // The record keeps its offset; the next update compares with the real bias and retries.
    device->setLockFailure(std::nullopt);
    settings.updatePreviewOffset(true, 100.0f, 1.0 / 15, 8);
    EXPECT_EQ(biasesSetAfterRunning().size(), 1u);
}

TEST_F(ExposureSettingsTest, OptimizedExposureInTripodModeTakesTheLowestISO) {
    // EV 23/3 at f/1.8: ISO 25 needs 4 x 1/60 s, snapped to 1/15 s.
    const Exposure optimized = settings.optimizedExposure(0);
    EXPECT_EQ(optimized.iso, 25.0f);
    EXPECT_NEAR(optimized.shutterSpeed.seconds(), 1.0 / 15, 1e-9);
    EXPECT_EQ(optimized.exposureBias, 0.0f);

    // Two stops more light asked for, and the metering 1 EV too bright: one stop longer.
    setDevice([](auto& s) { s.exposureTargetOffset = 1; });
    const Exposure brighter = settings.optimizedExposure(2);
    EXPECT_EQ(brighter.iso, 25.0f);
    EXPECT_NEAR(brighter.shutterSpeed.seconds(), 1.0 / 8, 1e-9);
}

TEST_F(ExposureSettingsTest, OptimizedExposureInOtherModesIsTheActiveOne) {
    settings.activeExposure.exposureBias = 0.7f;
    for (const auto mode :
         {ExposureOptimizationMode::apple, ExposureOptimizationMode::handHeldLowestISO}) {
        settings.optimizationMode = mode;
        const Exposure e = settings.optimizedExposure(3);
        EXPECT_EQ(e.iso, 100.0f);
        EXPECT_EQ(e.shutterSpeed, MediaTime::fromSeconds(1.0 / 60));
        EXPECT_EQ(e.exposureBias, 0.7f);
    }
}
