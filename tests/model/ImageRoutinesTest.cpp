#include "model/ImageRoutines.hpp"

#include "platform/capture/CapturedPhotoFactory.hpp"

#include <gtest/gtest.h>

#include <cstring>

using namespace qv;
using namespace qv::platform;

TEST(ImageRoutines, PixelBufferPictureSwapsBgraIntoRgba) {
    auto buffer = PixelBuffer::make(3, 2, pixelformat::bgra32);
    const std::uint8_t pixel[4] = {10, 20, 30, 255}; // B, G, R, A
    std::memcpy(buffer->row<std::uint8_t>(1) + 8, pixel, 4);
    const auto image = cgImage(buffer);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitsPerChannel(), 8);
    const auto row = image->row8(1);
    EXPECT_EQ((std::array{row[8], row[9], row[10], row[11]}),
              (std::array<std::uint8_t, 4>{30, 20, 10, 255}));
    EXPECT_EQ(buffer->lockCount(), 0);
}

TEST(ImageRoutines, PixelBufferPictureKeepsSixteenBitsAndRefusesMosaics) {
    auto wide = PixelBuffer::make(2, 2, pixelformat::rgba64LE);
    wide->row<std::uint16_t>(0)[1] = 40000;
    const auto image = cgImage(wide);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->row16(0)[1], 40000);
    EXPECT_FALSE(cgImage(PixelBuffer::make(2, 2, pixelformat::bayer14RGGB)));
    EXPECT_FALSE(cgImage(nullptr));
}

namespace {

// A dim ramp from 0.2 to 0.4 in every channel.
RgbaImage dimRamp() {
    RgbaImage image(64, 4, 8);
    for (std::size_t y = 0; y < image.height(); ++y) {
        for (std::size_t x = 0; x < image.width(); ++x) {
            const auto v = static_cast<std::uint8_t>(51 + x * 51 / 63);
            auto row = image.row8(y);
            row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = v;
            row[x * 4 + 3] = 255;
        }
    }
    return image;
}

} // namespace

TEST(ImageRoutines, AutoAdjustmentStretchesADimImageToTheFullRange) {
    const RgbaImage adjusted = autoAdjusted(dimRamp());
    EXPECT_LE(adjusted.row8(0)[0], 2);
    EXPECT_GE(adjusted.row8(0)[63 * 4], 253);
    EXPECT_EQ(adjusted.row8(0)[3], 255); // alpha untouched
    // An image that already spans its range has nothing to adjust.
    EXPECT_EQ(autoAdjusted(adjusted), adjusted);
    // A flat image has no range to stretch.
    RgbaImage flat(8, 8, 8);
    EXPECT_EQ(autoAdjusted(flat), flat);
}

TEST(ImageRoutines, FiltersRunInOrderAndOnesWithoutOutputAreSkipped) {
    std::vector<std::string> calls;
    auto recording = [&](std::string name, bool gives) {
        return imaging::ImageFilter{name, [&calls, name, gives](const RgbaImage& in) {
                                        calls.push_back(name);
                                        return gives ? std::optional<RgbaImage>(in)
                                                     : std::optional<RgbaImage>();
                                    }};
    };
    const RgbaImage image = dimRamp();
    EXPECT_EQ(
        autoAdjusted(image, {recording("a", true), recording("b", false), recording("c", true)}),
        image);
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(autoAdjusted(image, {}), image);
}

TEST(ImageRoutines, NeutralRawImageDevelopsOurDngAndRefusesOtherData) {
    auto photo = makeSyntheticPhoto({.width = 32, .height = 24, .level = 0.3, .noise = 0});
    const auto dng = photo->fileDataRepresentation();
    ASSERT_TRUE(dng) << dng.error();
    const auto image = neutralRAWImage(*dng);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->colorSpace, ColorSpace::linearSRGB);
    EXPECT_EQ(image->bitsPerChannel(), 16);
    EXPECT_GT(image->width(), 0u);
    const std::vector<std::uint8_t> garbage(100, 7);
    EXPECT_FALSE(neutralRAWImage(garbage));
}
