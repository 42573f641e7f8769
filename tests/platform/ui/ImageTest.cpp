// Bitmap images: pictures of the media layer turned upright, converted to sRGB and
// made once per image object; large pictures drawn from a reduced copy.

#include "TestScenes.hpp"
#include "platform/imaging/ColorProfiles.hpp"
#include "platform/ui/drawing/ImageBitmaps.hpp"
#include "platform/ui/scene/ViewTree.hpp"
#include "platform/ui/views/Views.hpp"

#include <array>
#include <gtest/gtest.h>

namespace qv::platform::ui {
namespace {

using testing::scene;

using testing::kBlue, testing::kGreen, testing::kRed, testing::kWhite;

// A picture stored 4 x 2 pixels whose corners are red, green (top), blue, white (bottom).
std::shared_ptr<RgbaImage> corners(ImageOrientation orientation) {
    auto image = std::make_shared<RgbaImage>(4, 2, 8);
    const auto set = [&](std::size_t x, std::size_t y, std::array<std::uint8_t, 4> rgba) {
        std::copy(rgba.begin(), rgba.end(), image->row8(y).begin() + long(x * 4));
    };
    for (std::size_t x = 0; x < 4; ++x) {
        set(x, 0, {0, 0, 0, 255});
        set(x, 1, {0, 0, 0, 255});
    }
    set(0, 0, {255, 0, 0, 255});
    set(3, 0, {0, 255, 0, 255});
    set(0, 1, {0, 0, 255, 255});
    set(3, 1, {255, 255, 255, 255});
    image->orientation = orientation;
    return image;
}

TEST(MediaImage, OrientationTurnsThePictureUprightAndSetsItsSizeInPoints) {
    struct Case {
        ImageOrientation orientation;
        std::uint32_t topLeft, topRight;
    } cases[] = {{ImageOrientation::up, kRed, kGreen},
                 {ImageOrientation::upMirrored, kGreen, kRed},
                 {ImageOrientation::down, kWhite, kBlue},
                 {ImageOrientation::downMirrored, kBlue, kWhite},
                 {ImageOrientation::leftMirrored, kRed, kBlue},
                 {ImageOrientation::right, kBlue, kRed},
                 {ImageOrientation::rightMirrored, kWhite, kGreen},
                 {ImageOrientation::left, kGreen, kWhite}};
    for (const auto& c : cases) {
        const bool turned = swapsSides(c.orientation);
        ViewTree t(Image(std::shared_ptr<const RgbaImage>(corners(c.orientation))),
                   scene(turned ? 2 : 4, turned ? 4 : 2, 1));
        const Rect frame = t.get(Query::kind("Image")).frame();
        EXPECT_EQ(frame.size(), (turned ? Size{2, 4} : Size{4, 2}));
        const RenderedImage picture = t.render();
        EXPECT_EQ(picture.at(0, 0), c.topLeft) << int(c.orientation);
        EXPECT_EQ(picture.at(picture.width - 1, 0), c.topRight) << int(c.orientation);
    }
}

TEST(MediaImage, ScaleIsPixelsPerPointAndANullImageTakesNoSpace) {
    auto image = corners(ImageOrientation::right);
    image->scale = 2;
    ViewTree t(HStack({Image(std::shared_ptr<const RgbaImage>(image)),
                       Image(std::shared_ptr<const RgbaImage>()).testTag("none")},
                      VerticalAlignment::center, 0),
               scene(10, 10, 2));
    EXPECT_EQ(t.get(Query::kind("Image")).frame().size(), (Size{1, 2}));
    EXPECT_EQ(t.get(Query::tag("none")).frame().size(), (Size{0, 0}));
}

// One pixel of the upright bitmap as straight 8-bit R, G, B.
std::array<int, 3> rgbOf(const Bitmap& b, int x, int y) {
    const std::uint32_t p = b.pixels()[y * b.width() + x];
    return {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
}

TEST(MediaImage, DepthAndColourSpaceAreConvertedToEightBitSRGB) {
    // Linear light at half intensity is sRGB 188.
    RgbaImage linear(1, 1, 16, ColorSpace::linearSRGB);
    const std::array<std::uint16_t, 4> half = {32768, 32768, 32768, 65535};
    std::ranges::copy(half, linear.row16(0).begin());
    const auto grey = rgbOf(bitmapFromImage(linear), 0, 0);
    EXPECT_NEAR(grey[0], 188, 1);
    EXPECT_EQ(grey[0], grey[2]);

    // An sRGB colour written in Display P3 comes back as itself.
    RgbaImage p3(1, 1, 16, ColorSpace::sRGB);
    const std::array<std::uint16_t, 4> orange = {200 * 257, 100 * 257, 50 * 257, 65535};
    std::ranges::copy(orange, p3.row16(0).begin());
    imaging::convertColorSpace(p3, ColorSpace::displayP3);
    EXPECT_NE(p3.row16(0)[0], orange[0]) << "P3 writes the colour with other numbers";
    const auto back = rgbOf(bitmapFromImage(p3), 0, 0);
    EXPECT_NEAR(back[0], 200, 1);
    EXPECT_NEAR(back[1], 100, 1);
    EXPECT_NEAR(back[2], 50, 1);
}

TEST(MediaImage, OneImageObjectIsConvertedOnce) {
    auto image = std::make_shared<const RgbaImage>(64, 48, 16, ColorSpace::displayP3);
    const Bitmap first = bitmapOf(image);
    EXPECT_EQ(first.width(), 64);
    EXPECT_EQ(bitmapOf(image).pixels(), first.pixels()) << "kept while the object lives";
    auto equalPixels = std::make_shared<const RgbaImage>(*image);
    EXPECT_NE(bitmapOf(equalPixels).pixels(), first.pixels()) << "another object";
}

TEST(Bitmap, AReducedCopyAveragesTheAreaEachPixelCoversAndIsKept) {
    // Rows of 3 pixels, 0, 90 and 180 grey (opaque), reduced to 2 across: the middle
    // pixel is shared half and half.
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < 2; ++y) {
        for (std::uint32_t v : {0u, 90u, 180u}) {
            pixels.push_back(0xff000000u | v << 16 | v << 8 | v);
        }
    }
    const Bitmap b = Bitmap::fromArgb(3, 2, pixels, 3);
    const Bitmap half = b.reducedTo(2, 1);
    ASSERT_EQ(half.width(), 2);
    ASSERT_EQ(half.height(), 1);
    EXPECT_EQ(rgbOf(half, 0, 0)[0], 30);  // (0 + 90 / 2) / 1.5
    EXPECT_EQ(rgbOf(half, 1, 0)[0], 150); // (90 / 2 + 180) / 1.5
    EXPECT_EQ(half.pixels()[0] >> 24, 255u);
    EXPECT_DOUBLE_EQ(half.scale(), 2) << "the same points";
    EXPECT_EQ(b.reducedTo(2, 1).pixels(), half.pixels()) << "reduced once";
    EXPECT_EQ(b.reducedTo(5, 5).pixels(), b.pixels()) << "never enlarged";
}

TEST(MediaImage, ALargePictureDrawnSmallShowsItsAverage) {
    // A 1-pixel checkerboard of 800 x 600 fitted into 100 x 75 points: mid grey, no moiré.
    auto image = std::make_shared<RgbaImage>(800, 600, 8);
    for (std::size_t y = 0; y < 600; ++y) {
        auto row = image->row8(y);
        for (std::size_t x = 0; x < 800; ++x) {
            const std::uint8_t v = (x + y) % 2 == 0 ? 255 : 0;
            std::fill_n(row.begin() + long(x * 4), 3, v);
            row[x * 4 + 3] = 255;
        }
    }
    ViewTree t(Image(std::shared_ptr<const RgbaImage>(image)).resizable().frame(100, 75),
               scene(100, 75, 1));
    const RenderedImage picture = t.render();
    for (const auto& [x, y] : {std::pair{0, 0}, {50, 37}, {99, 74}}) {
        EXPECT_NEAR(int((picture.at(x, y) >> 8) & 255), 128, 2);
    }
}

} // namespace
} // namespace qv::platform::ui
