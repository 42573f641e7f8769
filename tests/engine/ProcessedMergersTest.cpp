#include "MergerTestPhotos.hpp"
#include "engine/ProcessedPhotoMergers.hpp"
#include "platform/compute/Faults.hpp"
#include "platform/console/Console.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

testing::TwoSecondCustomizer processedCustomizer;

using platform::ConsoleCapture;
using platform::pixelformat::bgra32;
using namespace platform::compute;
using testing::channelsOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::solidColour;

// The first pixel's B, G, R, A of a result.
std::vector<std::uint16_t> firstPixel(const std::optional<FileData>& data) {
    EXPECT_TRUE(data);
    if (!data) {
        return {};
    }
    auto all = channelsOf(*data, bgra32);
    return {all.begin(), all.begin() + 4};
}

TEST(FrameAveraging, ThreeFramesGiveTheRoundedMeanInTheThirdPhoto) {
    ConsoleCapture console;
    auto first = solidColour(3, 2, 1, 1, 0);
    auto second = solidColour(3, 2, 2, 1, 1);
    auto third = solidColour(3, 2, 4, 2, 2);
    auto merger = MetalRGBA32PhotoMerger::make(first, processedCustomizer);
    ASSERT_TRUE(merger);
    merger->addPhoto(second);
    merger->addPhoto(third);
    EXPECT_EQ(merger->totalFrames1(), 3u);

    const auto data = merger->resultData(0, 0);
    // B 7/3 = 2.33, G 4/3 = 1.33, R 3/3 = 1
    EXPECT_THAT(firstPixel(data), ElementsAre(2, 1, 1, 255));
    EXPECT_EQ(testing::exposureTimeOf(*data), 2.0);
    EXPECT_EQ(third->pixelBuffer()->row<std::uint8_t>(1)[8], 2); // written into the third photo
    EXPECT_EQ(first->pixelBuffer()->row<std::uint8_t>(0)[0], 1); // the others keep their pixels
    EXPECT_THAT(console.text(), HasSubstr("Metal RGBA32\n"));
    EXPECT_THAT(console.text(), HasSubstr("Texture created in "));
    EXPECT_THAT(console.text(), HasSubstr("Adding photo takes "));
}

TEST(FrameAveraging, ResultsRepeatAndLaterPhotosContinueTheSum) {
    auto merger = MetalRGBA32PhotoMerger::make(solidColour(2, 2, 10, 0, 0), processedCustomizer);
    merger->addPhoto(solidColour(2, 2, 20, 0, 0));
    const auto once = merger->resultData(0, 0);
    EXPECT_EQ(merger->resultData(7, -2.5), once);
    EXPECT_THAT(firstPixel(once), ElementsAre(15, 0, 0, 255));
    merger->addPhoto(solidColour(2, 2, 60, 0, 0));
    EXPECT_THAT(firstPixel(merger->resultData(0, 0)), ElementsAre(30, 0, 0, 255));
}

TEST(FrameAveraging, TheSizeGuardRefusesWiderAndTransposedPhotos) {
    auto merger = MetalRGBA32PhotoMerger::make(solidColour(4, 2, 10, 10, 10), processedCustomizer);
    ConsoleCapture console;
    merger->addPhoto(solidColour(5, 2, 200, 200, 200));
    merger->addPhoto(solidColour(2, 4, 200, 200, 200));
    EXPECT_EQ(console.text(), "Metal Problem\nMetal Problem\n");
    EXPECT_EQ(merger->totalFrames1(), 1u);
    EXPECT_THAT(firstPixel(merger->resultData(0, 0)), ElementsAre(10, 10, 10, 255));
}

TEST(FrameAveraging, AFailedPassLeavesTheMergerBusyForGood) {
    auto merger = MetalRGBA32PhotoMerger::make(solidColour(2, 2, 10, 10, 10), processedCustomizer);
    ConsoleCapture console;
    {
        Faults faults;
        faults.commandBuffersBeforeFailure = 0;
        ScopedFaults scoped(faults);
        merger->addPhoto(solidColour(2, 2, 20, 20, 20));
    }
    EXPECT_THAT(console.text(), HasSubstr("Failed to create Metal command encoder\n"));
    merger->addPhoto(solidColour(2, 2, 20, 20, 20));
    EXPECT_THAT(console.text(), HasSubstr("Metal Problem\n"));
    EXPECT_EQ(merger->totalFrames1(), 1u);
    EXPECT_FALSE(merger->resultData(0, 0));
}

