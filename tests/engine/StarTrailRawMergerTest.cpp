#include "MergerTestPhotos.hpp"
#include "engine/RawStarTrailMerger.hpp"
#include "platform/console/Console.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using platform::ConsoleCapture;
using testing::bayerSamplesOf;
using ::testing::HasSubstr;
using testing::makeBayerPhoto;
using testing::TwoSecondCustomizer;

// Large enough for the RAW developer, which refuses very small files.
constexpr std::size_t side = 32;

// Background 1000 (below the booster's pivot of 2112, so averages stay as
// they are), with optional bright pixels.
PhotoPtr sky(std::vector<std::pair<std::size_t, std::uint16_t>> lights = {}) {
    return makeBayerPhoto(side, side, [=](std::size_t x, std::size_t y) -> std::uint16_t {
        for (const auto& [at, value] : lights) {
            if (y * side + x == at) {
                return value;
            }
        }
        return 1000;
    });
}

struct Trail {
    TwoSecondCustomizer customizer;
    std::unique_ptr<MetalTrailRAWPhotoMergerV2> make(const PhotoPtr& first, std::uint32_t frames,
                                                     bool compensation = false) {
        return MetalTrailRAWPhotoMergerV2::make(first, frames, true, compensation, customizer);
    }
};

TEST(StarTrailRawMerger, FillsTwoFiltersThenAlternatesTheOlderOne) {
    ConsoleCapture console;
    Trail trail;
    const auto merger = trail.make(sky(), 10);
    ASSERT_TRUE(merger);
    merger->addPhoto(sky());
    EXPECT_EQ(merger->filterFrames(), 2);
    EXPECT_EQ(merger->totalFrames1(), 0u);
    merger->addPhoto(sky());
    merger->addPhoto(sky());
    EXPECT_EQ(merger->totalFrames1(), 2u);
    const std::string text = console.text();
    const auto one = text.find("Filter frame 1 added\n");
    const auto two = text.find("Filter frame 2 added\n");
    const auto a = text.find("0 Old filter A\n");
    const auto b = text.find("1 Old filter B\n");
    ASSERT_NE(b, std::string::npos);
    EXPECT_LT(one, two);
    EXPECT_LT(two, a);
    EXPECT_LT(a, b);
    EXPECT_THAT(text, HasSubstr("Frames to average: 10\nUse compensation: false\n"));
}

TEST(StarTrailRawMerger, GroupsAreHalfTheFramesToAverage) {
    ConsoleCapture console;
    Trail trail;
    EXPECT_EQ(trail.make(sky(), 10)->numberOfFramesToAverage(), 5u);
    EXPECT_EQ(trail.make(sky(), 5)->numberOfFramesToAverage(), 2u);
    EXPECT_EQ(trail.make(sky(), 1)->numberOfFramesToAverage(), 0u);

    const auto ten = trail.make(sky(), 10);
    for (int i = 0; i < 1 + 4; ++i) {
        ten->addPhoto(sky());
    }
    EXPECT_EQ(ten->numberOfMaxedFrames(), 0u); // 4 accumulated: no group yet
    ten->addPhoto(sky());
    EXPECT_EQ(ten->numberOfMaxedFrames(), 1u);

    const auto one = trail.make(sky(), 1);
    for (int i = 0; i < 1 + 3; ++i) {
        one->addPhoto(sky());
    }
    EXPECT_EQ(one->numberOfMaxedFrames(), 3u); // every accumulated frame is a group
    EXPECT_THAT(console.text(), HasSubstr("reset accu"));
}

TEST(StarTrailRawMerger, KeepsASteadyStarAndDropsAOneFrameLight) {
    ConsoleCapture console;
    Trail trail;
    constexpr std::size_t star = 2 * side + 2, aircraft = 5 * side + 5;
    const auto merger = trail.make(sky({{star, 10000}}), 1);
    merger->addPhoto(sky({{star, 10000}}));
    merger->addPhoto(sky({{star, 10000}, {aircraft, 12000}}));
    merger->addPhoto(sky({{star, 10000}}));
    merger->addPhoto(sky({{star, 10000}}));
    const auto out = bayerSamplesOf(merger->resultData(0, 0));
    ASSERT_EQ(out.size(), side * side);
    EXPECT_EQ(out[star], 2112 + 2 * (10000 - 2112)); // boosted above the pivot
    EXPECT_EQ(out[aircraft], 1000);
    EXPECT_EQ(out[0], 1000);
}

TEST(StarTrailRawMerger, TheFilterSeesTheFrameAndTheTwoBeforeIt) {
    ConsoleCapture console;
    Trail trail;
    // A light in the second (filter) frame and the fourth: of the accumulated
    // frames 3, 4 and 5 only the fourth has it in two of its three frames.
    const auto merger = trail.make(sky(), 10);
    merger->addPhoto(sky({{0, 1600}}));
    merger->addPhoto(sky());
    merger->addPhoto(sky({{0, 1600}}));
    merger->addPhoto(sky());
    EXPECT_EQ(bayerSamplesOf(merger->resultData(0, 0))[0], (1000 + 1600 + 1000) / 3);
}

