#include "model/ExposureLimits.hpp"
#include "model/ExposureSetting.hpp"
#include "model/LensMath.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/formatting/NumberLocale.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace qv::QVPhotoMath;
using qv::platform::MediaTime;

namespace {

const ExposureLimits phoneLimits = ExposureLimits::fromSeconds(1.0 / 8000, 1.0, 25, 3200, -8, 8);

// The field of view whose 35 mm focal length is `millimetres`.
float fieldOfViewFor(double millimetres) {
    return static_cast<float>(2 * std::atan(18 / millimetres) * 180 / M_PI);
}

} // namespace

TEST(ExposureSetting, EVIsRoundedToThirds) {
    const ExposureSetting setting{100, 1.0 / 60, 1.8};
    EXPECT_FLOAT_EQ(setting.ev(), 23.0f / 3.0f);
    EXPECT_EQ(setting.evDifference(setting), 0.0f);
    const ExposureSetting doubledISO{200, 1.0 / 60, 1.8};
    EXPECT_EQ(setting.evDifference(doubledISO), 1.0f);
    // A longer exposure gives more light: positive difference to it.
    EXPECT_GT(setting.evDifference({100, 1.0 / 15, 1.8}), 1.9f);
    EXPECT_EQ(setting.shutterSpeedTime(), MediaTime::fromSeconds(1.0 / 60));
}

TEST(ExposureSetting, ConversionsInvertEachOther) {
    EXPECT_DOUBLE_EQ(shutterSpeedForEV(0, 25, 1.8), 12.96);
    EXPECT_FLOAT_EQ(isoForEV(0, 1.0, 1.8), 324.0f);
    const double t = shutterSpeedForEV(7, 400, 2.8);
    EXPECT_NEAR(isoForEV(7, t, 2.8), 400.0f, 1e-3f);
}

TEST(ExposureLimits, LowestISOSettingInItsThreeBranches) {
    // Too dark for the longest exposure at the lowest ISO: 1 s and the ISO that makes up.
    const ExposureSetting dark = phoneLimits.exposureSetting(0, 1.8);
    EXPECT_EQ(dark.iso, 320.0f);
    EXPECT_DOUBLE_EQ(dark.shutterSpeed, 1.0);
    EXPECT_DOUBLE_EQ(dark.aperture, 1.8);

    // Within range: the lowest ISO and the nearest standard speed.
    const ExposureSetting bright = phoneLimits.exposureSetting(12, 1.8);
    EXPECT_EQ(bright.iso, 25.0f);
    EXPECT_DOUBLE_EQ(bright.shutterSpeed, 1.0 / 320);

    // Too bright for the shortest exposure: the shortest time and the lowest ISO entry.
    const ExposureSetting glare = phoneLimits.exposureSetting(20, 1.8);
    EXPECT_EQ(glare.iso, 25.0f);
    EXPECT_DOUBLE_EQ(glare.shutterSpeed, MediaTime::fromSeconds(1.0 / 8000).seconds());

    // A NaN EV (a device reporting nonsense) still gives a setting within the limits.
    const ExposureSetting nonsense =
        phoneLimits.exposureSetting(std::numeric_limits<float>::quiet_NaN(), 1.8);
    EXPECT_TRUE(phoneLimits.isoRange().contains(nonsense.iso));
    EXPECT_TRUE(phoneLimits.shutterSpeedRange().contains(nonsense.shutterSpeed));
}

