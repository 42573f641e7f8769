#include "KernelTestPass.hpp"
#include "engine/kernels/RoundedDivider.hpp"

#include <algorithm>
#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace qv::kernels::testing {
namespace {

using ::testing::ElementsAre;

TEST(AverageKernels, RoundToNearestWithHalvesUp) {
    Texture out = makeTexture(TextureFormat::r16Uint, 6, 1);
    Texture sum = makeTexture(TextureFormat::r32Uint, 6, 1, {0, 1, 2, 3, 4, 5});
    ASSERT_TRUE(runKernel("frameAverager", {out, sum}, {{0, uintBuffer({2})}}));
    EXPECT_THAT(contents(out), ElementsAre(0, 1, 1, 2, 2, 3));
    ASSERT_TRUE(runKernel("frameAverager", {out, sum}, {{0, uintBuffer({3})}}));
    EXPECT_THAT(contents(out), ElementsAre(0, 0, 1, 1, 1, 2));
}

TEST(AverageKernels, ClampToThePhotoFormat) {
    Texture colour = makeTexture(TextureFormat::rgba8Uint, 1, 1);
    Texture colourSum = makeTexture(TextureFormat::rgba32Uint, 1, 1, {1000, 255, 4294967295.0, 0});
    ASSERT_TRUE(runKernel("frameAveragerRGB", {colour, colourSum}, {{0, uintBuffer({1})}}));
    EXPECT_THAT(contents(colour), ElementsAre(255, 255, 255, 0));

    Texture bayer = makeTexture(TextureFormat::r16Uint, 1, 1);
    Texture bayerSum = makeTexture(TextureFormat::r32Uint, 1, 1, {4294967295.0});
    ASSERT_TRUE(runKernel("frameAverager", {bayer, bayerSum}, {{0, uintBuffer({65537})}}));
    EXPECT_THAT(contents(bayer), ElementsAre(65535));
}

TEST(AverageKernels, FloatSumsThatAreNotNumbersOrOutOfRangeClampIntoThePhoto) {
    // A NaN in a ProRAW sum (a corrupt half-float frame) must give 0, not an
    // undefined conversion; infinities clamp to the ends.
    Texture photo = makeTexture(TextureFormat::rgba16Unorm, 1, 1);
    Texture sum =
        makeTexture(TextureFormat::rgba32Float, 1, 1, {std::nan(""), -INFINITY, INFINITY, 0.5});
    ASSERT_TRUE(runKernel("proFrameAverager", {photo, sum}, {{0, uintBuffer({1})}}));
    EXPECT_THAT(contents(photo), ElementsAre(0, 0, 65535, 32768));
}

TEST(AverageKernels, ACountOfZeroLeavesThePhotoUntouched) {
    Texture out = makeTexture(TextureFormat::rgba8Uint, 1, 1, {9, 8, 7, 6});
    Texture sum = makeTexture(TextureFormat::rgba32Uint, 1, 1, {100, 100, 100, 100});
    ASSERT_TRUE(runKernel("frameAveragerRGB", {out, sum}, {{0, uintBuffer({0})}}));
    EXPECT_THAT(contents(out), ElementsAre(9, 8, 7, 6));

    Texture raw = makeTexture(TextureFormat::r16Uint, 1, 1, {1234});
    Texture rawSum = makeTexture(TextureFormat::r32Uint, 1, 1, {99});
    ASSERT_TRUE(runKernel("frameAverageBooster", {raw, rawSum}, {{0, uintBuffer({0})}}));
    ASSERT_TRUE(runKernel("v2NightModeResult", {raw, rawSum}, {{0, uintBuffer({0})}}));
    EXPECT_THAT(contents(raw), ElementsAre(1234));

    std::string why;
    EXPECT_FALSE(runKernel("frameAverager", {raw, rawSum}, {}, &why)); // no count at all
}

TEST(AverageKernels, DividerMatchesIntegerRoundingEverywhere) {
    std::mt19937 random(5);
    std::uniform_int_distribution<std::uint32_t> anySum;
    for (std::uint32_t top : {255u, 65535u}) {
        for (std::uint32_t count : {1u, 2u, 3u, 7u, 255u, 1000u, 65535u, 65536u, 65537u, 16843009u,
                                    (1u << 30) - 1, 1u << 30, 4000000000u}) {
            const parts::RoundedDivider divide(count, top);
            const auto expect = [&](std::uint64_t sum) {
                if (sum > 0xFFFFFFFFu) {
                    return;
                }
                const std::uint64_t exact = (sum + count / 2) / count;
                ASSERT_EQ(divide(std::uint32_t(sum)), std::min<std::uint64_t>(exact, top))
                    << sum << " / " << count << " up to " << top;
            };
            // Around every rounding step up to the top, then anywhere.
            for (std::uint64_t k = 0; k <= top + 2; ++k) {
                const std::uint64_t step = k * count + count / 2;
                for (std::uint64_t sum : {step - (step > 0), step, step + 1}) {
                    expect(sum);
                }
            }
            for (int i = 0; i < 20000; ++i) {
                expect(anySum(random));
            }
            expect(0xFFFFFFFFu);

            // The row form gives the same values.
            std::vector<std::uint32_t> sums(64);
            std::generate(sums.begin(), sums.end(), [&] {
                return std::uint32_t(anySum(random) % (std::uint64_t(count) * 300 + 1));
            });
            std::vector<std::uint8_t> out(sums.size());
            divide.apply(sums.data(), out.data(), sums.size());
            for (std::size_t i = 0; i < sums.size(); ++i) {
                ASSERT_EQ(out[i], std::uint8_t(divide(sums[i])));
            }
        }
    }
}

TEST(AverageKernels, BoosterStretchesAboveThePivotOnly) {
    Texture out = makeTexture(TextureFormat::r16Uint, 3, 1);
    Texture sum = makeTexture(TextureFormat::r32Uint, 3, 1, {2000, 6224, 60000});
    ASSERT_TRUE(runKernel("frameAverageBooster", {out, sum},
                          {{0, uintBuffer({2})}, {1, floatBuffer(2.0f)}, {2, uintBuffer({2112})}}));
    // means 1000, 3112, 30000
    EXPECT_THAT(contents(out), ElementsAre(1000, 4112, 57888));

    // Means 2112.75, 1000.5 and 1000.25 round to nearest, halves up, on either side.
    Texture fractions = makeTexture(TextureFormat::r32Uint, 3, 1, {8451, 4002, 4001});
    ASSERT_TRUE(runKernel("frameAverageBooster", {out, fractions},
                          {{0, uintBuffer({4})}, {1, floatBuffer(2.0f)}, {2, uintBuffer({2112})}}));
    EXPECT_THAT(contents(out), ElementsAre(2114, 1001, 1000));
}

TEST(AverageKernels, PairAverageTakesTheMeanOfBothSumsWithoutOverflow) {
    Texture out = makeTexture(TextureFormat::r16Uint, 3, 1, {7, 7, 7});
    Texture first = makeTexture(TextureFormat::r32Uint, 3, 1, {100, 4294967295.0, 3});
    Texture second = makeTexture(TextureFormat::r32Uint, 3, 1, {301, 4294967295.0, 0});
    ASSERT_TRUE(runKernel("frameAveragerNightMode", {out, first, second},
                          {{0, uintBuffer({2})}, {1, uintBuffer({1})}}));
    EXPECT_THAT(contents(out), ElementsAre(201, 65535, 2));
    ASSERT_TRUE(runKernel("frameAveragerNightMode", {out, first, second},
                          {{0, uintBuffer({4})}, {1, uintBuffer({3})}}));
    EXPECT_THAT(contents(out), ElementsAre(301, 65535, 2));
    // No frames: the photo stays.
    ASSERT_TRUE(runKernel("frameAveragerNightMode", {out, first, second}, {{0, uintBuffer({0})}}));
    EXPECT_THAT(contents(out), ElementsAre(301, 65535, 2));
    std::string why;
    EXPECT_FALSE(runKernel("frameAveragerNightMode", {out, first}, {{0, uintBuffer({1})}}, &why));
}

TEST(AverageKernels, NightResultAppliesGainAboveBlackAndCapsEachColour) {
    // RGGB: row 0 is red, green; row 1 green, blue.
    Texture out = makeTexture(TextureFormat::r16Uint, 2, 2);
    Texture sum = makeTexture(TextureFormat::r32Uint, 2, 2, {1528, 1528, 400, 6000});
    ASSERT_TRUE(runKernel("v2NightModeResult", {out, sum},
                          {{0, uintBuffer({1})},
                           {1, uintBuffer({528})},
                           {2, uintBuffer({0, 0, 0})},
                           {3, uintBuffer({2308, 4092, 3020})},
                           {4, floatBuffer(2.0f)}}));
    EXPECT_THAT(contents(out), ElementsAre(2308, 2528, 400, 3020));

    ASSERT_TRUE(runKernel("v2NightModeResult", {out, sum},
                          {{0, uintBuffer({2})}, {1, uintBuffer({528})}, {4, floatBuffer(0.5f)}}));
    EXPECT_THAT(contents(out), ElementsAre(646, 646, 200, 1764));

    // Rounded to nearest: 528 + 0.5 x (1529.5 - 528) = 1028.75 above black, the
    // mean 500.5 itself below it.
    Texture fractions = makeTexture(TextureFormat::r32Uint, 2, 2, {3059, 1001, 0, 0});
    ASSERT_TRUE(runKernel("v2NightModeResult", {out, fractions},
                          {{0, uintBuffer({2})}, {1, uintBuffer({528})}, {4, floatBuffer(0.5f)}}));
    EXPECT_THAT(contents(out), ElementsAre(1029, 501, 0, 0));
}

} // namespace
} // namespace qv::kernels::testing
