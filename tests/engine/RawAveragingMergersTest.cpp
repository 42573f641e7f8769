#include "engine/RawAveragingMergers.hpp"

#include "MergerTestPhotos.hpp"
#include "platform/compute/Faults.hpp"
#include "platform/console/Console.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qv {
namespace {

testing::TwoSecondCustomizer rawCustomizer;

using platform::ConsoleCapture;
using namespace platform::pixelformat;
using testing::channelsOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::makePhoto;

PhotoPtr bayerPhoto(std::uint16_t level, std::size_t width = 4, std::size_t height = 2) {
    return makePhoto(bayer14RGGB, width, height, [=](std::size_t x, std::size_t, std::size_t) {
        return std::uint16_t(level + x);
    });
}

TEST(RawAveraging, BayerFramesAverageIntoTheLatestPhoto) {
    ConsoleCapture console;
    auto first = bayerPhoto(1000);
    auto merger = MetalRAWPhotoMerger::make(first, true, rawCustomizer);
    ASSERT_TRUE(merger);
    EXPECT_THAT(console.text(), HasSubstr(first->pixelBuffer()->description()));
    merger->addPhoto(bayerPhoto(2000));
    merger->addPhoto(bayerPhoto(4001));
    EXPECT_EQ(merger->totalFrames1(), 3u);
    const auto data = merger->resultData(0, 0);
    ASSERT_TRUE(data);
    // (1000 + 2000 + 4001) / 3 = 2333.67 plus the column
    EXPECT_THAT(channelsOf(*data, bayer14RGGB),
                ElementsAre(2334, 2335, 2336, 2337, 2334, 2335, 2336, 2337));
    EXPECT_EQ(merger->resultData(2, 1.5), data);
    EXPECT_EQ(testing::exposureTimeOf(*data), 2.0);
}

TEST(RawAveraging, WithoutCountingTheFirstPhotoTheResultLeavesItAsItWas) {
    auto first = bayerPhoto(700);
    auto merger = MetalRAWPhotoMerger::make(first, false, rawCustomizer);
    ASSERT_TRUE(merger);
    EXPECT_EQ(merger->totalFrames1(), 0u);
    EXPECT_THAT(channelsOf(*merger->resultData(0, 0), bayer14RGGB),
                ElementsAre(700, 701, 702, 703, 700, 701, 702, 703));
    merger->addPhoto(bayerPhoto(100));
    EXPECT_EQ(merger->totalFrames1(), 1u);
    EXPECT_EQ(channelsOf(*merger->resultData(0, 0), bayer14RGGB)[0], 100);

    auto pro = MetalProRawPhotoMerger::make(
        makePhoto(rgba64LE, 2, 1,
                  [](std::size_t x, std::size_t, std::size_t c) {
                      return std::uint16_t(c == 3 ? 65535 : 1000 * (x + 1) + c);
                  }),
        false, rawCustomizer);
    ASSERT_TRUE(pro);
    EXPECT_EQ(pro->totalFrames1(), 0u);
    EXPECT_THAT(channelsOf(*pro->resultData(0, 0), rgba64LE),
                ElementsAre(1000, 1001, 1002, 65535, 2000, 2001, 2002, 65535));
}

TEST(RawAveraging, RefusesOtherSizesAndStaysBusyAfterAFailedPass) {
    auto merger = MetalRAWPhotoMerger::make(bayerPhoto(10), true, rawCustomizer);
    ConsoleCapture console;
    merger->addPhoto(bayerPhoto(10, 2, 4));
    EXPECT_EQ(console.text(), "Metal Problem\n");
    {
        platform::compute::Faults faults;
        faults.commandBuffersBeforeFailure = 0;
        platform::compute::ScopedFaults scoped(faults);
        merger->addPhoto(bayerPhoto(10));
    }
    merger->addPhoto(bayerPhoto(10));
    EXPECT_EQ(console.text(),
              "Metal Problem\nFailed to create Metal command encoder\nMetal Problem\n");
    EXPECT_EQ(merger->totalFrames1(), 1u);
    EXPECT_FALSE(merger->resultData(0, 0));
}

TEST(RawAveraging, AMissingPhotoIsRefused) {
    auto merger = MetalRAWPhotoMerger::make(bayerPhoto(10), true, rawCustomizer);
    ConsoleCapture console;
    merger->addPhoto(nullptr);
    EXPECT_EQ(console.text(), "Metal Problem\n");
    EXPECT_EQ(merger->totalFrames1(), 1u);
    EXPECT_TRUE(merger->resultData(0, 0));
}

TEST(ProRawAveraging, ALongRunKeepsItsMean) {
    auto photoAt = [](std::uint16_t level) {
        return makePhoto(rgba64LE, 2, 1, [=](std::size_t, std::size_t, std::size_t c) {
            return std::uint16_t(c == 3 ? 65535 : level);
        });
    };
    auto merger =
        MetalProRawPhotoMerger::make(photoAt(13107), true, rawCustomizer); // 0.2 of full scale
    ASSERT_TRUE(merger);
    ConsoleCapture quiet;
    auto photo = photoAt(13107);
    for (int i = 1; i < 3000; ++i) {
        merger->addPhoto(photo);
    }
    EXPECT_EQ(merger->totalFrames1(), 3000u);
    const auto values = channelsOf(*merger->resultData(0, 0), rgba64LE);
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_NEAR(values[i], i % 4 == 3 ? 65535 : 13107, 1) << i;
    }
}

TEST(ProRawAveraging, RefusesABayerPhotoOfTheSameSize) {
    auto merger = MetalProRawPhotoMerger::make(
        makePhoto(rgba64LE, 2, 2, [](std::size_t, std::size_t, std::size_t) { return 5; }), true,
        rawCustomizer);
    ConsoleCapture console;
    merger->addPhoto(bayerPhoto(10, 2, 2));
    EXPECT_THAT(console.text(), HasSubstr("Metal Problem\n"));
    const auto values = channelsOf(*merger->resultData(0, 0), rgba64LE);
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i], i % 4 == 3 ? 65535 : 5) << i; // the file's alpha is opaque
    }
}

} // namespace
} // namespace qv
