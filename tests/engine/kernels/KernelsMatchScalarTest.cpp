// Every merge kernel on random frames sprinkled with edge values, against a
// plain scalar version of its arithmetic. The widths are odd and not a
// multiple of any vector, so the tails of the row loops are covered too.
#include "ExactArithmetic.hpp"
#include "KernelTestPass.hpp"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace qv::kernels::testing {
namespace {

constexpr double maxSum = 4294967295.0;
constexpr std::size_t width = 131;
constexpr std::size_t height = 9;

// A texture with random channels from `low` to `high`, one in eight replaced
// by one of `edges`.
Texture randomTexture(TextureFormat format, double low, double high,
                      const std::vector<double>& edges, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(low, high);
    std::uniform_int_distribution<std::size_t> pick(0, edges.size() * 8);
    const bool whole = format != TextureFormat::rgba32Float;
    const Texture texture = makeTexture(format, width, height);
    const std::size_t perRow = width * channelCount(format);
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t i = 0; i < perRow; ++i) {
            const std::size_t p = pick(random);
            double v = p < edges.size() ? edges[p] : value(random);
            v = whole ? std::floor(v) : v;
            setChannel(texture, y, i, v);
        }
    }
    return texture;
}

Texture bayerFrame(unsigned seed) {
    return randomTexture(TextureFormat::r16Uint, 0, 16383,
                         {0, 1, 527, 528, 529, 2112, 16383, 65535}, seed);
}
Texture colourFrame(unsigned seed) {
    return randomTexture(TextureFormat::rgba8Uint, 0, 255, {0, 1, 254, 255}, seed);
}
Texture sums(TextureFormat format, double high, unsigned seed) {
    return randomTexture(format, 0, high, {0, 1, maxSum - 65535, maxSum - 1, maxSum}, seed);
}

// Channel i's colour in an RGGB mosaic (0 red, 1 green, 2 blue).
int rggb(std::size_t i) {
    const std::size_t x = i % width, y = i / width;
    return (y & 1) + (x & 1);
}

double saturated(double v) {
    return std::min(v, maxSum);
}

TEST(KernelsMatchScalar, SumsAndLightTrailsSaturateChannelByChannel) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        for (const bool colour : {false, true}) {
            const Texture frame = colour ? colourFrame(seed) : bayerFrame(seed);
            const auto wide = colour ? TextureFormat::rgba32Uint : TextureFormat::r32Uint;
            const Texture sum = sums(wide, maxSum, seed + 10);
            const Texture maximum = sums(wide, 70000, seed + 20);
            const auto in = contents(frame), before = contents(sum), top = contents(maximum);
            ASSERT_TRUE(
                runKernel(colour ? "lightTrailerRGB" : "lightTrailer", {frame, sum, maximum}));
            const auto after = contents(sum), highest = contents(maximum);
            for (std::size_t i = 0; i < in.size(); ++i) {
                ASSERT_EQ(after[i], saturated(before[i] + in[i])) << i;
                ASSERT_EQ(highest[i], std::max(top[i], in[i])) << i;
            }
            ASSERT_TRUE(runKernel("frameAccumulator", {frame, sum}));
            const auto twice = contents(sum);
            for (std::size_t i = 0; i < in.size(); ++i) {
                ASSERT_EQ(twice[i], saturated(after[i] + in[i])) << i;
            }
        }
    }
}

TEST(KernelsMatchScalar, AveragesDivideExactlyForAnyCount) {
    for (const std::uint32_t count :
         {1u, 2u, 7u, 98u, 1000u, 65535u, 65536u, 16843009u, (1u << 30) + 5}) {
        for (const bool colour : {false, true}) {
            const auto photoFormat = colour ? TextureFormat::rgba8Uint : TextureFormat::r16Uint;
            const double top = colour ? 255 : 65535;
            const Texture sum = sums(colour ? TextureFormat::rgba32Uint : TextureFormat::r32Uint,
                                     std::min(maxSum, double(count) * (top + 2)), count);
            const Texture photo = randomTexture(photoFormat, 0, top, {}, 1);
            ASSERT_TRUE(runKernel(colour ? "frameAveragerRGB" : "frameAverager", {photo, sum},
                                  {{0, uintBuffer({count})}}));
            const auto in = contents(sum), out = contents(photo);
            for (std::size_t i = 0; i < in.size(); ++i) {
                const double exact = std::floor((in[i] + count / 2) / count);
                ASSERT_EQ(out[i], std::min(top, exact)) << in[i] << " / " << count;
            }
        }
    }
}

