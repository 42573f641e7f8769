#include "MergerTestPhotos.hpp"
#include "engine/CpuAveragingMergers.hpp"
#include "engine/RawLightTrailMerger.hpp"
#include "engine/RawStreamsMerger.hpp"
#include "platform/console/Console.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using platform::ConsoleCapture;
using platform::SyntheticPhotoOptions;
using testing::bayerSamplesOf;
using ::testing::Each;
using ::testing::ElementsAre;
using testing::exposureTimeOf;
using ::testing::HasSubstr;
using testing::makeBayerPhoto;
using testing::TwoSecondCustomizer;

// One row of 4 photosites at 100 with a bright dot of 5000 at `dot`.
PhotoPtr dotAt(std::size_t dot) {
    return makeBayerPhoto(4, 2, [=](std::size_t x, std::size_t y) -> std::uint16_t {
        return x == dot && y == 0 ? 5000 : 100;
    });
}

TEST(LightTrailRawMerger, IndexOneIsTheAverageAndEveryOtherIndexTheTrail) {
    ConsoleCapture console;
    TwoSecondCustomizer customizer;
    const auto merger = MetalLightTrailRAWPhotoMerger::make(dotAt(0), true, customizer);
    ASSERT_TRUE(merger);
    merger->addPhoto(dotAt(1));
    merger->addPhoto(dotAt(2));
    EXPECT_EQ(merger->totalFrames1(), 3u);
    const auto trail = bayerSamplesOf(merger->resultData(0, 0));
    EXPECT_THAT(trail, ElementsAre(5000, 5000, 5000, 100, 100, 100, 100, 100));
    EXPECT_EQ(bayerSamplesOf(merger->resultData(2, 0)), trail);
    // (5000 + 100 + 100) / 3 = 1733.3
    EXPECT_THAT(bayerSamplesOf(merger->resultData(1, 0)),
                ElementsAre(1733, 1733, 1733, 100, 100, 100, 100, 100));
    EXPECT_THAT(console.text(), HasSubstr("Adding photo takes "));
}

TEST(LightTrailRawMerger, ResultsDoNotDependOnTheirOrder) {
    ConsoleCapture console;
    TwoSecondCustomizer customizer;
    const auto run = [&] {
        auto merger = MetalLightTrailRAWPhotoMerger::make(dotAt(0), true, customizer);
        merger->addPhoto(dotAt(3));
        return merger;
    };
    const auto first = run();
    const auto averageFirst = bayerSamplesOf(first->resultData(1, 0));
    const auto trailSecond = bayerSamplesOf(first->resultData(0, 0));
    const auto second = run();
    const auto trailFirst = bayerSamplesOf(second->resultData(0, 0));
    const auto averageSecond = bayerSamplesOf(second->resultData(1, 0));
    EXPECT_EQ(averageFirst, averageSecond);
    EXPECT_EQ(trailFirst, trailSecond);
    EXPECT_NE(averageFirst, trailFirst);
    // A result in between does not change what is merged next.
    first->addPhoto(dotAt(1));
    EXPECT_THAT(bayerSamplesOf(first->resultData(0, 0)),
                ElementsAre(5000, 5000, 100, 5000, 100, 100, 100, 100));
}

TEST(LightTrailRawMerger, UncountedFirstPhotoLeavesBothTexturesEmpty) {
    ConsoleCapture console;
    TwoSecondCustomizer customizer;
    const auto merger = MetalLightTrailRAWPhotoMerger::make(dotAt(0), false, customizer);
    EXPECT_EQ(merger->totalFrames1(), 0u);
    merger->addPhoto(dotAt(2));
    EXPECT_THAT(bayerSamplesOf(merger->resultData(0, 0)),
                ElementsAre(100, 100, 5000, 100, 100, 100, 100, 100));
}

TEST(LightTrailRawMerger, KeepsItsLatestPhotoWhenTheCallerLetsGo) {
    ConsoleCapture console;
    TwoSecondCustomizer customizer;
    std::unique_ptr<MetalLightTrailRAWPhotoMerger> merger;
    {
        auto batch = std::vector{dotAt(0), dotAt(1)};
        merger = MetalLightTrailRAWPhotoMerger::make(batch[0], true, customizer);
        merger->addPhoto(batch[1]);
    }
    EXPECT_TRUE(merger->resultData(0, 0));
    EXPECT_TRUE(merger->resultData(1, 0));
}

PhotoPtr bracketPhoto(int stream, std::uint16_t level) {
    SyntheticPhotoOptions options;
    options.sequenceCount = stream;
    options.exposureSeconds = stream == 1 ? 0.01 : 0.04;
    options.resolvedSettings = {7, 2};
    return makeBayerPhoto(
        4, 2, [=](std::size_t, std::size_t) { return level; }, options);
}

