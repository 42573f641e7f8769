// End to end: photos of every RAW mode through the exposure sequence and the
// merger choice, the result DNG developed by the RAW developer.
#include "engine/ExposureSequence.hpp"
#include "engine/PhotoMergerChoice.hpp"
#include "engine/RawLightTrailMerger.hpp"
#include "engine/RawNightModeMerger.hpp"
#include "engine/RawStarTrailMerger.hpp"
#include "engine/RawStreamsMerger.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/console/Console.hpp"
#include "platform/imaging/RawDevelopment.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using platform::SyntheticPhotoOptions;

std::shared_ptr<platform::CapturedPhoto> photo(unsigned seed, int sequenceCount = 0) {
    SyntheticPhotoOptions options;
    options.width = 32;
    options.height = 24;
    options.seed = seed;
    options.sequenceCount = sequenceCount;
    return platform::makeSyntheticPhoto(options);
}

// Runs `photos` photos through a sequence in `mode` and returns its merger.
template <class Merger>
std::shared_ptr<PhotoMerger> run(SequenceMode mode, int photos, int sequenceCounts = 0) {
    auto settings = platform::UserDefaults::inMemory();
    auto sequence = ExposureSequence::make(*settings);
    sequence->sequenceMode = mode;
    sequence->trailNumberOfFramesToAverage = 4;
    for (int i = 0; i < photos; ++i) {
        sequence->addPhoto(photo(unsigned(i) + 1, sequenceCounts ? 1 + i % sequenceCounts : 0));
    }
    auto merger = sequence->photoMerger();
    EXPECT_TRUE(dynamic_cast<Merger*>(merger.get()));
    return merger;
}

void expectDevelops(const std::optional<FileData>& data) {
    ASSERT_TRUE(data);
    const auto image = platform::imaging::developRaw(*data);
    ASSERT_TRUE(image) << image.error();
    EXPECT_EQ(image->width(), 32u);
    EXPECT_EQ(image->height(), 24u);
}

TEST(RawModeMergerFiles, NightResultDevelops) {
    platform::ConsoleCapture console;
    const auto merger = run<MetalRAWNightModePhotoMerger>(SequenceMode::nightMode, 3);
    EXPECT_EQ(merger->totalFrames1(), 3u);
    expectDevelops(merger->resultData(0, 1));
}

TEST(RawModeMergerFiles, StarTrailResultDevelops) {
    platform::ConsoleCapture console;
    const auto merger = run<MetalTrailRAWPhotoMergerV2>(SequenceMode::starTrails, 7);
    EXPECT_EQ(merger->totalFrames1(), 5u); // two filter frames
    expectDevelops(merger->resultData(0, 0));
}

TEST(RawModeMergerFiles, LightTrailResultsDevelop) {
    platform::ConsoleCapture console;
    const auto merger = run<MetalLightTrailRAWPhotoMerger>(SequenceMode::lightTrails, 3);
    expectDevelops(merger->resultData(0, 0));
    expectDevelops(merger->resultData(1, 0));
}

TEST(RawModeMergerFiles, BracketResultsDevelop) {
    platform::ConsoleCapture console;
    const auto merger = run<MetalDualRAWPhotoMerger>(SequenceMode::starTrails, 4, 2);
    EXPECT_EQ(merger->totalFrames1(), 2u);
    expectDevelops(merger->resultData(2, 0));
    expectDevelops(merger->resultData(1, 0));
}

} // namespace
} // namespace qv