TEST(KernelsMatchScalar, BoostedAveragesMatchExactArithmetic) {
    struct Boost {
        std::uint32_t count;
        float factor;
        std::uint32_t pivot;
    };
    for (const Boost b : {Boost{1, 2.0f, 2112}, Boost{3, 2.0f, 2112}, Boost{98, 2.0f, 2112},
                          Boost{5, 1.2599211f, 528}, Boost{4, 0.5f, 100}, Boost{70000, 2.0f, 2112},
                          Boost{(1u << 30) + 5, 2.0f, 2112}}) {
        const Texture sum =
            sums(TextureFormat::r32Uint, std::min(maxSum, b.count * 40000.0), b.count);
        const Texture photo = bayerFrame(2);
        ASSERT_TRUE(runKernel(
            "frameAverageBooster", {photo, sum},
            {{0, uintBuffer({b.count})}, {1, floatBuffer(b.factor)}, {2, uintBuffer({b.pivot})}}));
        const auto in = contents(sum), out = contents(photo);
        for (std::size_t i = 0; i < in.size(); ++i) {
            ASSERT_EQ(out[i],
                      exactStretched(std::uint64_t(in[i]), b.count, b.factor, b.pivot, 65535))
                << in[i] << " over " << b.count << ", factor " << b.factor;
        }
    }
}

TEST(KernelsMatchScalar, NightSumsAndResultsFollowTheColoursOfTheMosaic) {
    const std::uint32_t lower[3] = {528, 532, 530};
    const std::uint32_t upper[3] = {2308, 4092, 3020};
    const std::uint32_t black = 528;
    for (const std::uint32_t frameNumber : {0u, 5u}) {
        const Texture frame = bayerFrame(frameNumber + 1);
        const Texture sum = sums(TextureFormat::r32Uint, maxSum, frameNumber + 2);
        const auto in = contents(frame), before = contents(sum);
        ASSERT_TRUE(runKernel("v2FrameAccumulator", {frame, sum},
                              {{0, uintBuffer({frameNumber})},
                               {1, uintBuffer({black})},
                               {2, uintBuffer({lower[0], lower[1], lower[2]})},
                               {3, uintBuffer({upper[0], upper[1], upper[2]})}}));
        const auto after = contents(sum);
        for (std::size_t i = 0; i < in.size(); ++i) {
            const double clamped = std::clamp<double>(in[i], lower[rggb(i)], upper[rggb(i)]);
            ASSERT_EQ(after[i], frameNumber == 0 ? clamped : saturated(before[i] + clamped)) << i;
        }
    }
    for (const float gain : {1.0f, 2.0f, 0.5f, 1.2599211f, 0.7937005f}) {
        for (const std::uint32_t count : {1u, 6u, 98u}) {
            const Texture sum = sums(TextureFormat::r32Uint, count * 6000.0, count);
            const Texture photo = bayerFrame(3);
            ASSERT_TRUE(runKernel("v2NightModeResult", {photo, sum},
                                  {{0, uintBuffer({count})},
                                   {1, uintBuffer({black})},
                                   {3, uintBuffer({upper[0], upper[1], upper[2]})},
                                   {4, floatBuffer(gain)}}));
            const auto in = contents(sum), out = contents(photo);
            for (std::size_t i = 0; i < in.size(); ++i) {
                const std::uint32_t exact =
                    exactStretched(std::uint64_t(in[i]), count, gain, black, 65535);
                ASSERT_EQ(out[i], std::min(exact, upper[rggb(i)]))
                    << in[i] << " over " << count << ", gain " << gain;
            }
        }
    }
}

TEST(KernelsMatchScalar, PairAveragesTakeTheWholeSumOfBoth) {
    for (const std::uint32_t gain : {1u, 3u}) {
        for (const std::uint32_t count : {2u, 9u, 1000u, 200000u}) {
            const Texture first = sums(TextureFormat::r32Uint, maxSum, count);
            const Texture second = sums(TextureFormat::r32Uint, maxSum, count + 1);
            const Texture photo = bayerFrame(4);
            ASSERT_TRUE(runKernel("frameAveragerNightMode", {photo, first, second},
                                  {{0, uintBuffer({count})}, {1, uintBuffer({gain})}}));
            const auto a = contents(first), b = contents(second), out = contents(photo);
            for (std::size_t i = 0; i < a.size(); ++i) {
                const auto both = std::uint64_t(a[i]) + std::uint64_t(b[i]);
                ASSERT_EQ(out[i], exactStretched(both, count, gain, 0, 65535))
                    << a[i] << " + " << b[i] << " over " << count << ", gain " << gain;
            }
        }
    }
}

