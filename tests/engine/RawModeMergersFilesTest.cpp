// End to end: photos of every RAW mode through the exposure sequence and the
// merger choice, and the mergers made outside the choice, each result DNG
// developed by the RAW developer.
#include "engine/CpuAveragingMergers.hpp"
#include "engine/ExposureSequence.hpp"
#include "engine/MetaDataCustomizer.hpp"
#include "engine/PhotoMergerChoice.hpp"
#include "engine/RawLightTrailMerger.hpp"
#include "engine/RawNightModeMerger.hpp"
#include "engine/RawStarTrailMerger.hpp"
#include "engine/RawStarTrailStreamsMerger.hpp"
#include "engine/RawStreamsMerger.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/console/Console.hpp"
#include "platform/imaging/RawDevelopment.hpp"

#include <gtest/gtest.h>

namespace qv {
namespace {

using platform::SyntheticPhotoOptions;

// The RAW developer refuses images with a side much under 32 pixels.
constexpr std::size_t width = 32;
constexpr std::size_t height = 32;

std::shared_ptr<platform::CapturedPhoto>
photo(unsigned seed, int sequenceCount = 0,
      platform::FourCharCode format = platform::pixelformat::bayer14RGGB) {
    SyntheticPhotoOptions options;
    options.width = width;
    options.height = height;
    options.seed = seed;
    options.sequenceCount = sequenceCount;
    options.pixelFormat = format;
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
    EXPECT_EQ(image->width(), width);
    EXPECT_EQ(image->height(), height);
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

TEST(RawModeMergerFiles, BracketStarTrailResultDevelops) {
    platform::ConsoleCapture console;
    const auto merger = MetalStarTrailsRAWPhotoMerger::make(photo(1, 1), 2);
    ASSERT_TRUE(merger);
    for (unsigned i = 2; i <= 8; ++i) {
        merger->addPhoto(photo(i, 2 - int(i % 2)));
    }
    EXPECT_EQ(merger->numberOfMaxedFrames(), 2u);
    expectDevelops(merger->resultData(0, 0));
}

TEST(RawModeMergerFiles, ResultsOfTheOtherMergersOutsideTheChoiceDevelop) {
    platform::ConsoleCapture console;
    const auto triple = MetalTripleRAWPhotoMerger::make(photo(1, 1));
    ASSERT_TRUE(triple);
    triple->addPhoto(photo(2, 2));
    triple->addPhoto(photo(3, 3));
    for (int index : {1, 2, 3}) {
        expectDevelops(triple->resultData(index, 0));
    }

    const auto dual = DualRAWPhotoMerger::make(photo(1, 1));
    dual->addPhoto(photo(2, 2));
    dual->addPhoto(photo(3, 1));
    expectDevelops(dual->resultData(1, 0));
    expectDevelops(dual->resultData(2, 0));

    auto& customizer = MetaDataCustomizer::shared();
    const auto bayer = ProRAWPhotoMerger::make(photo(1), customizer);
    bayer->addPhoto(photo(2));
    expectDevelops(bayer->resultData(0, 0));

    const auto earlierTrail = MetalTrailRAWPhotoMerger::make(photo(1), 2, customizer);
    ASSERT_TRUE(earlierTrail);
    for (unsigned i = 2; i <= 5; ++i) {
        earlierTrail->addPhoto(photo(i));
    }
    EXPECT_EQ(earlierTrail->numberOfMaxedFrames(), 3u);
    expectDevelops(earlierTrail->resultData(0, 0));
}

} // namespace
} // namespace qv
