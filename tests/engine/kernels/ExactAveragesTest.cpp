// Every averaging kernel against exact integer arithmetic, at and around
// each sum where its rounded output steps up, for every count from 1 to 1000.
#include "ExactArithmetic.hpp"
#include "KernelTestPass.hpp"
#include "engine/kernels/StretchedDivider.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace qv::kernels::testing {
namespace {

using platform::compute::Device;
using platform::compute::TextureDescriptor;

// For every output k from 0 to top (every `stride`-th above `everyUpTo`,
// and all of the last 64), the sums around the one where the exact value
// crosses k + 1/2.
std::vector<std::uint32_t> sumsAroundHalves(std::uint32_t count, double factor, std::uint32_t pivot,
                                            std::uint32_t top, std::uint32_t everyUpTo,
                                            std::uint32_t stride) {
    std::vector<std::uint32_t> sums;
    for (std::uint32_t k = 0; k <= top; ++k) {
        if (k > everyUpTo && k % stride != 0 && k + 64 < top) {
            continue;
        }
        const double half = k + 0.5;
        const double crossing =
            half <= pivot ? half * count : double(pivot) * count + (half - pivot) * count / factor;
        const double base = std::floor(crossing);
        for (double s = base - 1; s <= base + 1; ++s) {
            if (s >= 0 && s <= 4294967295.0) {
                sums.push_back(std::uint32_t(s));
            }
        }
    }
    sums.push_back(0);
    sums.push_back(0xFFFFFFFFu);
    return sums;
}

// A 32-bit texture holding `values` row by row (the rest 0), and a photo
// texture of the same size.
struct Sums {
    Texture sums;
    Texture photo;
};

Sums texturesFor(const std::vector<std::uint32_t>& values, TextureFormat photoFormat) {
    const bool colour = photoFormat == TextureFormat::rgba8Uint;
    const std::size_t channels = colour ? 4 : 1;
    const std::size_t width = 509; // odd, so rows end inside a vector
    const std::size_t height = (values.size() + width * channels - 1) / (width * channels);
    auto device = Device::systemDefault();
    const auto make = [&](TextureFormat format) {
        return *device->makeTexture(TextureDescriptor::texture2D(format, width, height, false));
    };
    Sums made{make(colour ? TextureFormat::rgba32Uint : TextureFormat::r32Uint), make(photoFormat)};
    for (std::size_t i = 0; i < values.size(); ++i) {
        made.sums.row<std::uint32_t>(i / (width * channels))[i % (width * channels)] = values[i];
    }
    return made;
}

std::uint32_t photoValue(const Texture& photo, std::size_t i) {
    const std::size_t perRow = photo.width() * channelCount(photo.pixelFormat());
    return photo.pixelFormat() == TextureFormat::rgba8Uint
               ? photo.row<std::uint8_t>(i / perRow)[i % perRow]
               : photo.row<std::uint16_t>(i / perRow)[i % perRow];
}

struct Case {
    const char* kernel;
    TextureFormat photo;
    double factor;
    std::uint32_t pivot;
};

// Runs `c` over the sums around every half for every count from 1 to 1000
// and compares each output with the exact value.
void expectExactForAllCounts(const Case& c) {
    const std::uint32_t top = c.photo == TextureFormat::rgba8Uint ? 255 : 65535;
    int failures = 0;
    for (std::uint32_t count = 1; count <= 1000 && failures < 10; ++count) {
        // Every half over the whole range for a few counts (those where a
        // float reciprocal puts halves just below), the low range for all.
        const bool full = count <= 16 || count == 98 || count == 196 || count == 206 ||
                          count == 214 || count == 322 || count == 374 || count == 392 ||
                          count == 394 || count == 999 || count == 1000;
        const auto values =
            sumsAroundHalves(count, c.factor, c.pivot, top, full ? top : 2400, full ? 1 : 211);
        const Sums t = texturesFor(values, c.photo);
        const auto factorBits = float(c.factor);
        if (std::string(c.kernel) == "frameAveragerNightMode") {
            // The two sums split each value; the gain is a whole number.
            Texture second = texturesFor(values, c.photo).sums;
            const std::size_t perRow = t.sums.width() * channelCount(t.sums.pixelFormat());
            for (std::size_t i = 0; i < values.size(); ++i) {
                t.sums.row<std::uint32_t>(i / perRow)[i % perRow] = values[i] / 3;
                second.row<std::uint32_t>(i / perRow)[i % perRow] = values[i] - values[i] / 3;
            }
            ASSERT_TRUE(
                runKernel(c.kernel, {t.photo, t.sums, second},
                          {{0, uintBuffer({count})}, {1, uintBuffer({std::uint32_t(c.factor)})}}));
        } else if (std::string(c.kernel) == "v2NightModeResult") {
            ASSERT_TRUE(runKernel(c.kernel, {t.photo, t.sums},
                                  {{0, uintBuffer({count})},
                                   {1, uintBuffer({c.pivot})},
                                   {4, floatBuffer(factorBits)}}));
        } else {
            ASSERT_TRUE(runKernel(c.kernel, {t.photo, t.sums},
                                  {{0, uintBuffer({count})},
                                   {1, floatBuffer(factorBits)},
                                   {2, uintBuffer({c.pivot})}}));
        }
        for (std::size_t i = 0; i < values.size() && failures < 10; ++i) {
            const std::uint32_t expected =
                exactStretched(values[i], count, double(factorBits), c.pivot, top);
            const std::uint32_t actual = photoValue(t.photo, i);
            if (actual != expected) {
                ADD_FAILURE() << c.kernel << " factor " << c.factor << " pivot " << c.pivot
                              << ": sum " << values[i] << " over " << count << " gives " << actual
                              << ", not " << expected;
                ++failures;
            }
        }
    }
}

TEST(ExactAverages, PlainAveragesRoundEveryHalfUp) {
    expectExactForAllCounts({"frameAverager", TextureFormat::r16Uint, 1.0, 0});
    expectExactForAllCounts({"frameAveragerRGB", TextureFormat::rgba8Uint, 1.0, 0});
}

TEST(ExactAverages, BoostedAveragesRoundEveryHalfUp) {
    // The star-trail boost, then factors whose halves fall on and off whole sums.
    expectExactForAllCounts({"frameAverageBooster", TextureFormat::r16Uint, 2.0, 2112});
    expectExactForAllCounts({"frameAverageBooster", TextureFormat::r16Uint, 1.5, 100});
    expectExactForAllCounts({"frameAverageBooster", TextureFormat::r16Uint, std::cbrt(2.0), 528});
    // 1 + 2^-16 takes the double path, and its value is an exact half at 32768.5.
    expectExactForAllCounts({"frameAverageBooster", TextureFormat::r16Uint, 1 + 0x1p-16, 0});
    expectExactForAllCounts({"frameAverageBooster", TextureFormat::rgba8Uint, 3.0, 16});
    expectExactForAllCounts({"frameAverageBooster", TextureFormat::rgba8Uint, std::cbrt(2.0), 16});
}

TEST(ExactAverages, NightResultsRoundEveryHalfUpForWholeAndFractionalGains) {
    for (const double gain : {1.0, 2.0, 0.5, 1.0 / std::cbrt(2.0), 16.0}) {
        expectExactForAllCounts({"v2NightModeResult", TextureFormat::r16Uint, gain, 528});
    }
}

// Runs the night result over every sum from 0 to count x 65535 (and a few
// wider ones) and compares each output with the exact value.
void expectNightResultExactForEverySum(std::uint32_t count, float gain, std::uint32_t black) {
    std::vector<std::uint32_t> values;
    for (std::uint64_t s = 0; s <= std::uint64_t(count) * 65535; ++s) {
        values.push_back(std::uint32_t(s));
    }
    for (const std::uint32_t wide :
         {1u << 24, (1u << 24) + 1, 1u << 30, (1u << 30) + 1, 0x80000000u, 0xFFFFFFFFu}) {
        values.push_back(wide);
    }
    const Sums t = texturesFor(values, TextureFormat::r16Uint);
    ASSERT_TRUE(
        runKernel("v2NightModeResult", {t.photo, t.sums},
                  {{0, uintBuffer({count})}, {1, uintBuffer({black})}, {4, floatBuffer(gain)}}));
    int failures = 0;
    for (std::size_t i = 0; i < values.size() && failures < 10; ++i) {
        const std::uint32_t expected = exactStretched(values[i], count, gain, black, 65535);
        const std::uint32_t actual = photoValue(t.photo, i);
        if (actual != expected) {
            ADD_FAILURE() << "gain " << gain << " black " << black << ": sum " << values[i]
                          << " over " << count << " gives " << actual << ", not " << expected;
            ++failures;
        }
    }
}

TEST(ExactAverages, NightResultsAtFractionalGainsAreExactForEverySum) {
    // Thirds of a stop, and 1.26, whose float puts a few small distances
    // over 7 frames within a hair of a half. An even count puts every odd sum
    // below black on a half.
    for (const std::uint32_t count : {1u, 2u, 7u}) {
        for (const float gain : {std::exp2(1.0f / 3), std::exp2(-2.0f / 3), 1.26f}) {
            expectNightResultExactForEverySum(count, gain, 528);
        }
    }
    // Black at 0, and a black level whose sum over the frames leaves no sum below it.
    expectNightResultExactForEverySum(3, std::exp2(1.0f / 3), 0);
    expectNightResultExactForEverySum(1, std::exp2(5.0f / 3), 65535);
}

TEST(ExactAverages, NightResultsOfSumsBeyondSinglePrecisionAreExact) {
    // Over 2^20 frames at +1/3 EV the mean of a sum of 2^24 or more (not
    // exact as a float) is still far below the cap.
    for (const std::uint32_t count : {1u << 20, 3000u}) {
        const std::uint32_t black = 64;
        std::vector<double> sums;
        for (const double s : {double(1u << 24), double(1u << 30), 2147483648.0, 4294967295.0}) {
            for (double d = -2; d <= 2; ++d) {
                sums.push_back(std::min(s + d, 4294967295.0));
            }
        }
        Texture photo = makeTexture(TextureFormat::r16Uint, sums.size(), 1);
        Texture sum = makeTexture(TextureFormat::r32Uint, sums.size(), 1);
        for (std::size_t i = 0; i < sums.size(); ++i) {
            setChannel(sum, 0, i, sums[i]);
        }
        const float gain = std::exp2(1.0f / 3);
        ASSERT_TRUE(runKernel(
            "v2NightModeResult", {photo, sum},
            {{0, uintBuffer({count})}, {1, uintBuffer({black})}, {4, floatBuffer(gain)}}));
        for (std::size_t i = 0; i < sums.size(); ++i) {
            const auto s = std::uint32_t(sums[i]);
            EXPECT_EQ(contents(photo)[i], exactStretched(s, count, gain, black, 65535))
                << s << " over " << count;
        }
    }
}

TEST(ExactAverages, PairAveragesRoundEveryHalfUp) {
    expectExactForAllCounts({"frameAveragerNightMode", TextureFormat::r16Uint, 1.0, 0});
    expectExactForAllCounts({"frameAveragerNightMode", TextureFormat::r16Uint, 3.0, 0});
    expectExactForAllCounts({"frameAveragerNightMode", TextureFormat::rgba8Uint, 1.0, 0});
}

TEST(ExactAverages, HalvesOfFactorsOutsideWholeArithmeticAreDecidedExactly) {
    // Factors with more than 17 significant bits or finer than 2^-16 take the
    // double path; at these sums their value is an exact half, which a
    // double-precision estimate alone can put on either side.
    struct Half {
        float factor;
        std::uint32_t count;
        std::uint32_t sum;
    };
    for (const Half h : {Half{1 + 0x1p-20f, 425, 13107200}, Half{1 + 0x1p-20f, 969, 29884416},
                         Half{3 * 0x1p-18f, 49, 6422528}, Half{3 * 0x1p-18f, 49, 109182976}}) {
        const parts::StretchedDivider divide(h.count, h.factor, 0, 65535);
        Texture photo = makeTexture(TextureFormat::r16Uint, 3, 1);
        Texture sum = makeTexture(TextureFormat::r32Uint, 3, 1,
                                  {double(h.sum) - 1, double(h.sum), double(h.sum) + 1});
        ASSERT_TRUE(runKernel("frameAverageBooster", {photo, sum},
                              {{0, uintBuffer({h.count})}, {1, floatBuffer(h.factor)}}));
        for (std::uint32_t i = 0; i < 3; ++i) {
            const std::uint32_t s = h.sum - 1 + i;
            const std::uint32_t exact = exactStretched(s, h.count, h.factor, 0, 65535);
            EXPECT_EQ(contents(photo)[i], exact) << s << " over " << h.count;
            EXPECT_EQ(divide(s), exact) << s << " over " << h.count;
        }
    }
}

TEST(ExactAverages, TheReferenceItselfRoundsHalvesUp) {
    // 96579 over 98 frames is 985.5: written 986.
    EXPECT_EQ(exactStretched(96579, 98, 1.0, 0, 65535), 986u);
    EXPECT_EQ(exactStretched(96578, 98, 1.0, 0, 65535), 985u);
    // Mean 2113.25 above the pivot 2112, doubled: 2114.5, written 2115.
    EXPECT_EQ(exactStretched(8453, 4, 2.0, 2112, 65535), 2115u);
    EXPECT_EQ(exactStretched(8452, 4, 2.0, 2112, 65535), 2114u);
    EXPECT_EQ(exactStretched(0xFFFFFFFFu, 1, 2.0, 2112, 65535), 65535u);
}

} // namespace
} // namespace qv::kernels::testing