TEST(FrameAveraging, CreationFailuresMakeNoMerger) {
    ConsoleCapture console;
    {
        Faults faults;
        faults.missingKernels = {"frameAveragerRGB"};
        ScopedFaults scoped(faults);
        EXPECT_FALSE(MetalRGBA32PhotoMerger::make(solidColour(2, 2, 1, 1, 1), processedCustomizer));
    }
    EXPECT_EQ(console.text(), "");
    Faults faults;
    faults.failingPipelines = {"frameAccumulator"};
    ScopedFaults scoped(faults);
    EXPECT_FALSE(MetalRGBA32PhotoMerger::make(solidColour(2, 2, 1, 1, 1), processedCustomizer));
    EXPECT_EQ(console.text(), "Compute pipeLine state creation failure\n");
    EXPECT_FALSE(MetalTrailRGBA32PhotoMerger::make(platform::CapturedPhoto::make({}), 3,
                                                   processedCustomizer));
}

// A star-trail run whose k-th photo (1-based) has blue = levels[k-1].
std::unique_ptr<MetalTrailRGBA32PhotoMerger> trailRun(std::uint32_t group,
                                                      const std::vector<std::uint8_t>& levels) {
    auto merger = MetalTrailRGBA32PhotoMerger::make(solidColour(2, 1, levels[0], 0, 0), group,
                                                    processedCustomizer);
    for (std::size_t i = 1; i < levels.size(); ++i) {
        merger->addPhoto(solidColour(2, 1, levels[i], 0, 0));
    }
    return merger;
}

TEST(StarTrails, GroupsAreAveragedAndFoldedIntoTheMaximum) {
    ConsoleCapture console;
    // Group 3 with 3 photos: one group; the result is its mean.
    EXPECT_EQ(firstPixel(trailRun(3, {10, 20, 40})->resultData(0, 0))[0], 23);
    EXPECT_THAT(console.text(), HasSubstr("Frames to average: 3\n"));
    // Group 3 with 2 photos: no group yet; the mean of both.
    auto open = trailRun(3, {10, 21});
    EXPECT_EQ(open->subTotalFrames(), 2u);
    EXPECT_EQ(firstPixel(open->resultData(0, 0))[0], 16);
    // Group 1 or 0: the first two photos form a group, then each photo its own.
    for (std::uint32_t group : {1u, 0u}) {
        auto single = trailRun(group, {10, 30, 5, 12});
        EXPECT_EQ(single->totalFrames1(), 4u);
        EXPECT_EQ(firstPixel(single->resultData(0, 0))[0], 20) << group; // max(20, 5, 12)
    }
    // Group 4 with 10 photos: groups end at photos 4 and 8; 9 and 10 are left out.
    auto ten = trailRun(4, {10, 10, 10, 10, 50, 50, 50, 54, 250, 250});
    EXPECT_EQ(ten->subTotalFrames(), 2u);
    EXPECT_EQ(firstPixel(ten->resultData(0, 0))[0], 51);
}

// Passes of an addition that completes a group of the trail merger:
// "Accumulation", "Averager", "ResetAverager", "Maxer". `passesThatRun` of
// them run, the rest fail.
void addWithPassesFailingAfter(MetalTrailRGBA32PhotoMerger& merger, int passesThatRun,
                               std::uint8_t level) {
    Faults faults;
    faults.commandBuffersBeforeFailure = passesThatRun;
    ScopedFaults scoped(faults);
    merger.addPhoto(solidColour(2, 1, level, 0, 0));
}

TEST(StarTrails, AFailedGroupAverageLeavesTheMergerBusyForGood) {
    auto merger = trailRun(3, {10, 20});
    ConsoleCapture console;
    addWithPassesFailingAfter(*merger, 1, 40);
    EXPECT_EQ(console.text(), "Failed to create Metal command encoder\n");
    EXPECT_EQ(merger->totalFrames1(), 3u);
    merger->addPhoto(solidColour(2, 1, 40, 0, 0));
    EXPECT_EQ(console.text(), "Failed to create Metal command encoder\nMetal Problem\n");
    EXPECT_EQ(merger->totalFrames1(), 3u);
    EXPECT_FALSE(merger->resultData(0, 0));
}

TEST(StarTrails, AFailedClearAndFoldLetTheNextPhotoCompleteTheGroup) {
    auto merger = trailRun(3, {10, 20});
    ConsoleCapture console;
    addWithPassesFailingAfter(*merger, 2, 40); // the clear and the fold fail
    EXPECT_EQ(console.text(), "Failed to create Metal command encoder\n"
                              "Failed to create Metal command encoder\n");
    EXPECT_EQ(merger->subTotalFrames(), 3u); // not cleared
    // The addition completed: the merger takes the next photo, which closes a
    // group of all four frames at once: (10 + 20 + 40 + 60) / 4 = 32.5.
    merger->addPhoto(solidColour(2, 1, 60, 0, 0));
    EXPECT_EQ(merger->subTotalFrames(), 0u);
    EXPECT_EQ(merger->totalFrames1(), 4u);
    EXPECT_EQ(firstPixel(merger->resultData(0, 0))[0], 33);
}

