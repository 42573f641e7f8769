#include "engine/PhotoMergerChoice.hpp"

#include "engine/ExposureSequence.hpp"
#include "engine/ProcessedPhotoMergers.hpp"
#include "engine/RawAveragingMergers.hpp"
#include "engine/RawLightTrailMerger.hpp"
#include "engine/RawNightModeMerger.hpp"
#include "engine/RawStarTrailMerger.hpp"
#include "engine/RawStreamsMerger.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/compute/Faults.hpp"
#include "platform/console/Console.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using platform::ConsoleCapture;
using platform::SyntheticPhotoOptions;
using platform::UserDefaults;
using namespace platform::pixelformat;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

std::shared_ptr<platform::CapturedPhoto> photo(platform::FourCharCode format,
                                               int sequenceCount = 0) {
    SyntheticPhotoOptions options;
    options.width = 8;
    options.height = 6;
    options.pixelFormat = format;
    options.sequenceCount = sequenceCount;
    return platform::makeSyntheticPhoto(options);
}

PhotoMergerChoice choose(const std::shared_ptr<platform::CapturedPhoto>& p, SequenceMode mode,
                         bool countFirstPhoto = true, std::uint32_t group = 1) {
    return choosePhotoMerger(p, PhotoMergerRequest{mode, group, countFirstPhoto});
}

template <class Merger>
bool is(const PhotoMergerChoice& choice) {
    return !choice.keepsCurrent && dynamic_cast<Merger*>(choice.merger.get()) != nullptr;
}

TEST(PhotoMergerChoice, ProcessedPhotosByMode) {
    ConsoleCapture console;
    EXPECT_TRUE(is<MetalRGBA32PhotoMerger>(choose(photo(bgra32), SequenceMode::frameAveraging)));
    EXPECT_TRUE(
        is<MetalLightTrailRGBA32PhotoMerger>(choose(photo(bgra32), SequenceMode::lightTrails)));
    const auto trail = choose(photo(bgra32), SequenceMode::starTrails, true, 5);
    ASSERT_TRUE(is<MetalTrailRGBA32PhotoMerger>(trail));
    EXPECT_EQ(dynamic_cast<MetalTrailRGBA32PhotoMerger&>(*trail.merger).numberOfFramesToAverage(),
              5u);
    EXPECT_EQ(trail.merger->totalFrames1(), 1u); // the creating photo is counted
    // Processed-photo mergers count it even when asked not to.
    for (const auto mode :
         {SequenceMode::frameAveraging, SequenceMode::lightTrails, SequenceMode::starTrails}) {
        EXPECT_EQ(choose(photo(bgra32), mode, false).merger->totalFrames1(), 1u);
    }

    const auto night = choose(photo(bgra32), SequenceMode::nightMode);
    EXPECT_TRUE(night.keepsCurrent);
    EXPECT_FALSE(night.merger);
}

TEST(PhotoMergerChoice, NightModeProcessedPhotosStillPrintTheChoice) {
    ConsoleCapture console;
    choose(photo(bgra32), SequenceMode::nightMode);
    EXPECT_EQ(console.text(), "using RGBA\n\n\ninit Photo Merger\n\n");
}

