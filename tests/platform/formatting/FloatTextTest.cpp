#include "platform/formatting/FloatText.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

using qv::platform::floatText;
using qv::platform::saturatingCast;
using qv::platform::saturatingRound;

TEST(FloatText, WholeNumbersKeepPointZeroAndFractionsAreShortest) {
    EXPECT_EQ(floatText(2.0), "2.0");
    EXPECT_EQ(floatText(25.0), "25.0");
    EXPECT_EQ(floatText(3200.0), "3200.0");
    EXPECT_EQ(floatText(-0.5), "-0.5");
    EXPECT_EQ(floatText(0.84), "0.84");
    EXPECT_EQ(floatText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(floatText(0.0), "0.0");
    EXPECT_EQ(floatText(-0.0), "-0.0");
    EXPECT_EQ(floatText(1.0 / 3.0), "0.3333333333333333");
}

TEST(FloatText, FloatPrintsItsOwnShortestDigits) {
    EXPECT_EQ(floatText(0.1f), "0.1");
    EXPECT_EQ(floatText(3200.0f), "3200.0");
    EXPECT_EQ(floatText(static_cast<double>(0.1f)), "0.10000000149011612");
    EXPECT_EQ(floatText(16777216.0f), "1.6777216e+07");
    EXPECT_EQ(floatText(16777215.0f), "16777215.0");
}

TEST(FloatText, VeryLargeAndSmallMagnitudesUseExponentForm) {
    EXPECT_EQ(floatText(0.0001), "0.0001");
    EXPECT_EQ(floatText(0.00001), "1e-05");
    EXPECT_EQ(floatText(-1.5e-7), "-1.5e-07");
    EXPECT_EQ(floatText(9007199254740991.0), "9007199254740991.0");
    EXPECT_EQ(floatText(1e16), "1e+16");
    EXPECT_EQ(floatText(1e300), "1e+300");
    EXPECT_EQ(floatText(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(floatText(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(floatText(std::numeric_limits<double>::quiet_NaN()), "nan");
}

TEST(SaturatingCast, NaNIsZeroAndOutOfRangeClamps) {
    EXPECT_EQ(saturatingCast<std::int64_t>(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(saturatingCast<std::int64_t>(1e30), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(saturatingCast<std::int64_t>(-1e30), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(saturatingCast<int>(1e30f), std::numeric_limits<int>::max());
    EXPECT_EQ(saturatingCast<int>(std::numeric_limits<double>::infinity()),
              std::numeric_limits<int>::max());
    EXPECT_EQ(saturatingCast<int>(-std::numeric_limits<double>::infinity()),
              std::numeric_limits<int>::min());
    EXPECT_EQ(saturatingCast<std::uint8_t>(300.0), 255);
    EXPECT_EQ(saturatingCast<std::uint8_t>(-3.0), 0);
    EXPECT_EQ(saturatingCast<unsigned>(-0.9), 0u);
}

TEST(SaturatingCast, AtTheEdgesOfTheRange) {
    // 2^63 is the first double above INT64_MAX; the largest double below it still fits.
    EXPECT_EQ(saturatingCast<std::int64_t>(9223372036854775808.0),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(saturatingCast<std::int64_t>(9223372036854774784.0), 9223372036854774784);
    EXPECT_EQ(saturatingCast<std::int64_t>(-9223372036854775808.0),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(saturatingCast<int>(2147483647.9), 2147483647);
    EXPECT_EQ(saturatingCast<int>(-2147483648.9), -2147483648);
    EXPECT_EQ(saturatingCast<std::int16_t>(32767.5), 32767);
    EXPECT_EQ(saturatingCast<std::int16_t>(-32769.0), -32768);
}

TEST(SaturatingCast, InRangeTruncatesTowardZeroAndRoundVariantRoundsHalvesAway) {
    EXPECT_EQ(saturatingCast<int>(2.9), 2);
    EXPECT_EQ(saturatingCast<int>(-2.9), -2);
    EXPECT_EQ(saturatingCast<std::int64_t>(1.0 / 0.34), 2);
    EXPECT_EQ(saturatingRound<int>(2.5), 3);
    EXPECT_EQ(saturatingRound<int>(-2.5), -3);
    EXPECT_EQ(saturatingRound<int>(2.49), 2);
    EXPECT_EQ(saturatingRound<int>(1e30), std::numeric_limits<int>::max());
}
