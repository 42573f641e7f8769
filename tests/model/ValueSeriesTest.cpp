#include "model/ValueSeries.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace qv::QVPhotoMath;

namespace {
using ISOs = std::vector<std::int64_t>;
}

TEST(StandardTables, HaveTheirSizesAndOrder) {
    EXPECT_EQ(allShutterSpeeds().front(), 1.0 / 160000);
    EXPECT_EQ(allShutterSpeeds().back(), 30.0);
    EXPECT_TRUE(std::is_sorted(allShutterSpeeds().begin(), allShutterSpeeds().end()));
    EXPECT_EQ(allLongDurations[29], 30.0);
    EXPECT_EQ(allLongDurations[32], 240.0);
}

TEST(ISOSeries, KeepsTheLimitsAndStandardValuesAQuarterStopInside) {
    const ISOs full = isoValues(25, 3200);
    ASSERT_EQ(full.size(), 22u);
    EXPECT_EQ(full.front(), 25);
    EXPECT_EQ(full[1], 32);
    EXPECT_EQ(full[20], 2500);
    EXPECT_EQ(full.back(), 3200);

    // 32 and 2500 are too close to themselves as limits: each appears once.
    const ISOs inner = isoValues(32, 2500);
    EXPECT_EQ(std::count(inner.begin(), inner.end(), 32), 1);
    EXPECT_EQ(std::count(inner.begin(), inner.end(), 2500), 1);
    EXPECT_EQ(inner[1], 40);
    EXPECT_EQ(inner[inner.size() - 2], 2000);

    // Fractional limits are truncated; the quarter-stop bounds use the unrounded ones.
    const ISOs odd = isoValues(33.3f, 3072);
    EXPECT_EQ((ISOs{odd[0], odd[1]}), (ISOs{33, 40}));
    EXPECT_EQ((ISOs{odd[odd.size() - 2], odd.back()}), (ISOs{2500, 3072}));
    // 27.9 x 2^0.25 rounds to 33, so 32 is left out (27 would give 32 and keep it);
    // 2972.9 x 2^-0.25 rounds to 2500, so 2500 is kept (2972 would give 2499).
    const ISOs raisedMin = isoValues(27.9f, 3200);
    EXPECT_EQ((ISOs{raisedMin[0], raisedMin[1]}), (ISOs{27, 40}));
    const ISOs loweredMax = isoValues(25, 2972.9f);
    EXPECT_EQ((ISOs{loweredMax[loweredMax.size() - 2], loweredMax.back()}), (ISOs{2500, 2972}));
}

TEST(ISOSeries, NonFiniteLimitsGiveAListWithoutCrashing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const ISOs values = isoValues(nan, std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(values.back(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(closestISO(400, nan, nan), 0.0f);
}

TEST(ShutterSeries, HoldsEachLimitOnceAndNothingOutside) {
    const std::vector<double> speeds = shutterSpeeds(1.0 / 8000, 1.0);
    EXPECT_EQ(std::count(speeds.begin(), speeds.end(), 1.0 / 8000), 1);
    EXPECT_EQ(std::count(speeds.begin(), speeds.end(), 1.0), 1);
    EXPECT_EQ(speeds.front(), 1.0 / 8000);
    EXPECT_EQ(speeds.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(speeds.begin(), speeds.end()));

    const std::vector<double> durations = longDurations(1.0, 30 * 0.5);
    EXPECT_EQ(durations, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(longDurations(1.0, 900.0).back(), 900.0);
    EXPECT_EQ(longDurations(1.0, 900.0)[32], 240.0);
}

TEST(Pickers, NearestInStopsWithTheDevicesLimitsAsEnds) {
    EXPECT_EQ(closestISO(324, 25, 3200), 320.0f);
    EXPECT_EQ(closestISO(358, 25, 3200), 400.0f); // nearer 400 than 320 in stops
    EXPECT_EQ(closestISO(3, 25, 3200), 25.0f);
    EXPECT_EQ(closestISO(1e6f, 25, 3200), 3200.0f);

    EXPECT_DOUBLE_EQ(closestShutterSpeed(0.003, 1.0 / 8000, 1.0), 1.0 / 320);
    EXPECT_DOUBLE_EQ(closestShutterSpeed(100, 1.0 / 8000, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(closestShutterSpeed(1e-7, 1.0 / 8000, 1.0), 1.0 / 8000);
    const std::vector<double> speeds = shutterSpeeds(1.0 / 8000, 1.0);
    EXPECT_EQ(speeds[closestShutterSpeedIndex(1.0 / 60, 1.0 / 8000, 1.0)], 1.0 / 60);

    EXPECT_EQ(isoIndex(25, 25, 3200), 0u);
    EXPECT_EQ(isoIndex(320.9f, 25, 3200), 11u);
    EXPECT_EQ(isoIndex(333, 25, 3200), 0u); // not in the list
}

TEST(Pickers, ATieGoesToTheSmallerValue) {
    // Beyond the standard tables the lists are just the two limits, and a target
    // one stop from each is an exact tie.
    EXPECT_EQ(closestShutterSpeed(64, 32, 128), 32.0);
    EXPECT_EQ(closestShutterSpeedIndex(64, 32, 128), 0u);
    EXPECT_EQ(closestISO(524288, 262144, 1048576), 262144.0f);
    // Bias is compared linearly: 0.125 is as far from 0 as from 0.25.
    EXPECT_EQ(exposureBiasValues(0, 0.25f), (std::vector<float>{0, 0.25f}));
    EXPECT_EQ(closestExposureBiasIndex(0.125f, 0, 0.25f), 0u);
}

TEST(ExposureBiasSeries, ThirdsFromMinWithMaxAsLastEntry) {
    const std::vector<float> values = exposureBiasValues(-8, 8);
    ASSERT_EQ(values.size(), 49u);
    EXPECT_EQ(values.front(), -8.0f);
    EXPECT_EQ(values.back(), 8.0f);
    EXPECT_NEAR(values[24], 0.0f, 1e-6f);
    EXPECT_NE(values[24], 0.0f); // single-precision steps: not exactly zero
    EXPECT_EQ(closestExposureBiasIndex(0, -8, 8), 24u);
    EXPECT_EQ(closestExposureBiasIndex(100, -8, 8), 48u);
    EXPECT_EQ(closestExposureBiasIndex(-2.1f, -8, 8), 18u);

    EXPECT_EQ(exposureBiasValues(1, 1), (std::vector<float>{1}));
    EXPECT_EQ(exposureBiasValues(2, -2), (std::vector<float>{-2}));
    // A max just above a step does not give two nearly equal entries at the end only.
    EXPECT_EQ(exposureBiasValues(0, 1).size(), 4u);
}

TEST(ExposureBiasSeries, NonFiniteLimitsTerminate) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(exposureBiasValues(-inf, 2), (std::vector<float>{2}));
    EXPECT_EQ(exposureBiasValues(0, inf).size(), 1u);
}