TEST(ProcessedMergers, AFailedResultPassGivesNothingAndRefusesLaterPhotos) {
    auto check = [](PhotoMerger& merger, int index) {
        ConsoleCapture console;
        {
            Faults faults;
            faults.commandBuffersBeforeFailure = 0;
            ScopedFaults scoped(faults);
            EXPECT_FALSE(merger.resultData(index, 0));
        }
        merger.addPhoto(solidColour(2, 1, 9, 9, 9));
        EXPECT_EQ(console.text(), "Failed to create Metal command encoder\nMetal Problem\n");
        EXPECT_EQ(merger.totalFrames1(), 1u);
        EXPECT_FALSE(merger.resultData(index, 0));
    };
    check(*MetalRGBA32PhotoMerger::make(solidColour(2, 1, 1, 1, 1), processedCustomizer), 0);
    check(*MetalTrailRGBA32PhotoMerger::make(solidColour(2, 1, 1, 1, 1), 3, processedCustomizer),
          0);
    for (int index : {0, 1}) {
        check(*MetalLightTrailRGBA32PhotoMerger::make(solidColour(2, 1, 1, 1, 1),
                                                      processedCustomizer),
              index);
    }
}

TEST(LightTrails, IndexOneGivesTheMeanAndOthersTheMaximumOfAMovingDot) {
    auto dotAt = [](std::size_t position) {
        return testing::makePhoto(bgra32, 5, 1, [=](std::size_t x, std::size_t, std::size_t c) {
            return std::uint16_t(c == 3 ? 255 : (x == position ? 250 : 10));
        });
    };
    auto merger = MetalLightTrailRGBA32PhotoMerger::make(dotAt(0), processedCustomizer);
    for (std::size_t p = 1; p < 5; ++p) {
        merger->addPhoto(dotAt(p));
    }
    EXPECT_EQ(merger->totalFrames1(), 5u);
    const auto mean = channelsOf(*merger->resultData(1, 0), bgra32);
    const auto trail = channelsOf(*merger->resultData(0, 0), bgra32);
    EXPECT_EQ(channelsOf(*merger->resultData(2, 0), bgra32), trail);
    for (std::size_t x = 0; x < 5; ++x) {
        EXPECT_EQ(mean[x * 4], 58) << x;   // (250 + 4 x 10) / 5
        EXPECT_EQ(trail[x * 4], 250) << x; // the dot's whole path
    }
    EXPECT_EQ(channelsOf(*merger->resultData(1, 0), bgra32), mean); // order does not matter
}

TEST(LightTrails, TheLatestPhotoIsKeptWhenEveryoneElseLetsGo) {
    std::unique_ptr<MetalLightTrailRGBA32PhotoMerger> merger;
    {
        auto photo = solidColour(2, 2, 7, 7, 7);
        merger = MetalLightTrailRGBA32PhotoMerger::make(photo, processedCustomizer);
    }
    EXPECT_THAT(firstPixel(merger->resultData(0, 0)), ElementsAre(7, 7, 7, 255));
}

TEST(ProcessedMergers, AMissingPhotoIsRefusedLikeAnUnusableOne) {
    const std::vector<std::unique_ptr<PhotoMerger>> mergers = [] {
        std::vector<std::unique_ptr<PhotoMerger>> all;
        all.push_back(
            MetalRGBA32PhotoMerger::make(solidColour(2, 2, 7, 7, 7), processedCustomizer));
        all.push_back(
            MetalTrailRGBA32PhotoMerger::make(solidColour(2, 2, 7, 7, 7), processedCustomizer));
        all.push_back(MetalLightTrailRGBA32PhotoMerger::make(solidColour(2, 2, 7, 7, 7),
                                                             processedCustomizer));
        return all;
    }();
    for (const auto& merger : mergers) {
        ConsoleCapture console;
        merger->addPhoto(nullptr);
        EXPECT_EQ(console.text(), "Metal Problem\n");
        EXPECT_EQ(merger->totalFrames1(), 1u);
        EXPECT_THAT(firstPixel(merger->resultData(0, 0)), ElementsAre(7, 7, 7, 255));
    }
}

} // namespace
} // namespace qv