TEST(KernelsMatchScalar, FilterCopyAndMedianSum) {
    const Texture frame = bayerFrame(5);
    const Texture newer = sums(TextureFormat::r32Uint, 16383, 6);
    const Texture older = sums(TextureFormat::r32Uint, 16383, 7);
    const Texture sum = sums(TextureFormat::r32Uint, maxSum, 8);
    const auto v = contents(frame), b = contents(newer), c = contents(older), s = contents(sum);
    ASSERT_TRUE(runKernel("frameAccumulatorWithFilter", {frame, newer, older, sum}));
    const auto total = contents(sum), replaced = contents(older);
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double median = std::max(std::min(v[i], b[i]), std::min(std::max(v[i], b[i]), c[i]));
        ASSERT_EQ(total[i], saturated(s[i] + median)) << i;
        ASSERT_EQ(replaced[i], v[i]) << i;
    }
    const Texture copy = sums(TextureFormat::r32Uint, maxSum, 9);
    ASSERT_TRUE(runKernel("frameCopy", {frame, copy}));
    EXPECT_EQ(contents(copy), v);
}

TEST(KernelsMatchScalar, MaximumFoldsKeepTheMarginWithoutOverflow) {
    for (const std::uint32_t margin : {0u, 5u, 0xFFFFFFF0u}) {
        for (const bool colour : {false, true}) {
            const Texture frame = colour ? colourFrame(margin % 7) : bayerFrame(margin % 7);
            const Texture maximum =
                sums(colour ? TextureFormat::rgba32Uint : TextureFormat::r32Uint,
                     colour ? 300 : 20000, margin % 11);
            const auto in = contents(frame), before = contents(maximum);
            ASSERT_TRUE(
                runKernel("starTrailer", {frame, maximum}, {{0, uintBuffer({margin, 0, 0})}}));
            const auto after = contents(maximum);
            for (std::size_t i = 0; i < in.size(); ++i) {
                ASSERT_EQ(after[i], in[i] > before[i] + margin ? in[i] : before[i])
                    << in[i] << " against " << before[i] << " + " << margin;
            }
            const Texture photo = colour ? colourFrame(1) : bayerFrame(1);
            ASSERT_TRUE(runKernel(colour ? "getMaxFrameRGB" : "getMaxFrame", {maximum, photo}));
            const auto out = contents(photo);
            for (std::size_t i = 0; i < in.size(); ++i) {
                ASSERT_EQ(out[i], std::min(after[i], colour ? 255.0 : 65535.0)) << i;
            }
        }
    }
}

TEST(KernelsMatchScalar, FloatSumsAndTheirAverageMatchTheSameFloatSteps) {
    const Texture frame = randomTexture(TextureFormat::rgba16Unorm, 0, 65535, {0, 65535}, 11);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Texture sum = randomTexture(TextureFormat::rgba32Float, -1, 12,
                                      {nan, INFINITY, -INFINITY, 0, 6.99999, 7.0, 7.00001}, 12);
    const auto in = contents(frame), before = contents(sum);
    ASSERT_TRUE(runKernel("proFrameAccumulator", {frame, sum}));
    const auto after = contents(sum);
    for (std::size_t i = 0; i < in.size(); ++i) {
        const float expected = float(before[i]) + float(in[i]) * (1.0f / 65535.0f);
        if (std::isnan(expected)) {
            ASSERT_TRUE(std::isnan(after[i])) << i;
        } else {
            ASSERT_EQ(after[i], double(expected)) << i;
        }
    }
    const Texture photo = randomTexture(TextureFormat::rgba16Unorm, 0, 65535, {}, 13);
    ASSERT_TRUE(runKernel("proFrameAverager", {photo, sum}, {{0, uintBuffer({7})}}));
    const auto out = contents(photo);
    const float scale = 65535.0f / 7.0f;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float v = float(after[i]) * scale + 0.5f;
        const double expected = std::isnan(v) ? 0 : std::floor(std::clamp(v, 0.0f, 65535.0f));
        ASSERT_EQ(out[i], expected) << after[i];
    }
}

} // namespace
} // namespace qv::kernels::testing