TEST(ExposureLimits, FramesRoundUpAndSaturate) {
    const auto limits = ExposureLimits::fromSeconds(0.001, 3, 25, 3200, -8, 8);
    EXPECT_EQ(limits.numberOfFrames(10), 4);
    EXPECT_EQ(limits.numberOfFrames(9), 3);
    const auto broken = ExposureLimits::fromSeconds(0, 0, 25, 3200, -8, 8);
    EXPECT_EQ(broken.numberOfFrames(10), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(broken.numberOfFrames(0), 0); // 0 / 0
}

TEST(ExposureLimits, ReadsTheActiveFormatAndTheDeviceBias) {
    qv::platform::InMemoryCaptureDevice::State state;
    state.activeFormat.minExposureDuration = MediaTime::fromSeconds(1.0 / 16000);
    state.activeFormat.maxExposureDuration = MediaTime::fromSeconds(0.5);
    state.activeFormat.minISO = 32;
    state.activeFormat.maxISO = 6400;
    state.minExposureTargetBias = -4;
    state.maxExposureTargetBias = 6;
    const ExposureLimits limits{qv::platform::InMemoryCaptureDevice(state)};
    EXPECT_EQ(limits.minShutterSpeed(), MediaTime::fromSeconds(1.0 / 16000));
    EXPECT_NEAR(limits.maxShutterSpeedSeconds(), 0.5, 1e-9);
    EXPECT_EQ(limits.isoRange(), (ClosedRange<float>{32, 6400}));
    EXPECT_EQ(limits.minExposureTargetBias(), -4.0f);
    EXPECT_EQ(limits.maxExposureTargetBias(), 6.0f);
}

TEST(ExposureLimits, Description) {
    qv::platform::NumberLocale::setCurrent(qv::platform::NumberLocale::english());
    EXPECT_EQ(phoneLimits.description(),
              "Shutter speed\nMin: ¹/8000\nMax: 1s\nISO\nMin: 25.0\nMax: 3200.0");
    // A device that states its limits at small timescales reads the same.
    qv::platform::InMemoryCaptureDevice::State state;
    state.activeFormat.minExposureDuration = MediaTime{1, 16000};
    state.activeFormat.maxExposureDuration = MediaTime{1, 1};
    state.activeFormat.minISO = 25;
    state.activeFormat.maxISO = 3200;
    EXPECT_EQ(ExposureLimits(qv::platform::InMemoryCaptureDevice(state)).description(),
              "Shutter speed\nMin: ¹/16k\nMax: 1s\nISO\nMin: 25.0\nMax: 3200.0");
}

TEST(Clamped, LimitsToTheRangeAndIsDefinedForInvertedOnes) {
    EXPECT_EQ(clamped(5, ClosedRange<int>{1, 3}), 3);
    EXPECT_EQ(clamped(-5, ClosedRange<int>{1, 3}), 1);
    EXPECT_EQ(clamped(2, ClosedRange<int>{1, 3}), 2);
    EXPECT_EQ(clamped(2, ClosedRange<int>{3, 1}), 1);
}

TEST(LensMath, FocalLengthZoomAndRuleOf500) {
    EXPECT_NEAR(focalLength35mm(90), 18.0, 1e-12);
    EXPECT_EQ(maxExposureByRuleOf500(90, 1), 27u);
    EXPECT_EQ(maxExposureByRuleOf500(90, 2), 13u);
    EXPECT_EQ(zoomFactor(69.4f, 69.4f), 1.0f);
    const float wide = fieldOfViewFor(26);
    EXPECT_EQ(zoomFactor(fieldOfViewFor(26 * 2.74), wide), 2.5f);
    EXPECT_EQ(zoomFactor(fieldOfViewFor(26 * 2.76), wide), 3.0f);
    EXPECT_EQ(zoomFactor(fieldOfViewFor(26 * 0.5), wide), 0.5f);
}

TEST(LensMath, DegenerateInputsSaturateInsteadOfOverflowing) {
    EXPECT_EQ(maxExposureByRuleOf500(0, 1), 0u); // infinite focal length
    EXPECT_EQ(maxExposureByRuleOf500(90, 0), std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(maxExposureByRuleOf500(std::numeric_limits<float>::quiet_NaN(), 1), 0u);
    EXPECT_EQ(maxExposureBySkyRotation(69.4f, 0, 2, 1), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(maxExposureBySkyRotation(std::numeric_limits<float>::quiet_NaN(), 4032, 2, 1), 0);
}

TEST(LensMath, SkyRotation) {
    // 60 degrees over 4000 pixels is 0.015 degrees a pixel, 3.6 s of rotation;
    // two pixels allowed and a divisor of 2 leave 3.6 s.
    EXPECT_EQ(maxExposureBySkyRotation(60, 4000, 2, 2), 4);
    EXPECT_EQ(maxExposureBySkyRotation(60, 4000, 10, 1), 36);
}
