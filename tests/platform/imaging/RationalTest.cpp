#include "platform/imaging/Rational.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace qv::platform::imaging {

TEST(Rational, ShutterSpeedsComeOutAsTheirFractions) {
    EXPECT_EQ(toRational(0.008), (Rational{1, 125}));
    EXPECT_EQ(toRational(20.0), (Rational{20, 1}));
    EXPECT_EQ(toRational(1.0 / 3.0), (Rational{1, 3}));
    EXPECT_EQ(toRational(1.0 / 160000.0), (Rational{1, 160000}));
    EXPECT_EQ(toRational(0.3), (Rational{3, 10}));
    EXPECT_EQ(toRational(2.5), (Rational{5, 2}));
}

TEST(Rational, DegenerateValues) {
    EXPECT_EQ(toRational(0.0), (Rational{0, 1}));
    EXPECT_EQ(toRational(std::nan("")), (Rational{0, 1}));
    EXPECT_EQ(toRational(1e12).numerator, 4294967295);
    EXPECT_EQ(toRational(-0.25), (Rational{-1, 4}));
    // Below the smallest fraction the denominator allows: zero.
    EXPECT_EQ(toRational(1e-9), (Rational{0, 1}));
}

TEST(Rational, IrrationalValuesStayClose) {
    const Rational r = toRational(M_PI);
    EXPECT_LE(r.denominator, 1000000);
    EXPECT_NEAR(r.value(), M_PI, 1e-9);
}

} // namespace qv::platform::imaging