TEST(StarTrailRawMerger, TheTrailLeavesOutAnUnfinishedGroup) {
    ConsoleCapture console;
    Trail trail;
    const auto merger = trail.make(sky(), 10); // groups of 5
    for (int i = 0; i < 1 + 5; ++i) {
        merger->addPhoto(sky());
    }
    // Two brighter frames start the next group; they are not in the trail.
    merger->addPhoto(sky({{0, 1800}}));
    merger->addPhoto(sky({{0, 1800}}));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 1u);
    EXPECT_EQ(merger->totalFrames1(), 7u);
    EXPECT_EQ(bayerSamplesOf(merger->resultData(0, 0))[0], 1000);
}

TEST(StarTrailRawMerger, WithoutAGroupTheResultIsTheBoostedAverage) {
    ConsoleCapture console;
    Trail trail;
    const auto merger = trail.make(sky({{0, 3000}}), 10);
    for (int i = 0; i < 3; ++i) {
        merger->addPhoto(sky({{0, 3000}}));
    }
    // Mean 3000 lies 888 above the pivot: 2112 + 2 x 888.
    EXPECT_EQ(bayerSamplesOf(merger->resultData(0, 0))[0], 3888);
    EXPECT_THAT(console.text(), HasSubstr("Average Color 16 bit:"));
    EXPECT_THAT(console.text(), HasSubstr("Average Color  8 bit:"));
    EXPECT_THAT(console.text(), HasSubstr("Duration:"));
}

TEST(StarTrailRawMerger, WithOnlyTheFilterFramesTheResultIsTheKeptPhoto) {
    ConsoleCapture console;
    Trail trail;
    const auto merger = trail.make(sky({{3, 5000}}), 10);
    merger->addPhoto(sky({{3, 9000}}));
    EXPECT_EQ(merger->totalFrames1(), 0u);
    const auto out = bayerSamplesOf(merger->resultData(0, 0));
    ASSERT_EQ(out.size(), side * side);
    EXPECT_EQ(out[3], 5000); // the creating photo, untouched
    EXPECT_EQ(out[0], 1000);
}

TEST(StarTrailRawMerger, CompensationKeepsSmallRisesOutOfTheTrail) {
    ConsoleCapture console;
    Trail trail;
    for (const bool compensation : {true, false}) {
        const auto merger = trail.make(sky(), 0, compensation);
        merger->addPhoto(sky());
        merger->addPhoto(sky());                       // the first group: 1000 everywhere
        merger->addPhoto(sky({{0, 1005}, {1, 1006}})); // the median is still 1000
        merger->addPhoto(sky({{0, 1005}, {1, 1006}})); // a group of 1005 and 1006
        const auto out = bayerSamplesOf(merger->resultData(0, 0));
        ASSERT_EQ(out.size(), side * side);
        EXPECT_EQ(out[0], compensation ? 1000 : 1005); // 5 above is not more than 5
        EXPECT_EQ(out[1], 1006);
    }
    EXPECT_THAT(console.text(), HasSubstr("Use compensation: true"));
}

TEST(StarTrailRawMerger, TheResultIsTheTrailFileOnlyWhenItDevelops) {
    ConsoleCapture console;
    Trail trail;
    const auto merger = trail.make(sky(), 2);
    for (int i = 0; i < 1 + 2; ++i) {
        merger->addPhoto(sky());
    }
    const auto file = merger->trailResultData();
    ASSERT_TRUE(file);
    EXPECT_EQ(merger->resultData(0, 0), file);

    // Too small for the RAW developer: the file is made but not returned.
    const auto tiny = [] {
        return makeBayerPhoto(8, 8, [](std::size_t, std::size_t) { return std::uint16_t(1000); });
    };
    const auto small = trail.make(tiny(), 2);
    for (int i = 0; i < 1 + 2; ++i) {
        small->addPhoto(tiny());
    }
    EXPECT_TRUE(small->trailResultData());
    EXPECT_FALSE(small->resultData(0, 0));
}

TEST(StarTrailRawMerger, TheEarlierFormMergesAlikeWithoutCompensation) {
    ConsoleCapture console;
    TwoSecondCustomizer customizer;
    const auto merger = MetalTrailRAWPhotoMerger::make(sky(), 0, customizer);
    ASSERT_TRUE(merger);
    merger->addPhoto(sky());
    EXPECT_EQ(merger->totalFrames1(), 0u); // both filter frames
    merger->addPhoto(sky());
    merger->addPhoto(sky({{0, 1005}}));
    merger->addPhoto(sky({{0, 1005}}));
    EXPECT_EQ(merger->numberOfMaxedFrames(), 3u);
    EXPECT_EQ(bayerSamplesOf(merger->resultData(0, 0))[0], 1005);
    EXPECT_THAT(console.text(), HasSubstr("Use compensation: false"));
}

} // namespace
} // namespace qv
