#include "camera/SmoothedAcceleration.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(SmoothedAcceleration, WithoutSamplesEveryComponentIsNaN) {
    SmoothedAcceleration smoothed;
    const auto average = smoothed.average();
    EXPECT_TRUE(std::isnan(average.x));
    EXPECT_TRUE(std::isnan(average.y));
    EXPECT_TRUE(std::isnan(average.z));
}

TEST(SmoothedAcceleration, AveragesTheLatestTenSamples) {
    SmoothedAcceleration smoothed(10);
    EXPECT_DOUBLE_EQ(smoothed.add(0.51, 0, -1).x, 0.51);
    EXPECT_DOUBLE_EQ(smoothed.add(0.49, 0, -1).x, 0.5);
    for (int i = 0; i < 8; ++i) {
        smoothed.add(0.5, 0, -1);
    }
    ASSERT_EQ(smoothed.count(), 10u);

    // The eleventh sample pushes out the first (0.51): 0.49 + 8 x 0.5 + 1.49 over 10.
    const auto average = smoothed.add(1.49, 0.3, -1);

    EXPECT_EQ(smoothed.count(), 10u);
    EXPECT_DOUBLE_EQ(average.x, 0.598);
    EXPECT_DOUBLE_EQ(average.y, 0.03);
    EXPECT_DOUBLE_EQ(average.z, -1);
}

TEST(SmoothedAcceleration, RemovingAllStartsAfresh) {
    SmoothedAcceleration smoothed;
    smoothed.add(1, 1, 1);
    smoothed.removeAll();
    EXPECT_TRUE(std::isnan(smoothed.average().x));
    EXPECT_DOUBLE_EQ(smoothed.add(0.25, 0, 0).x, 0.25);
}

} // namespace
} // namespace qv
