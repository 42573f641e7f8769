#include "MergerTestPhotos.hpp"
#include "engine/RawStarTrailStreamsMerger.hpp"
#include "platform/console/Console.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

namespace qv {
namespace {

using platform::ConsoleCapture;
using platform::SyntheticPhotoOptions;
using testing::bayerSamplesOf;
using ::testing::Each;
using ::testing::ElementsAre;
using testing::exposureTimeOf;
using testing::makeBayerPhoto;

// One exposure of a bracket: 4 x 2 photosites at `level`, with lights at
// some photosites (index y * 4 + x).
PhotoPtr exposure(int stream, std::uint16_t level, std::map<std::size_t, std::uint16_t> lights = {},
                  std::size_t width = 4) {
    SyntheticPhotoOptions options;
    options.sequenceCount = stream;
    options.exposureSeconds = stream == 1 ? 0.01 : 0.04;
    return makeBayerPhoto(
        width, 2,
        [=](std::size_t x, std::size_t y) {
            const auto light = lights.find(y * width + x);
            return light == lights.end() ? level : light->second;
        },
        options);
}

using Merger = MetalStarTrailsRAWPhotoMerger;

TEST(StarTrailBracketRawMerger, EachGroupIsTheMeanOfItsOwnFramesAndTheResultIsTheirMaximum) {
    ConsoleCapture console;
    const auto merger = Merger::make(exposure(1, 1000, {{1, 3000}}), 2);
    ASSERT_TRUE(merger);
    // First group: a star at photosite 1 in both exposures.
    merger->addPhoto(exposure(2, 1000, {{1, 3000}}));
    merger->addPhoto(exposure(1, 1000, {{1, 3000}}));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 0u);
    merger->addPhoto(exposure(2, 1000, {{1, 3000}}));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 1u);
    EXPECT_EQ(merger->subTotalFrames(), 0u);
    // Second group: the star has moved to photosite 6, and a light seen by one
    // exposure of one bracket only is averaged down with the group.
    merger->addPhoto(exposure(1, 500, {{6, 4000}, {3, 2500}}));
    merger->addPhoto(exposure(2, 500, {{6, 4000}}));
    merger->addPhoto(exposure(1, 500, {{6, 4000}}));
    merger->addPhoto(exposure(2, 500, {{6, 4000}}));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 2u);
    EXPECT_EQ(merger->totalFrames1(), 4u);
    EXPECT_EQ(merger->totalFrames2(), 4u);

    // The later group is as bright as its frames, and the result carries the
    // trail, not the kept photo's own pixels: (2500 + 3 x 500) / 4 = 1000.
    EXPECT_THAT(bayerSamplesOf(merger->resultData(0, 0)),
                ElementsAre(1000, 3000, 1000, 1000, 1000, 1000, 4000, 1000));
}

TEST(StarTrailBracketRawMerger, AStreamFallingBehindDelaysTheGroupButDoesNotStopIt) {
    ConsoleCapture console;
    const auto merger = Merger::make(exposure(1, 100), 1);
    merger->addPhoto(exposure(1, 100, {}, 2)); // another size: refused
    merger->addPhoto(exposure(2, 300));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 1u); // (100 + 300) / 2
    merger->addPhoto(exposure(2, 900));           // stream 1 is behind now
    merger->addPhoto(exposure(1, 600, {{0, 4000}}));
    merger->addPhoto(exposure(1, 800));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 2u); // (900 + 600) / 2, 800 waits
    EXPECT_THAT(bayerSamplesOf(merger->resultData(0, 0)),
                ElementsAre(2450, 750, 750, 750, 750, 750, 750, 750));
    EXPECT_THAT(console.text(), ::testing::HasSubstr("Metal Problem"));
}

TEST(StarTrailBracketRawMerger, BeforeAnyGroupTheResultClosesTheOpenOne) {
    ConsoleCapture console;
    const auto merger = Merger::make(exposure(1, 100), 5);
    merger->addPhoto(exposure(2, 301));
    EXPECT_THAT(bayerSamplesOf(merger->resultData(1, 0)), Each(201));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 1u);
    // Asked again: the same picture, and each result keeps its photo's own
    // exposure time.
    const auto again = merger->resultData(2, 3);
    EXPECT_THAT(bayerSamplesOf(again), Each(201));
    EXPECT_EQ(exposureTimeOf(*again), 0.01);
}

TEST(StarTrailBracketRawMerger, ARunEndingOnAClosedGroupGivesTheTrailNotAnEmptyAverage) {
    ConsoleCapture console;
    const auto merger = Merger::make(exposure(1, 700), 1);
    merger->addPhoto(exposure(2, 900));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 1u);
    EXPECT_THAT(bayerSamplesOf(merger->resultData(0, 0)), Each(800));
}

TEST(StarTrailBracketRawMerger, WithoutAFirstExposureThereIsNoResultAndNothingIsDividedByZero) {
    ConsoleCapture console;
    EXPECT_FALSE(Merger::make(exposure(2, 700), 3)->resultData(0, 0));
    // One photo of stream 1: its own pixels.
    EXPECT_THAT(bayerSamplesOf(Merger::make(exposure(1, 700), 3)->resultData(0, 0)), Each(700));
    // A group size of 0 closes a group with every pair.
    const auto everyPair = Merger::make(exposure(1, 10), 0);
    EXPECT_EQ(everyPair->numberOfFramesToAverage(), 1u);
    everyPair->addPhoto(exposure(2, 30));
    EXPECT_EQ(everyPair->numberOfMaxedFrames(), 1u);
}

TEST(StarTrailBracketRawMerger, KeepsItsPhotosWhenTheCallerLetsGo) {
    ConsoleCapture console;
    std::unique_ptr<Merger> merger;
    {
        auto batch = std::vector{exposure(1, 400), exposure(2, 600)};
        merger = Merger::make(batch[0], 2);
        merger->addPhoto(batch[1]);
    }
    EXPECT_THAT(bayerSamplesOf(merger->resultData(0, 0)), Each(500));
}

} // namespace
} // namespace qv