TEST(PhotoMergerChoice, RawPhotosByFormatBracketAndMode) {
    ConsoleCapture console;
    // 64-bit RGBA RAW goes to the ProRAW merger in every mode, bracketed or not.
    for (const auto mode : allSequenceModes) {
        EXPECT_TRUE(is<MetalProRawPhotoMerger>(choose(photo(rgba64LE), mode)));
        EXPECT_TRUE(is<MetalProRawPhotoMerger>(choose(photo(rgba64LE, 1), mode)));
    }
    const auto averaging = choose(photo(bayer14RGGB), SequenceMode::frameAveraging);
    ASSERT_TRUE(is<MetalRAWPhotoMerger>(averaging));
    EXPECT_EQ(averaging.merger->totalFrames1(), 1u);
    EXPECT_EQ(
        choose(photo(bayer14RGGB), SequenceMode::frameAveraging, false).merger->totalFrames1(), 0u);
    EXPECT_TRUE(
        is<MetalLightTrailRAWPhotoMerger>(choose(photo(bayer14RGGB), SequenceMode::lightTrails)));
    EXPECT_TRUE(
        is<MetalRAWNightModePhotoMerger>(choose(photo(bayer14RGGB), SequenceMode::nightMode)));
    const auto trail = choose(photo(bayer14RGGB), SequenceMode::starTrails, true, 10);
    ASSERT_TRUE(is<MetalTrailRAWPhotoMergerV2>(trail));
    EXPECT_EQ(dynamic_cast<MetalTrailRAWPhotoMergerV2&>(*trail.merger).numberOfFramesToAverage(),
              5u);
    EXPECT_EQ(trail.merger->totalFrames1(), 0u); // a filter frame
    EXPECT_THAT(console.text(), HasSubstr("Use compensation: false"));
    // Bracketed RAW photos go to the bracket merger in every mode; the second
    // exposure counts in its own stream.
    for (const auto mode : allSequenceModes) {
        const auto bracket = choose(photo(bayer14RGGB, 2), mode);
        ASSERT_TRUE(is<MetalDualRAWPhotoMerger>(bracket));
        EXPECT_EQ(bracket.merger->totalFrames1(), 0u);
    }
    // A RAW star-trail photo that is not counted keeps the current merger.
    EXPECT_TRUE(choose(photo(bayer14RGGB), SequenceMode::starTrails, false).keepsCurrent);
    EXPECT_THAT(console.text(), Not(HasSubstr("using RGBA")));
    EXPECT_THAT(console.text(), EndsWith("\n\ninit Photo Merger\n\n"));
}

TEST(PhotoMergerChoice, TelephotoStarTrailsUseTheCompensation) {
    ConsoleCapture console;
    SyntheticPhotoOptions options;
    options.width = 8;
    options.height = 6;
    options.sourceDeviceType = platform::CaptureDeviceType::builtInTelephotoCamera;
    choose(platform::makeSyntheticPhoto(options), SequenceMode::starTrails);
    EXPECT_THAT(console.text(), HasSubstr("Use compensation: true"));
}

TEST(PhotoMergerChoice, AMergerThatCannotBeMadeLeavesNone) {
    platform::compute::Faults faults;
    faults.noDevice = true;
    platform::compute::ScopedFaults scoped(faults);
    ConsoleCapture console;
    for (const auto& choice : {choose(photo(bgra32), SequenceMode::frameAveraging),
                               choose(photo(bayer14RGGB), SequenceMode::frameAveraging)}) {
        EXPECT_FALSE(choice.keepsCurrent);
        EXPECT_FALSE(choice.merger);
    }
}

TEST(PhotoMergerChoice, TheSequenceMergesEveryPhotoThroughTheChosenMerger) {
    ConsoleCapture console;
    auto settings = UserDefaults::inMemory();
    auto sequence = ExposureSequence::make(*settings);
    for (int i = 0; i < 3; ++i) {
        sequence->addPhoto(photo(bayer14RGGB));
    }
    auto merger = sequence->photoMerger();
    ASSERT_TRUE(dynamic_cast<MetalRAWPhotoMerger*>(merger.get()));
    EXPECT_EQ(merger->totalFrames1(), 3u);
    EXPECT_TRUE(merger->resultData(0, 0));
    EXPECT_THAT(console.text(), HasSubstr("Adding Photo to sequence took"));

    // A merger that cannot be made replaces the one there was.
    platform::compute::Faults faults;
    faults.noDevice = true;
    platform::compute::ScopedFaults scoped(faults);
    sequence->makePhotoMerger(photo(bgra32), true);
    EXPECT_FALSE(sequence->photoMerger());
}

TEST(PhotoMergerChoice, ProcessedNightPhotosAndUncountedRawStarTrailsKeepTheMerger) {
    ConsoleCapture console;
    auto settings = UserDefaults::inMemory();
    auto sequence = ExposureSequence::make(*settings);
    sequence->addPhoto(photo(bayer14RGGB));
    const auto first = sequence->photoMerger();
    ASSERT_TRUE(first);
    sequence->sequenceMode = SequenceMode::nightMode;
    sequence->makePhotoMerger(photo(bgra32), true);
    EXPECT_EQ(sequence->photoMerger(), first);
    sequence->sequenceMode = SequenceMode::starTrails;
    sequence->didFinishProcessingPhoto(photo(bayer14RGGB));
    EXPECT_EQ(sequence->photoMerger(), first);
}

} // namespace
} // namespace qv
