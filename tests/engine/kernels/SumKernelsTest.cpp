#include "KernelTestPass.hpp"
#include "engine/kernels/MergeKernels.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv::kernels::testing {
namespace {

using ::testing::DoubleNear;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Eq;

TEST(MergeKernels, EveryNameResolvesToAPipeline) {
    registerMergeKernels();
    auto device = platform::compute::Device::systemDefault();
    auto library = device->makeDefaultLibrary();
    const char* const names[] = {
        "frameAccumulator",
        "frameAverager",
        "frameAveragerRGB",
        "resetAccumulator",
        "starTrailer",
        "getMaxFrame",
        "getMaxFrameRGB",
        "starTrailer2",
        "lightTrailerRGB",
        "lightTrailer",
        "proFrameAccumulator",
        "proFrameAverager",
        "proResetAccumulator",
        "v2FrameAccumulator",
        "v2NightModeResult",
        "frameCopy",
        "frameAccumulatorWithFilter",
        "frameAverageBooster",
        "frameAveragerNightMode",
        "proOneValue",
    };
    for (const char* name : names) {
        auto function = library->makeFunction(name);
        ASSERT_TRUE(function) << name;
        std::string error;
        EXPECT_TRUE(device->makeComputePipelineState(*function, error)) << name;
    }
}

TEST(SumKernels, AccumulateBayerAndColourFramesChannelByChannel) {
    Texture bayer = makeTexture(TextureFormat::r16Uint, 2, 1, {65535, 7});
    Texture bayerSum = makeTexture(TextureFormat::r32Uint, 2, 1, {10, 20});
    ASSERT_TRUE(runKernel("frameAccumulator", {bayer, bayerSum}));
    EXPECT_THAT(contents(bayerSum), ElementsAre(65545, 27));

    Texture colour = makeTexture(TextureFormat::rgba8Uint, 1, 1, {1, 2, 3, 255});
    Texture colourSum = makeTexture(TextureFormat::rgba32Uint, 1, 1);
    ASSERT_TRUE(runKernel("frameAccumulator", {colour, colourSum}));
    ASSERT_TRUE(runKernel("frameAccumulator", {colour, colourSum}));
    EXPECT_THAT(contents(colourSum), ElementsAre(2, 4, 6, 510));
}

TEST(SumKernels, SumsSaturateInsteadOfWrapping) {
    Texture frame = makeTexture(TextureFormat::r16Uint, 2, 1, {100, 100});
    Texture sum = makeTexture(TextureFormat::r32Uint, 2, 1, {4294967290.0, 4294967195.0});
    ASSERT_TRUE(runKernel("frameAccumulator", {frame, sum}));
    EXPECT_THAT(contents(sum), ElementsAre(4294967295.0, 4294967295.0));

    Texture maximum = makeTexture(TextureFormat::r32Uint, 2, 1);
    ASSERT_TRUE(runKernel("lightTrailer", {frame, sum, maximum}));
    EXPECT_THAT(contents(sum), Each(Eq(4294967295.0)));
}

TEST(SumKernels, LightTrailKeepsSumAndMaximumInOnePass) {
    Texture sum = makeTexture(TextureFormat::rgba32Uint, 1, 1);
    Texture maximum = makeTexture(TextureFormat::rgba32Uint, 1, 1);
    for (const double level : {10.0, 200.0, 30.0}) {
        Texture frame = makeTexture(TextureFormat::rgba8Uint, 1, 1, {level, 255 - level, 5, 255});
        ASSERT_TRUE(runKernel("lightTrailerRGB", {frame, sum, maximum}));
    }
    EXPECT_THAT(contents(sum), ElementsAre(240, 525, 15, 765));
    EXPECT_THAT(contents(maximum), ElementsAre(200, 245, 5, 255));
}

TEST(SumKernels, ResetClearsEveryFormat) {
    for (const auto format : {TextureFormat::r32Uint, TextureFormat::rgba32Uint,
                              TextureFormat::rgba32Float, TextureFormat::rgba16Float}) {
        Texture t = makeTexture(format, 3, 2, {1, 2, 3, 4, 5, 6});
        ASSERT_TRUE(runKernel("resetAccumulator", {t}));
        EXPECT_THAT(contents(t), Each(Eq(0.0))) << formatName(format);
    }
}

TEST(SumKernels, RefuseTexturesOfTheWrongKind) {
    std::string why;
    Texture frame = makeTexture(TextureFormat::r16Uint, 2, 2);
    Texture colourSum = makeTexture(TextureFormat::rgba32Uint, 2, 2);
    EXPECT_FALSE(runKernel("frameAccumulator", {frame, colourSum}, {}, &why));
    EXPECT_THAT(why, ::testing::HasSubstr("channels"));
    Texture narrowSum = makeTexture(TextureFormat::r16Uint, 2, 2);
    EXPECT_FALSE(runKernel("frameAccumulator", {frame, narrowSum}));
    EXPECT_FALSE(runKernel("frameAccumulator", {frame}));
}

TEST(ProRawKernels, FloatSumsKeepTheMeanOfALongRun) {
    // 0.2 of full scale over 3000 frames; half-float sums stop growing long before.
    Texture frame = makeTexture(TextureFormat::rgba16Unorm, 1, 1, {13107, 13107, 13107, 65535});
    Texture floatSum = makeTexture(TextureFormat::rgba32Float, 1, 1);
    Texture halfSum = makeTexture(TextureFormat::rgba16Float, 1, 1);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_TRUE(runKernel("proFrameAccumulator", {frame, floatSum}));
        ASSERT_TRUE(runKernel("proFrameAccumulator", {frame, halfSum}));
    }
    Texture out = makeTexture(TextureFormat::rgba16Unorm, 1, 1);
    ASSERT_TRUE(runKernel("proFrameAverager", {out, floatSum}, {{0, uintBuffer({3000})}}));
    EXPECT_THAT(contents(out), ElementsAre(DoubleNear(13107, 1), DoubleNear(13107, 1),
                                           DoubleNear(13107, 1), DoubleNear(65535, 1)));
    ASSERT_TRUE(runKernel("proFrameAverager", {out, halfSum}, {{0, uintBuffer({3000})}}));
    EXPECT_LT(contents(out)[0], 12000);
}

} // namespace
} // namespace qv::kernels::testing
