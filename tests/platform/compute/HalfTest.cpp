#include "platform/compute/Half.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace qv::platform::compute {
namespace {

TEST(Half, KnownValuesConvertBothWays) {
    EXPECT_EQ(halfFromFloat(0.0f), 0x0000);
    EXPECT_EQ(halfFromFloat(-0.0f), 0x8000);
    EXPECT_EQ(halfFromFloat(1.0f), 0x3C00);
    EXPECT_EQ(halfFromFloat(-2.0f), 0xC000);
    EXPECT_EQ(halfFromFloat(65504.0f), 0x7BFF);
    EXPECT_EQ(halfFromFloat(std::ldexp(1.0f, -24)), 0x0001); // smallest subnormal
    EXPECT_EQ(halfFromFloat(std::ldexp(1.0f, -14)), 0x0400); // smallest normal
    EXPECT_FLOAT_EQ(floatFromHalf(0x3555), 0.333251953125f);
    EXPECT_FLOAT_EQ(floatFromHalf(0x0001), std::ldexp(1.0f, -24));
}

TEST(Half, RoundsToNearestEvenAndOverflowsToInfinity) {
    // 2049 lies halfway between the halves 2048 and 2050: even mantissa wins.
    EXPECT_EQ(floatFromHalf(halfFromFloat(2049.0f)), 2048.0f);
    EXPECT_EQ(floatFromHalf(halfFromFloat(2051.0f)), 2052.0f);
    EXPECT_EQ(floatFromHalf(halfFromFloat(2049.5f)), 2050.0f);
    EXPECT_EQ(halfFromFloat(65520.0f), 0x7C00);
    EXPECT_EQ(halfFromFloat(1e10f), 0x7C00);
    EXPECT_EQ(halfFromFloat(-std::numeric_limits<float>::infinity()), 0xFC00);
    EXPECT_EQ(halfFromFloat(std::ldexp(1.0f, -26)), 0x0000);
    EXPECT_EQ(halfFromFloat(std::ldexp(1.5f, -25)), 0x0001);
    EXPECT_TRUE(std::isnan(floatFromHalf(halfFromFloat(std::numeric_limits<float>::quiet_NaN()))));
}

TEST(Half, EveryFiniteHalfSurvivesARoundTrip) {
    for (unsigned bits = 0; bits < 0x10000; ++bits) {
        const auto half = static_cast<std::uint16_t>(bits);
        if ((half & 0x7C00) == 0x7C00 && (half & 0x3FF) != 0) {
            continue; // NaN payloads need not survive
        }
        ASSERT_EQ(halfFromFloat(floatFromHalf(half)), half) << bits;
    }
}

} // namespace
} // namespace qv::platform::compute
