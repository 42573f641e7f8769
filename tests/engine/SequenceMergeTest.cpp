// A whole run through the engine as the camera drives it: photos handed to
// the exposure sequence, the merger it chooses, and the result encoded
// through the shared customizer, read back by the imaging layer and LibRaw.
#include "MergerTestPhotos.hpp"
#include "engine/ExposureSequence.hpp"
#include "engine/MetaDataCustomizer.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "platform/store/UserDefaults.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace platform::pixelformat;
using ::testing::Each;
using ::testing::ElementsAre;

class SequenceMergeTest : public ::testing::Test {
protected:
    std::shared_ptr<ExposureSequence> run(SequenceMode mode, const std::vector<PhotoPtr>& photos) {
        auto sequence = ExposureSequence::make(*defaults);
        sequence->sequenceMode = mode;
        sequence->start();
        for (const auto& photo : photos) {
            sequence->addPhoto(photo);
        }
        return sequence;
    }

    platform::VirtualDispatch dispatch;
    platform::ConsoleCapture console;
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    MetaDataCustomizer& customizer = MetaDataCustomizer::shared();
};

PhotoPtr bayer(std::uint16_t level) {
    // LibRaw takes no image with a side under 22 pixels.
    return testing::makePhoto(bayer14RGGB, 32, 24,
                              [=](std::size_t, std::size_t, std::size_t) { return level; });
}

TEST_F(SequenceMergeTest, RawFramesAverageIntoALibRawReadableDngWithTheStandardSpeed) {
    customizer.setOverwriteShutterSpeed(std::nullopt);
    const auto photos = std::vector{bayer(1000), bayer(2000), bayer(4001)};
    const auto sequence = run(SequenceMode::frameAveraging, photos);
    ASSERT_TRUE(sequence->photoMerger());
    EXPECT_EQ(sequence->photoMerger()->totalFrames1(), 3u);

    const auto dng = sequence->photoMerger()->resultData(0, 0);
    ASSERT_TRUE(dng);
    EXPECT_THAT(testing::channelsOf(*dng, bayer14RGGB), Each(2334)); // 7001 / 3 rounded
    EXPECT_EQ(testing::exposureTimeOf(*dng), 0.008); // 0.00798 s on the standard scale
    const auto developed = platform::imaging::developRaw(*dng, {.halfSize = true});
    ASSERT_TRUE(developed) << developed.error();
    EXPECT_EQ(developed->width(), 16u);
}

TEST_F(SequenceMergeTest, TheOverrideNamesTheWholeRunAndProcessedFramesGiveATiff) {
    customizer.setOverwriteShutterSpeed(20.0);
    const auto sequence =
        run(SequenceMode::frameAveraging,
            {testing::solidColour(4, 2, 10, 20, 30), testing::solidColour(4, 2, 11, 40, 200)});
    const auto tiff = sequence->photoMerger()->resultData(0, 0);
    customizer.setOverwriteShutterSpeed(std::nullopt);
    ASSERT_TRUE(tiff);
    const auto channels = testing::channelsOf(*tiff, bgra32);
    EXPECT_THAT(std::vector(channels.begin(), channels.begin() + 4), ElementsAre(11, 30, 115, 255));
    EXPECT_EQ(testing::exposureTimeOf(*tiff), 20.0);
}

} // namespace
} // namespace qv
