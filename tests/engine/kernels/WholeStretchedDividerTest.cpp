// The night result's whole-number divider against the float form it
// replaces (StretchedDivider, still the form of other factors), value for
// value: every sum up to where the value is capped for the gains a night run
// takes and for gains full of exact halves, then wide random draws.
#include "engine/kernels/WholeStretchedDivider.hpp"

#include "ExactArithmetic.hpp"
#include "engine/kernels/StretchedDivider.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <vector>

namespace qv::kernels::testing {
namespace {

using parts::StretchedDivider;
using parts::WholeStretchedDivider;

constexpr std::uint16_t noCap = 65535;

// Both forms over `sums`, a row at a time (rows of an odd length, so the
// pair loop's tail runs), each value capped as the night result caps it;
// the first differences are reported.
void expectSameValues(const WholeStretchedDivider& whole, const StretchedDivider& old,
                      const std::vector<std::uint32_t>& sums,
                      StretchedDivider::AlternatingCaps caps, const std::string& what) {
    constexpr std::size_t row = 509;
    std::vector<std::uint16_t> ours(sums.size()), theirs(sums.size());
    for (std::size_t start = 0; start < sums.size(); start += row) {
        const std::size_t n = std::min(row, sums.size() - start);
        whole.apply(sums.data() + start, ours.data() + start, n, caps);
        old.apply(sums.data() + start, theirs.data() + start, n, caps);
    }
    int reported = 0;
    for (std::size_t i = 0; i < sums.size() && reported < 5; ++i) {
        if (ours[i] != theirs[i]) {
            ADD_FAILURE() << what << ": sum " << sums[i] << " gives " << ours[i]
                          << ", the float form " << theirs[i];
            ++reported;
        }
    }
}

// The sums whose exact value before rounding is a whole number and a half.
std::size_t tiesAmong(const std::vector<std::uint32_t>& sums, std::uint32_t count, float gain,
                      std::uint32_t black) {
    int exponent = 0;
    const double fraction = std::frexp(double(gain), &exponent);
    const auto m = std::uint64_t(std::ldexp(fraction, 24));
    const std::uint64_t scaledCount = std::uint64_t(count) << (24 - exponent);
    const std::uint64_t pivotSum = std::uint64_t(black) * count;
    std::size_t ties = 0;
    for (const std::uint32_t sum : sums) {
        ties += sum <= pivotSum ? (2 * sum) % (2 * count) == count
                                : (2 * m * (sum - pivotSum)) % (2 * scaledCount) == scaledCount;
    }
    return ties;
}

TEST(WholeStretchedDivider, GivesTheFloatFormsValueForEverySumOfANightRun) {
    // Gains of a night run (2^EV, EV in thirds of a stop), the benchmark's
    // 1.26 (whose float puts small distances within a hair of a half), and
    // gains whose values fall on exact halves over these counts.
    std::vector<float> gains = {1.26f, 1.5f, 1.25f, 0.75f, 3.0f, 0.5f, 2.5f, 1.0f + 0x1p-10f};
    for (int thirds = -3; thirds <= 6; ++thirds) {
        gains.push_back(std::exp2(float(thirds) / 3));
    }
    std::size_t ties = 0;
    for (const std::uint32_t count : {1u, 2u, 3u, 7u, 30u}) {
        for (const float gain : gains) {
            // Black at 0 and high for the short runs, where sums are few.
            for (const std::uint32_t black : {528u, count == 7 ? 0u : 4095u}) {
                if (black != 528 && count > 7) {
                    continue;
                }
                const auto whole = WholeStretchedDivider::make(count, gain, black, 65535);
                ASSERT_TRUE(whole) << count << " frames, gain " << gain;
                const StretchedDivider old(count, gain, black, 65535);
                // Every sum up to a little past the one whose value reaches the cap.
                const double capped = black * double(count) + (65536.0 - black) * count / gain;
                std::vector<std::uint32_t> sums(std::size_t(capped) + 2 * count);
                std::iota(sums.begin(), sums.end(), 0u);
                if (count <= 7 && black != 0) {
                    ties += tiesAmong(sums, count, gain, black);
                }
                const std::string what = std::to_string(count) + " frames, gain " +
                                         std::to_string(gain) + ", black " + std::to_string(black);
                expectSameValues(*whole, old, sums, {noCap, noCap}, what);
            }
        }
    }
    EXPECT_GT(ties, 100000u); // the halves were there to be rounded
}

TEST(WholeStretchedDivider, TiesRoundUp) {
    // 3 frames at a gain of 1.5 above black 528: the distance 1 is half a step.
    const auto whole = WholeStretchedDivider::make(3, 1.5, 528, 65535);
    ASSERT_TRUE(whole);
    EXPECT_EQ((*whole)(3 * 528 + 1), 529u);   // 528 + 0.5
    EXPECT_EQ((*whole)(3 * 528 + 3), 530u);   // 528 + 1.5
    EXPECT_EQ((*whole)(3 * 528 - 1), 528u);   // 527.67 below black, not stretched
    EXPECT_EQ((*whole)(0xFFFFFFFFu), 65535u); // capped
    const auto even = WholeStretchedDivider::make(2, 1.0, 528, 65535);
    ASSERT_TRUE(even);
    EXPECT_EQ((*even)(2 * 100 + 1), 101u);   // 100.5 below black
    EXPECT_EQ((*even)(2 * 1000 + 1), 1001u); // 1000.5 above it
}

TEST(WholeStretchedDivider, GivesTheFloatFormsValueOverRandomCountsGainsAndSums) {
    std::mt19937 random(31);
    std::uniform_int_distribution<std::uint32_t> bits;
    std::uniform_real_distribution<double> logGain(-9, 16);
    std::size_t taken = 0;
    for (int draw = 0; draw < 4000; ++draw) {
        // Counts of every size, float gains with every mantissa, any black level.
        const std::uint32_t count = 1 + (bits(random) >> (1 + bits(random) % 31));
        const float gain = draw % 3 == 0 ? std::nextafter(float(std::exp2(logGain(random))), 0.0f)
                                         : float(std::exp2(logGain(random)));
        const std::uint32_t black = draw % 5 == 0 ? 0 : bits(random) % 65536;
        const auto whole = WholeStretchedDivider::make(count, gain, black, 65535);
        if (!whole) {
            continue;
        }
        ++taken;
        const StretchedDivider old(count, gain, black, 65535);
        // Sums anywhere, and around black, around the cap and around halves.
        const std::uint64_t pivotSum = std::uint64_t(black) * count;
        std::vector<std::uint32_t> sums;
        for (int i = 0; i < 200; ++i) {
            sums.push_back(bits(random));
            const double value = double(bits(random) % 65536) + 0.5;
            const double half =
                value <= black ? value * count : pivotSum + (value - black) * count / gain;
            for (const double around : {double(pivotSum), half}) {
                for (double d = -2; d <= 2; ++d) {
                    sums.push_back(std::uint32_t(std::clamp(around + d, 0.0, 4294967295.0)));
                }
            }
        }
        expectSameValues(*whole, old, sums, {std::uint16_t(bits(random)), noCap},
                         std::to_string(count) + " frames, gain " + std::to_string(gain) +
                             ", black " + std::to_string(black));
        for (const std::uint32_t s : sums) {
            ASSERT_EQ((*whole)(s), old(s)) << s << " over " << count << ", gain " << gain;
            ASSERT_EQ((*whole)(s), exactStretched(s, count, gain, black, 65535)) << s;
        }
    }
    EXPECT_GT(taken, 1000u);
}

TEST(WholeStretchedDivider, TakesNoFactorOrCountOutsideItsForm) {
    // 23 binary digits after the point: count x 2^23 within 2^29.
    EXPECT_TRUE(WholeStretchedDivider::make(64, 1 + 0x1p-23, 528, 65535));
    EXPECT_FALSE(WholeStretchedDivider::make(65, 1 + 0x1p-23, 528, 65535));
    // A whole gain takes any count whose sums up to the cap stay below 2^31.
    EXPECT_TRUE(WholeStretchedDivider::make(1u << 29, 32768.0, 0, 65535));
    EXPECT_FALSE(WholeStretchedDivider::make(1u << 29, 2.0, 1, 65535));
    EXPECT_FALSE(WholeStretchedDivider::make(0, 1.0, 528, 65535));
    EXPECT_FALSE(WholeStretchedDivider::make(7, 0.0, 528, 65535));
    EXPECT_FALSE(WholeStretchedDivider::make(7, -1.0, 528, 65535));
    EXPECT_FALSE(WholeStretchedDivider::make(7, 65536.0, 528, 65535));
    EXPECT_FALSE(WholeStretchedDivider::make(7, 0x1p-30, 528, 65535));
    EXPECT_FALSE(WholeStretchedDivider::make(7, 1.0, 65536, 65535));
    // A gain that is not a number counts as 1, as in the float form.
    const auto notANumber = WholeStretchedDivider::make(7, std::nan(""), 528, 65535);
    ASSERT_TRUE(notANumber);
    EXPECT_EQ((*notANumber)(7 * 1000 + 3), StretchedDivider(7, 1.0, 528, 65535)(7 * 1000 + 3));
}

} // namespace
} // namespace qv::kernels::testing
