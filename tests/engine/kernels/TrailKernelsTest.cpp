#include "KernelTestPass.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv::kernels::testing {
namespace {

using ::testing::ElementsAre;

TEST(MaximumKernels, FoldKeepsTheMaximumBeyondTheMargin) {
    Texture maximum = makeTexture(TextureFormat::r32Uint, 3, 1, {100, 100, 100});
    Texture frame = makeTexture(TextureFormat::r16Uint, 3, 1, {99, 104, 106});
    ASSERT_TRUE(runKernel("starTrailer", {frame, maximum}, {{0, uintBuffer({5, 0, 0})}}));
    EXPECT_THAT(contents(maximum), ElementsAre(100, 100, 106));
    ASSERT_TRUE(runKernel("starTrailer", {frame, maximum}, {{0, uintBuffer({0, 0, 0})}}));
    Texture higher = makeTexture(TextureFormat::r16Uint, 3, 1, {101, 104, 106});
    ASSERT_TRUE(runKernel("starTrailer", {higher, maximum}, {{0, uintBuffer({0, 0, 0})}}));
    EXPECT_THAT(contents(maximum), ElementsAre(101, 104, 106));
}

TEST(MaximumKernels, CopyOutClampsToThePhoto) {
    Texture maximum = makeTexture(TextureFormat::rgba32Uint, 1, 1, {300, 20, 0, 255});
    Texture photo = makeTexture(TextureFormat::rgba8Uint, 1, 1, {1, 1, 1, 1});
    ASSERT_TRUE(runKernel("getMaxFrameRGB", {maximum, photo}));
    EXPECT_THAT(contents(photo), ElementsAre(255, 20, 0, 255));
    Texture rawMaximum = makeTexture(TextureFormat::r32Uint, 2, 1, {70000, 4000});
    Texture raw = makeTexture(TextureFormat::r16Uint, 2, 1);
    ASSERT_TRUE(runKernel("starTrailer2", {rawMaximum, raw}));
    EXPECT_THAT(contents(raw), ElementsAre(65535, 4000));
}

TEST(FilterKernels, MedianDropsAOneFrameLightAndKeepsASteadyStar) {
    // Column 0: a star in every frame; column 1: a plane in the third frame only.
    Texture filterA = makeTexture(TextureFormat::r32Uint, 2, 1);
    Texture filterB = makeTexture(TextureFormat::r32Uint, 2, 1);
    Texture sum = makeTexture(TextureFormat::r32Uint, 2, 1);
    ASSERT_TRUE(
        runKernel("frameCopy", {makeTexture(TextureFormat::r16Uint, 2, 1, {900, 50}), filterA}));
    ASSERT_TRUE(
        runKernel("frameCopy", {makeTexture(TextureFormat::r16Uint, 2, 1, {910, 52}), filterB}));
    EXPECT_THAT(contents(filterA), ElementsAre(900, 50));

    Texture plane = makeTexture(TextureFormat::r16Uint, 2, 1, {905, 5000});
    ASSERT_TRUE(runKernel("frameAccumulatorWithFilter", {plane, filterB, filterA, sum}));
    EXPECT_THAT(contents(sum), ElementsAre(905, 52));
    EXPECT_THAT(contents(filterA), ElementsAre(905, 5000)); // the new frame replaced the older

    Texture after = makeTexture(TextureFormat::r16Uint, 2, 1, {899, 51});
    ASSERT_TRUE(runKernel("frameAccumulatorWithFilter", {after, filterA, filterB, sum}));
    EXPECT_THAT(contents(sum), ElementsAre(905 + 905, 52 + 52));
}

TEST(NightKernels, SamplesClampToTheirColourAndFrameZeroStartsAfresh) {
    Texture sum = makeTexture(TextureFormat::r32Uint, 2, 2, {7, 7, 7, 7});
    // RGGB: R=5000, G=100, G=3000, B=4000
    Texture frame = makeTexture(TextureFormat::r16Uint, 2, 2, {5000, 100, 3000, 4000});
    ASSERT_TRUE(runKernel("v2FrameAccumulator", {frame, sum},
                          {{0, uintBuffer({0})},
                           {1, uintBuffer({528})},
                           {2, uintBuffer({528, 532, 532})},
                           {3, uintBuffer({2308, 4092, 3020})},
                           {4, uintBuffer({1, 0, 0})}}));
    EXPECT_THAT(contents(sum), ElementsAre(2308, 532, 3000, 3020));
    ASSERT_TRUE(runKernel("v2FrameAccumulator", {frame, sum},
                          {{0, uintBuffer({1})}, {2, uintBuffer({0, 0, 0})}}));
    EXPECT_THAT(contents(sum), ElementsAre(7308, 632, 6000, 7020));

    // BGGR from the pattern buffer swaps which limits apply to the corners.
    Texture bggrSum = makeTexture(TextureFormat::r32Uint, 2, 2);
    const std::uint8_t bggr[4] = {2, 1, 1, 0};
    ASSERT_TRUE(runKernel("v2FrameAccumulator", {frame, bggrSum},
                          {{0, uintBuffer({0})},
                           {3, uintBuffer({2308, 4092, 3020})},
                           {5, *Buffer::withBytes(bggr, 4)}}));
    EXPECT_THAT(contents(bggrSum), ElementsAre(3020, 100, 3000, 2308));
}

} // namespace
} // namespace qv::kernels::testing
