#include "platform/media/MediaTime.hpp"

#include <cmath>
#include <gtest/gtest.h>

using qv::platform::MediaTime;

TEST(MediaTime, FromSecondsRoundsToNearestTick) {
    const MediaTime t = MediaTime::fromSeconds(0.001);
    EXPECT_EQ(t.timescale, MediaTime::preferredTimescale);
    EXPECT_EQ(t.value, 2147484); // 2147483.647 rounds up
    EXPECT_EQ(MediaTime::fromSeconds(2.5, 1).value, 3);
    EXPECT_EQ(MediaTime::fromSeconds(-2.5, 1).value, -3);
    // One tick is 4.7e-10 s: the round trip is exact to half a tick.
    EXPECT_NEAR(MediaTime::fromSeconds(1.0 / 1000).seconds(), 0.001, 0.5 / 2147483647.0);
}

TEST(MediaTime, LongDurationsFitAndUnrepresentableOnesAreInvalid) {
    EXPECT_DOUBLE_EQ(MediaTime::fromSeconds(86400).seconds(), 86400.0);
    EXPECT_FALSE(MediaTime::fromSeconds(1e13).isValid());
    EXPECT_FALSE(MediaTime::fromSeconds(NAN).isValid());
    EXPECT_FALSE(MediaTime::fromSeconds(1, 0).isValid());
    EXPECT_TRUE(std::isnan(MediaTime{}.seconds()));
}

TEST(MediaTime, ComparesExactlyAcrossTimescales) {
    EXPECT_EQ((MediaTime{1, 2}), (MediaTime{500, 1000}));
    EXPECT_LT((MediaTime{1, 3}), (MediaTime{333334, 1000000}));
    EXPECT_GT((MediaTime{1, 3}), (MediaTime{333333, 1000000}));
    EXPECT_LT(MediaTime{}, (MediaTime{-5, 1}));
    // Products near the int64 limits must not overflow.
    EXPECT_LT((MediaTime{INT64_MAX - 1, 2147483647}), (MediaTime{INT64_MAX, 2147483647}));
}