TEST(DualRawMerger, KeepsTheTwoStreamsApart) {
    ConsoleCapture console;
    std::unique_ptr<MetalDualRAWPhotoMerger> merger;
    {
        // The capture loop's batches are gone by the time the results are asked.
        merger = MetalDualRAWPhotoMerger::make(bracketPhoto(1, 100), true);
        ASSERT_TRUE(merger);
        merger->addPhoto(bracketPhoto(2, 1000));
        for (int i = 0; i < 9; ++i) {
            merger->addPhoto(bracketPhoto(1, 100));
            merger->addPhoto(bracketPhoto(2, 1000));
        }
    }
    EXPECT_EQ(merger->totalFrames1(), 10u);
    EXPECT_EQ(merger->totalFrames2(), 10u);
    const auto second = merger->resultData(2, 0);
    const auto first = merger->resultData(1, 0);
    EXPECT_THAT(bayerSamplesOf(second), Each(1000));
    EXPECT_THAT(bayerSamplesOf(first), Each(100));
    // Each result keeps its own photo's exposure time.
    EXPECT_EQ(exposureTimeOf(*first), 0.01);
    EXPECT_EQ(exposureTimeOf(*second), 0.04);
    EXPECT_FALSE(merger->resultData(0, 0));
    EXPECT_FALSE(merger->resultData(3, 0));
    EXPECT_THAT(console.text(), HasSubstr("Dual RAW merger init took "));
}

TEST(DualRawMerger, RefusesPhotosOutsideItsTwoStreams) {
    ConsoleCapture console;
    const auto merger = MetalDualRAWPhotoMerger::make(bracketPhoto(2, 1000), true);
    EXPECT_EQ(merger->totalFrames1(), 0u); // the second exposure counts in stream 2
    EXPECT_EQ(merger->totalFrames2(), 1u);
    EXPECT_FALSE(merger->resultData(1, 0));
    const std::string before = console.text();
    merger->addPhoto(bracketPhoto(3, 50));
    merger->addPhoto(bracketPhoto(0, 50));
    EXPECT_EQ(console.text().substr(before.size()), "Metal Problem\nMetal Problem\n");
    merger->addPhoto(makeBayerPhoto(
        2, 4, [](std::size_t, std::size_t) { return 0; },
        [] {
            SyntheticPhotoOptions options;
            options.sequenceCount = 1;
            return options;
        }()));
    EXPECT_EQ(merger->totalFrames1(), 0u);
    EXPECT_EQ(merger->totalFrames2(), 1u);
}

TEST(DualRawMerger, UncountedFirstPhotoLeavesBothStreamsEmpty) {
    ConsoleCapture console;
    const auto merger = MetalDualRAWPhotoMerger::make(bracketPhoto(1, 100), false);
    EXPECT_EQ(merger->totalFrames1(), 0u);
    EXPECT_EQ(merger->totalFrames2(), 0u);
    // A result over no frames leaves the kept photo as it was.
    EXPECT_THAT(bayerSamplesOf(merger->resultData(1, 0)), Each(100));
    merger->addPhoto(bracketPhoto(1, 300));
    EXPECT_THAT(bayerSamplesOf(merger->resultData(1, 0)), Each(300));
}

TEST(TripleRawMerger, AveragesThreeStreams) {
    ConsoleCapture console;
    const auto merger = MetalTripleRAWPhotoMerger::make(bracketPhoto(1, 100));
    merger->addPhoto(bracketPhoto(2, 200));
    merger->addPhoto(bracketPhoto(3, 300));
    merger->addPhoto(bracketPhoto(3, 500));
    EXPECT_THAT(bayerSamplesOf(merger->resultData(1, 0)), Each(100));
    EXPECT_THAT(bayerSamplesOf(merger->resultData(2, 0)), Each(200));
    EXPECT_THAT(bayerSamplesOf(merger->resultData(3, 0)), Each(400));
    EXPECT_FALSE(merger->resultData(4, 0));
}

} // namespace
} // namespace qv

namespace qv {
namespace {

TEST(CpuAveragingMergers, AverageBracketStreamsAndSixteenBitRgba) {
    const auto dual = DualRAWPhotoMerger::make(bracketPhoto(1, 100));
    dual->addPhoto(bracketPhoto(2, 1000));
    dual->addPhoto(bracketPhoto(1, 202));
    dual->addPhoto(bracketPhoto(3, 7));
    EXPECT_EQ(dual->totalFrames1(), 2u);
    EXPECT_EQ(dual->totalFrames2(), 1u);
    EXPECT_THAT(bayerSamplesOf(dual->resultData(1, 0)), Each(151));
    EXPECT_THAT(bayerSamplesOf(dual->resultData(2, 0)), Each(1000));
    EXPECT_FALSE(dual->resultData(0, 0));

    TwoSecondCustomizer customizer;
    const auto rgba = [](std::uint16_t level) {
        return testing::makePhoto(platform::pixelformat::rgba64LE, 2, 2,
                                  [=](std::size_t, std::size_t, std::size_t c) {
                                      return std::uint16_t(c == 3 ? 65535 : level);
                                  });
    };
    const auto pro = ProRAWPhotoMerger::make(rgba(1000), customizer);
    pro->addPhoto(rgba(3000));
    pro->addPhoto(testing::makePhoto(platform::pixelformat::rgba64LE, 3, 2,
                                     [](std::size_t, std::size_t, std::size_t) { return 0; }));
    EXPECT_EQ(pro->totalFrames1(), 2u);
    const auto data = pro->resultData(5, 0);
    ASSERT_TRUE(data);
    EXPECT_EQ(testing::channelsOf(*data, platform::pixelformat::rgba64LE)[0], 2000);
    EXPECT_EQ(exposureTimeOf(*data), 2.0);
}

} // namespace
} // namespace qv
