#include "platform/imaging/RawDevelopment.hpp"

#include "ImagingTestSupport.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ImageDecoding.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/imaging/TiffFileWriter.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace qv::platform::imaging {
namespace {

FileData greyDng(double level) {
    const std::vector<double> neutral{0.5, 1.0, 0.7};
    auto buffer = test::makeGreyBayer(64, 48, pixelformat::bayer14RGGB, level, neutral, 528, 16383);
    return *encodeDng(*buffer, test::rawMetadata(528, 16383, neutral));
}

TEST(RawDevelopment, GreySceneDevelopsNeutralThroughTheAsShotNeutral) {
    const FileData dng = greyDng(0.18);
    for (ColorSpace space : {ColorSpace::sRGB, ColorSpace::displayP3, ColorSpace::linearSRGB}) {
        const auto image = developRaw(dng, {.colorSpace = space, .bitsPerChannel = 16});
        ASSERT_TRUE(image) << image.error();
        EXPECT_EQ(image->width(), 64u);
        EXPECT_EQ(image->height(), 48u);
        EXPECT_EQ(image->colorSpace, space);
        const auto mean = *areaAverage(*image, PixelRect{8, 8, 48, 32});
        EXPECT_NEAR(mean[0], mean[1], 0.01);
        EXPECT_NEAR(mean[2], mean[1], 0.01);
        EXPECT_DOUBLE_EQ(mean[3], 1.0);
        if (space == ColorSpace::linearSRGB) {
            // Neutral settings: no brightening, the grey stays near 18 %.
            EXPECT_NEAR(mean[1], 0.18, 0.03);
        } else {
            // The sRGB curve lifts 18 % grey to about 46 %.
            EXPECT_NEAR(mean[1], 0.46, 0.05);
        }
    }
}

TEST(RawDevelopment, HalfSizeAndEightBits) {
    const auto image = developRaw(greyDng(0.5), {.bitsPerChannel = 8, .halfSize = true});
    ASSERT_TRUE(image) << image.error();
    EXPECT_EQ(image->width(), 32u);
    EXPECT_EQ(image->height(), 24u);
    EXPECT_EQ(image->bitsPerChannel(), 8);
}

TEST(RawDevelopment, BrighterSceneDevelopsBrighter) {
    const auto dark = *developRaw(greyDng(0.1), {.colorSpace = ColorSpace::linearSRGB});
    const auto bright = *developRaw(greyDng(0.4), {.colorSpace = ColorSpace::linearSRGB});
    const double d = (*areaAverage(dark))[1];
    const double b = (*areaAverage(bright))[1];
    EXPECT_NEAR(b / d, 4.0, 0.3);
}

TEST(RawDevelopment, RefusesOtherData) {
    EXPECT_FALSE(developRaw(FileData{1, 2, 3, 4}));
    EXPECT_FALSE(developRaw(greyDng(0.2), {.bitsPerChannel = 12}));
}

TEST(ImageDecoding, DecodesEachOfOurKinds) {
    const auto image = decodeImage(greyDng(0.3), {.halfSize = true});
    ASSERT_TRUE(image) << image.error();
    EXPECT_EQ(image->width(), 32u);
}

// A 4 x 2 grey TIFF (a layout libtiff's RGBA reader decodes) with the samples 10, 20, ... 80
// and the given Orientation tag.
FileData greyTiff(ImageOrientation orientation) {
    auto writer = detail::TiffFileWriter::start(
        {4, 2, 8, 1, PHOTOMETRIC_MINISBLACK, std::uint16_t(orientation)}, 0);
    const std::uint8_t samples[] = {10, 20, 30, 40, 50, 60, 70, 80};
    EXPECT_TRUE(writer->writeRows(samples, 4));
    return *writer->finish();
}

// Nothing a decoder hands out is turned: the rows come as stored and the image's orientation
// is the file's tag, so a picture is turned once, where it is shown.
TEST(ImageDecoding, RowsComeAsStoredWithTheFilesOrientation) {
    const std::vector<double> neutral{0.5, 1.0, 0.7};
    MetadataDictionary metadata = test::rawMetadata(528, 16383, neutral);
    metadata.dictionary(metadata::tiffGroup).set(metadata::tiffOrientation, 6);
    const auto bayer =
        test::makeGreyBayer(64, 48, pixelformat::bayer14RGGB, 0.3, neutral, 528, 16383);
    for (const bool halfSize : {false, true}) {
        const auto developed = developRaw(*encodeDng(*bayer, metadata), {.halfSize = halfSize});
        ASSERT_TRUE(developed) << developed.error();
        EXPECT_EQ(developed->width(), halfSize ? 32u : 64u);
        EXPECT_EQ(developed->orientation, ImageOrientation::right);
    }
    EXPECT_EQ(developRaw(greyDng(0.3))->orientation, ImageOrientation::up);

    for (const auto orientation :
         {ImageOrientation::up, ImageOrientation::down, ImageOrientation::right,
          ImageOrientation::left, ImageOrientation::upMirrored}) {
        const auto image = decodeTiff(greyTiff(orientation));
        ASSERT_TRUE(image) << image.error();
        EXPECT_EQ(image->orientation, orientation);
        ASSERT_EQ(image->width(), 4u);
        EXPECT_EQ(int(image->row8(0)[0]), 10) << int(orientation);
        EXPECT_EQ(int(image->row8(0)[12]), 40) << int(orientation);
        EXPECT_EQ(int(image->row8(1)[0]), 50) << int(orientation);
    }
}

} // namespace
} // namespace qv::platform::imaging
