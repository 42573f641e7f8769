// Failed GPU passes in the RAW mode mergers: what stays usable afterwards.
#include "MergerTestPhotos.hpp"
#include "engine/RawNightModeMerger.hpp"
#include "engine/RawStarTrailMerger.hpp"
#include "engine/RawStreamsMerger.hpp"
#include "platform/compute/Faults.hpp"
#include "platform/console/Console.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using platform::ConsoleCapture;
using platform::SyntheticPhotoOptions;
using platform::compute::Faults;
using platform::compute::ScopedFaults;
using testing::bayerSamplesOf;
using ::testing::Each;
using ::testing::HasSubstr;
using testing::makeBayerPhoto;
using testing::TwoSecondCustomizer;

PhotoPtr frame(std::uint16_t level, int stream = 0) {
    SyntheticPhotoOptions options;
    options.sequenceCount = stream;
    return makeBayerPhoto(
        4, 2, [=](std::size_t, std::size_t) { return level; }, options);
}

Faults noEncoder() {
    Faults faults;
    faults.encoderFailure = true;
    return faults;
}

TEST(RawModeMergerFaults, AFailedNightAdditionLeavesTheMergerBusyForGood) {
    ConsoleCapture console;
    TwoSecondCustomizer customizer;
    const auto merger = MetalRAWNightModePhotoMerger::make(
        frame(100), true, customizer, [] { return BetaNightMergeMode::noClipping; });
    ASSERT_TRUE(merger);
    {
        ScopedFaults scoped(noEncoder());
        merger->addPhoto(frame(200));
    }
    EXPECT_THAT(console.text(), HasSubstr("Failed to create Metal command encoder\n"));
    const std::string before = console.text();
    merger->addPhoto(frame(300));
    EXPECT_EQ(console.text().substr(before.size()), "Metal Problem\n");
    EXPECT_EQ(merger->totalFrames1(), 1u);
    EXPECT_FALSE(merger->resultData(0, 0));
}

TEST(RawModeMergerFaults, AFailedBracketPassStopsOnlyItsOwnStream) {
    ConsoleCapture console;
    const auto merger = MetalDualRAWPhotoMerger::make(frame(100, 1), true);
    ASSERT_TRUE(merger);
    {
        ScopedFaults scoped(noEncoder());
        merger->addPhoto(frame(1000, 2));
    }
    const std::string before = console.text();
    merger->addPhoto(frame(1000, 2)); // the busy stream drops it silently
    merger->addPhoto(frame(300, 1));
    EXPECT_EQ(console.text().substr(before.size()), "");
    EXPECT_EQ(merger->totalFrames2(), 0u);
    EXPECT_FALSE(merger->resultData(2, 0));
    EXPECT_EQ(merger->totalFrames1(), 2u);
    EXPECT_THAT(bayerSamplesOf(merger->resultData(1, 0)), Each(200));
}

TEST(RawModeMergerFaults, StarTrailsGoOnAfterAFailedCopyOrFold) {
    ConsoleCapture console;
    TwoSecondCustomizer customizer;
    // Groups of one frame: every accumulated frame is averaged, cleared and folded.
    const auto merger = MetalTrailRAWPhotoMergerV2::make(frame(100), 2, true, false, customizer);
    ASSERT_TRUE(merger);
    {
        ScopedFaults scoped(noEncoder());
        merger->addPhoto(frame(100)); // the copy fails: not a filter frame
    }
    EXPECT_EQ(merger->filterFrames(), 1);
    merger->addPhoto(frame(100));
    EXPECT_EQ(merger->filterFrames(), 2);
    {
        // Accumulation, group average and clearing run; the fold fails.
        Faults faults;
        faults.commandBuffersBeforeFailure = 3;
        ScopedFaults scoped(faults);
        merger->addPhoto(frame(100));
    }
    EXPECT_EQ(merger->totalFrames1(), 1u);
    EXPECT_EQ(merger->numberOfMaxedFrames(), 0u);
    merger->addPhoto(frame(100));
    EXPECT_EQ(merger->totalFrames1(), 2u);
    EXPECT_EQ(merger->numberOfMaxedFrames(), 1u);
    EXPECT_THAT(bayerSamplesOf(merger->trailResultData()), Each(100));
}

} // namespace
} // namespace qv
