#include "camera/HistogramProcessor.hpp"

#include "platform/imaging/PixelBufferImage.hpp"

#include <gtest/gtest.h>
#include <numeric>
#include <random>

namespace qv {
namespace {

using platform::RgbaImage;

std::uint64_t sum(const std::vector<std::uint64_t>& bins) {
    return std::accumulate(bins.begin(), bins.end(), std::uint64_t{0});
}

RgbaImage randomImage(std::size_t width, std::size_t height, unsigned seed) {
    RgbaImage image(width, height, 8);
    std::mt19937 random(seed);
    for (std::size_t y = 0; y < height; ++y) {
        auto row = image.row8(y);
        for (std::size_t i = 0; i < row.size(); ++i) {
            row[i] = i % 4 == 3 ? 255 : std::uint8_t(random());
        }
    }
    return image;
}

TEST(HistogramProcessor, ARedAndABluePixelFillTheirBins) {
    RgbaImage image(2, 1, 8);
    auto row = image.row8(0);
    const std::uint8_t pixels[] = {255, 0, 0, 255, 0, 0, 255, 255};
    std::copy(std::begin(pixels), std::end(pixels), row.begin());

    const auto histogram = HistogramProcessor().calculateHistogram(image);

    ASSERT_TRUE(histogram);
    ASSERT_EQ(histogram->red.size(), 256u);
    ASSERT_EQ(histogram->green.size(), 256u);
    ASSERT_EQ(histogram->blue.size(), 256u);
    for (std::size_t bin = 0; bin < 256; ++bin) {
        const std::uint64_t ends = bin == 0 || bin == 255 ? 1 : 0;
        EXPECT_EQ(histogram->red[bin], ends) << bin;
        EXPECT_EQ(histogram->green[bin], bin == 0 ? 2u : 0u) << bin;
        EXPECT_EQ(histogram->blue[bin], ends) << bin;
    }
}

TEST(HistogramProcessor, CountsMatchEveryPixelOfOddSizedFrames) {
    HistogramProcessor processor;
    for (const auto& [width, height] : {std::pair{1u, 1u}, {7u, 3u}, {33u, 17u}, {640u, 5u}}) {
        const RgbaImage image = randomImage(width, height, width * 31 + height);
        std::array<std::vector<std::uint64_t>, 3> expected;
        for (auto& bins : expected) {
            bins.assign(256, 0);
        }
        for (std::size_t y = 0; y < height; ++y) {
            const auto row = image.row8(y);
            for (std::size_t x = 0; x < width; ++x) {
                for (std::size_t c = 0; c < 3; ++c) {
                    ++expected[c][row[4 * x + c]];
                }
            }
        }

        const auto histogram = processor.calculateHistogram(image);

        ASSERT_TRUE(histogram);
        EXPECT_EQ(histogram->red, expected[0]) << width << "x" << height;
        EXPECT_EQ(histogram->green, expected[1]) << width << "x" << height;
        EXPECT_EQ(histogram->blue, expected[2]) << width << "x" << height;
        EXPECT_EQ(sum(histogram->red), std::uint64_t(width) * height);
    }
}

TEST(HistogramProcessor, AnEarlierResultKeepsItsCounts) {
    HistogramProcessor processor;
    const auto first = processor.calculateHistogram(randomImage(16, 16, 1));
    ASSERT_TRUE(first);
    const Histogram copy = *first;

    RgbaImage white(4, 4, 8);
    for (std::size_t y = 0; y < 4; ++y) {
        std::fill(white.row8(y).begin(), white.row8(y).end(), 255);
    }
    const auto second = processor.calculateHistogram(white);

    ASSERT_TRUE(second);
    EXPECT_EQ(first->red, copy.red);
    EXPECT_EQ(first->blue, copy.blue);
    EXPECT_EQ(second->red[255], 16u);
    EXPECT_EQ(sum(second->green), 16u);
}

TEST(HistogramProcessor, AnEmptyImageGivesNoHistogram) {
    HistogramProcessor processor;
    EXPECT_FALSE(processor.calculateHistogram(RgbaImage()));
    EXPECT_FALSE(processor.calculateHistogram(RgbaImage(0, 10, 8)));
}

TEST(HistogramProcessor, TranslucentAndSixteenBitPixelsAreCountedAsPremultipliedBytes) {
    RgbaImage translucent(2, 1, 8);
    const std::uint8_t pixels[] = {200, 100, 255, 128, 10, 20, 30, 255};
    std::copy(std::begin(pixels), std::end(pixels), translucent.row8(0).begin());
    RgbaImage deep(1, 1, 16);
    const std::uint16_t deepPixel[] = {65535, 32896, 0, 65535};
    std::copy(std::begin(deepPixel), std::end(deepPixel), deep.row16(0).begin());
    HistogramProcessor processor;

    const auto premultiplied = processor.calculateHistogram(translucent);
    const auto eightBit = processor.calculateHistogram(deep);

    ASSERT_TRUE(premultiplied);
    EXPECT_EQ(premultiplied->red[100], 1u); // 200 x 128 / 255, rounded
    EXPECT_EQ(premultiplied->green[50], 1u);
    EXPECT_EQ(premultiplied->blue[128], 1u);
    EXPECT_EQ(premultiplied->red[10], 1u); // the opaque pixel as it is
    ASSERT_TRUE(eightBit);
    EXPECT_EQ(eightBit->red[255], 1u);
    EXPECT_EQ(eightBit->green[128], 1u);
    EXPECT_EQ(eightBit->blue[0], 1u);
}

// A live frame's counts, read in its 'BGRA' pixels, are those of the RGBA image it converts to.
TEST(HistogramProcessor, ALiveFrameCountsAsTheImageItConvertsTo) {
    HistogramProcessor processor;
    for (const auto& [width, height] : {std::pair{1u, 1u}, {33u, 17u}, {640u, 5u}}) {
        auto frame = platform::PixelBuffer::make(width, height, platform::pixelformat::bgra32);
        std::mt19937 random(width + height);
        for (std::size_t y = 0; y < height; ++y) {
            std::uint8_t* row = frame->row<std::uint8_t>(y);
            for (std::size_t i = 0; i < 4 * width; ++i) {
                // Every third row holds translucent pixels, to be premultiplied.
                row[i] = i % 4 == 3 && y % 3 != 0 ? 255 : std::uint8_t(random());
            }
        }
        const auto image = platform::imaging::imageFromPixelBuffer(*frame);
        ASSERT_TRUE(image);
        const auto expected = processor.calculateHistogram(*image);
        const auto counted = processor.calculateHistogram(*frame);
        ASSERT_TRUE(counted);
        EXPECT_EQ(counted->red, expected->red) << width << "x" << height;
        EXPECT_EQ(counted->green, expected->green) << width << "x" << height;
        EXPECT_EQ(counted->blue, expected->blue) << width << "x" << height;
    }
    auto deep = platform::PixelBuffer::make(3, 2, platform::pixelformat::rgba64LE);
    EXPECT_EQ(sum(processor.calculateHistogram(*deep)->red), 6u); // through its image
    EXPECT_FALSE(processor.calculateHistogram(
        *platform::PixelBuffer::make(4, 4, platform::pixelformat::bayer14RGGB)));
}

} // namespace
} // namespace qv
