#include "platform/media/PixelBuffer.hpp"

#include <gtest/gtest.h>

using namespace qv::platform;

TEST(PixelBuffer, RowsArePaddedTo64BytesAndStartAtZero) {
    auto buffer = PixelBuffer::make(33, 3, pixelformat::bayer14RGGB);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->bytesPerRow(), 128u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer->baseAddress()) % 64, 0u);
    for (std::size_t y = 0; y < 3; ++y) {
        for (std::size_t x = 0; x < 33; ++x) {
            EXPECT_EQ(buffer->row<std::uint16_t>(y)[x], 0);
        }
    }
    EXPECT_EQ(buffer->description(), "<PixelBuffer 33x3 'qRGG' bytesPerRow 128>");
}

TEST(PixelBuffer, RefusesUnknownFormatsAndImpossibleSizes) {
    EXPECT_FALSE(PixelBuffer::make(4, 4, fourCharCode("zzzz")));
    EXPECT_FALSE(PixelBuffer::make(0, 4, pixelformat::bgra32));
    EXPECT_FALSE(PixelBuffer::make(std::size_t{1} << 40, 4, pixelformat::bgra32));
}

TEST(PixelFormat, BayerPatternsAndSizes) {
    using enum CfaColor;
    EXPECT_EQ(bayerPattern(pixelformat::bayer14GRBG), (std::array{green, red, blue, green}));
    EXPECT_EQ(bayerPattern(pixelformat::bayer14BGGR), (std::array{blue, green, green, red}));
    EXPECT_FALSE(bayerPattern(pixelformat::bgra32));
    EXPECT_EQ(bytesPerPixel(pixelformat::rgba64LE), 8u);
    EXPECT_EQ(fourCharCodeText(pixelformat::bgra32), "BGRA");
    EXPECT_EQ(fourCharCodeText(0), "????");
}
