#include "ImagingTestSupport.hpp"
#include "platform/imaging/ColorProfiles.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/ImageDecoding.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <cstring>
#include <gtest/gtest.h>

namespace qv::platform::imaging {
namespace {

namespace key = metadata;
using test::makeBayer;
using test::rawMetadata;

bool samePixels(const PixelBuffer& a, const PixelBuffer& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.pixelFormat() != b.pixelFormat()) {
        return false;
    }
    const std::size_t rowBytes = a.width() * bytesPerPixel(a.pixelFormat());
    for (std::size_t y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.row<std::byte>(y), b.row<std::byte>(y), rowBytes) != 0) {
            return false;
        }
    }
    return true;
}

RgbaImage gradient(std::size_t w, std::size_t h, int bits, ColorSpace space = ColorSpace::sRGB) {
    RgbaImage image(w, h, bits, space);
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            const unsigned values[4] = {unsigned(x * 37 + y), unsigned(y * 53), unsigned(x ^ y),
                                        unsigned(200 + x)};
            for (std::size_t c = 0; c < 4; ++c) {
                if (bits == 8) {
                    image.row8(y)[x * 4 + c] = std::uint8_t(values[c]);
                } else {
                    image.row16(y)[x * 4 + c] = std::uint16_t(values[c] * 257 + c);
                }
            }
        }
    }
    return image;
}

TEST(Dng, BayerSamplesAndLevelsReadBackExactly) {
    for (FourCharCode format : {pixelformat::bayer14RGGB, pixelformat::bayer14GRBG,
                                pixelformat::bayer14BGGR, pixelformat::bayer14GBRG}) {
        SCOPED_TRACE(fourCharCodeText(format));
        auto buffer = makeBayer(37, 20, format);
        const auto file = encodeDng(*buffer, rawMetadata(528, 16383, {0.5, 1.0, 0.75}));
        ASSERT_TRUE(file) << file.error();
        EXPECT_EQ(fileKind(*file), FileKind::dng);
        const auto raw = decodeDng(*file);
        ASSERT_TRUE(raw) << raw.error();
        EXPECT_TRUE(samePixels(*buffer, *raw->pixelBuffer));
        const MetadataDictionary* dng = raw->metadata.dictionary(key::dngGroup);
        ASSERT_NE(dng, nullptr);
        EXPECT_EQ(dng->find(key::dngBlackLevel)->integer(), 528);
        EXPECT_EQ(dng->find(key::dngWhiteLevel)->integer(), 16383);
        const auto neutral = dng->find(key::dngAsShotNeutral)->numbers();
        ASSERT_TRUE(neutral);
        ASSERT_EQ(neutral->size(), 3u);
        EXPECT_NEAR((*neutral)[0], 0.5, 1e-6);
        EXPECT_NEAR((*neutral)[2], 0.75, 1e-6);
        EXPECT_EQ(dng->find(key::dngColorMatrix1)->numbers()->size(), 9u);
        EXPECT_EQ(raw->metadata.find(key::pixelWidth)->integer(), 37);
    }
}

TEST(Dng, LinearRawKeepsColourAndDropsAlpha) {
    auto buffer = PixelBuffer::make(9, 5, pixelformat::rgba64LE);
    for (std::size_t y = 0; y < 5; ++y) {
        auto* row = buffer->row<std::uint16_t>(y);
        for (std::size_t x = 0; x < 9; ++x) {
            row[x * 4] = std::uint16_t(x * 7000);
            row[x * 4 + 1] = std::uint16_t(y * 9000 + 1);
            row[x * 4 + 2] = std::uint16_t(65535 - x * 100);
            row[x * 4 + 3] = 1234; // not kept: files have no alpha
        }
    }
    const auto file = encodeDng(*buffer, {});
    ASSERT_TRUE(file) << file.error();
    const auto raw = decodeDng(*file);
    ASSERT_TRUE(raw) << raw.error();
    ASSERT_EQ(raw->pixelBuffer->pixelFormat(), pixelformat::rgba64LE);
    for (std::size_t y = 0; y < 5; ++y) {
        for (std::size_t x = 0; x < 9; ++x) {
            const auto* in = buffer->row<std::uint16_t>(y) + x * 4;
            const auto* out = raw->pixelBuffer->row<std::uint16_t>(y) + x * 4;
            EXPECT_EQ(in[0], out[0]);
            EXPECT_EQ(in[1], out[1]);
            EXPECT_EQ(in[2], out[2]);
            EXPECT_EQ(out[3], 65535);
        }
    }
    EXPECT_EQ(raw->metadata.dictionary(key::dngGroup)->find(key::dngWhiteLevel)->integer(), 65535);
}

TEST(Dng, RefusesWhatItCannotWriteOrRead) {
    auto bgra = PixelBuffer::make(4, 4, pixelformat::bgra32);
    EXPECT_FALSE(encodeDng(*bgra, {}));
    auto bayer = makeBayer(4, 4, pixelformat::bayer14RGGB);
    EXPECT_FALSE(encodeDng(*bayer, rawMetadata(16383, 1000, {1, 1, 1})));
    const FileData garbage{'I', 'I', 42, 0, 1, 2, 3};
    EXPECT_FALSE(decodeDng(garbage));
    const auto tiff = encodeTiff(gradient(3, 3, 8), {});
    ASSERT_TRUE(tiff);
    const auto notDng = decodeDng(*tiff);
    EXPECT_FALSE(notDng);
    EXPECT_NE(notDng.error().find("DNGVersion"), std::string::npos);
}

TEST(Tiff, EightAndSixteenBitsRoundTrip) {
    for (int bits : {8, 16}) {
        for (bool alpha : {true, false}) {
            SCOPED_TRACE(::testing::Message() << bits << " bits, alpha " << alpha);
            const RgbaImage image = gradient(13, 7, bits, ColorSpace::displayP3);
            const auto file = encodeTiff(image, {}, {.keepAlpha = alpha});
            ASSERT_TRUE(file) << file.error();
            EXPECT_EQ(fileKind(*file), FileKind::tiff);
            const auto back = decodeTiff(*file);
            ASSERT_TRUE(back) << back.error();
            EXPECT_EQ(back->colorSpace, ColorSpace::displayP3);
            RgbaImage expected = image;
            if (!alpha) {
                for (std::size_t y = 0; y < 7; ++y) {
                    for (std::size_t x = 0; x < 13; ++x) {
                        if (bits == 8) {
                            expected.row8(y)[x * 4 + 3] = 255;
                        } else {
                            expected.row16(y)[x * 4 + 3] = 65535;
                        }
                    }
                }
            }
            EXPECT_TRUE(*back == expected);
        }
    }
}

TEST(Tiff, ProcessedBgraBufferBecomesRgb) {
    auto buffer = PixelBuffer::make(3, 2, pixelformat::bgra32);
    auto* p = buffer->row<std::uint8_t>(1);
    p[4] = 10; // B
    p[5] = 20; // G
    p[6] = 30; // R
    p[7] = 255;
    const auto file = encodeTiff(*buffer, {});
    ASSERT_TRUE(file) << file.error();
    const auto image = decodeTiff(*file);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->row8(1)[4], 30);
    EXPECT_EQ(image->row8(1)[5], 20);
    EXPECT_EQ(image->row8(1)[6], 10);
    EXPECT_EQ(image->row8(1)[7], 255);
    auto bayer = makeBayer(4, 4, pixelformat::bayer14RGGB);
    EXPECT_FALSE(encodeTiff(*bayer, MetadataDictionary{}));
}

TEST(Jpeg, RoundTripsWithProfileAndOrientation) {
    RgbaImage image(16, 16, 8, ColorSpace::displayP3);
    for (std::size_t y = 0; y < 16; ++y) {
        for (std::size_t x = 0; x < 16; ++x) {
            auto px = image.row8(y).subspan(x * 4, 4);
            px[0] = 200;
            px[1] = 100;
            px[2] = 50;
            px[3] = 255;
        }
    }
    MetadataDictionary metadata;
    metadata.dictionary(key::tiffGroup).set(key::tiffOrientation, 6);
    const auto file = encodeJpeg(image, 95, metadata);
    ASSERT_TRUE(file) << file.error();
    EXPECT_EQ(fileKind(*file), FileKind::jpeg);
    const auto back = decodeJpeg(*file);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(back->colorSpace, ColorSpace::displayP3);
    EXPECT_EQ(back->orientation, ImageOrientation::right);
    const auto mean = areaAverage(*back);
    ASSERT_TRUE(mean);
    EXPECT_NEAR((*mean)[0], 200 / 255.0, 0.02);
    EXPECT_NEAR((*mean)[1], 100 / 255.0, 0.02);
    EXPECT_NEAR((*mean)[2], 50 / 255.0, 0.02);
    EXPECT_DOUBLE_EQ((*mean)[3], 1.0);
}

TEST(Codecs, APhotosOwnOrientationIsTheFilesInEveryFormat) {
    MetadataDictionary photo;
    photo.set(key::orientation, 6); // held upright: the stored rows turn a quarter
    const RgbaImage image = gradient(16, 8, 8);
    const auto jpeg = encodeJpeg(image, 90, photo);
    ASSERT_TRUE(jpeg) << jpeg.error();
    EXPECT_EQ(decodeJpeg(*jpeg)->orientation, ImageOrientation::right);
    const auto tiff = encodeTiff(image, photo);
    ASSERT_TRUE(tiff) << tiff.error();
    EXPECT_EQ(decodeTiff(*tiff)->orientation, ImageOrientation::right);

    // The {TIFF} group's orientation wins; without either the rows show as stored.
    MetadataDictionary both = photo;
    both.dictionary(key::tiffGroup).set(key::tiffOrientation, 3);
    EXPECT_EQ(pictureOrientation(both), 3);
    EXPECT_EQ(decodeJpeg(*encodeJpeg(image, 90, both))->orientation, ImageOrientation::down);
    EXPECT_EQ(decodeTiff(*encodeTiff(image, {}))->orientation, ImageOrientation::up);
    MetadataDictionary odd;
    odd.set(key::orientation, 9);
    EXPECT_EQ(pictureOrientation(odd), 1);
}

TEST(Jpeg, CorruptDataIsAnErrorNotACrash) {
    FileData data = *encodeJpeg(gradient(32, 32, 8), 80, {});
    data.resize(data.size() / 2);
    data[3] ^= 0x55;
    const auto back = decodeJpeg(data);
    // libjpeg may pad a truncated stream; what matters is a clean outcome.
    if (!back) {
        EXPECT_NE(back.error().find("JPEG"), std::string::npos);
    }
    EXPECT_FALSE(decodeJpeg(FileData{1, 2, 3}));
    EXPECT_FALSE(decodeImage(FileData{1, 2, 3}));
}

TEST(Metadata, ExifTiffAndGpsReadBack) {
    MetadataDictionary metadata = test::resultMetadata();
    auto& exif = metadata.dictionary(key::exifGroup);
    exif.set(key::exifISOSpeedRatings, MetadataList{MetadataValue(400)});
    exif.set(key::exifFNumber, 1.8);
    metadata.dictionary(key::gpsGroup).set(key::gpsImgDirection, 271.25);

    const auto bayer = makeBayer(8, 8, pixelformat::bayer14RGGB);
    const FileData files[] = {*encodeDng(*bayer, metadata),
                              *encodeTiff(gradient(4, 4, 8), metadata),
                              *encodeJpeg(gradient(4, 4, 8), 90, metadata)};
    for (const FileData& file : files) {
        const auto read = readMetadata(file);
        ASSERT_TRUE(read) << read.error();
        const auto* e = read->dictionary(key::exifGroup);
        const auto* t = read->dictionary(key::tiffGroup);
        const auto* g = read->dictionary(key::gpsGroup);
        ASSERT_TRUE(e && t && g);
        EXPECT_DOUBLE_EQ(*e->find(key::exifExposureTime)->number(), 0.008);
        EXPECT_DOUBLE_EQ(*e->find(key::exifFNumber)->number(), 1.8);
        ASSERT_TRUE(e->contains(key::exifISOSpeedRatings));
        EXPECT_EQ(e->find(key::exifISOSpeedRatings)->numbers(), std::vector<double>{400});
        EXPECT_EQ(*t->find(key::tiffSoftware)->string(), "Quarn Vesil 1.0.0");
        EXPECT_EQ(*t->find(key::tiffImageDescription)->string(),
                  "LT mode 12 frames in 12s 53% battery");
        EXPECT_NEAR(*g->find(key::gpsLatitude)->number(), 33.9, 1e-7);
        EXPECT_NEAR(*g->find(key::gpsLongitude)->number(), 18.4, 1e-7);
        EXPECT_EQ(*g->find(key::gpsLatitudeRef)->string(), "S");
        EXPECT_EQ(g->find(key::gpsAltitude)->integer(), 3);
        EXPECT_EQ(g->find(key::gpsAltitudeRef)->integer(), 1);
        EXPECT_EQ(*g->find(key::gpsTimeStamp)->string(), "21:59:59.500000");
        EXPECT_EQ(*g->find(key::gpsDateStamp)->string(), "2024:03:31");
        EXPECT_EQ(*g->find(key::gpsVersion)->string(), "2.2.0.0");
        EXPECT_DOUBLE_EQ(*g->find(key::gpsImgDirection)->number(), 271.25);
    }
}

TEST(Metadata, RewritingReplacesAndKeepsTheImage) {
    MetadataDictionary first;
    first.dictionary(key::exifGroup).set(key::exifExposureTime, 0.00798);
    first.dictionary(key::tiffGroup).set(key::tiffImageDescription, "Initial frame");
    const auto bayer = makeBayer(16, 6, pixelformat::bayer14BGGR);
    const auto dng = encodeDng(*bayer, first);
    ASSERT_TRUE(dng);
    MetadataDictionary second;
    second.dictionary(key::exifGroup).set(key::exifExposureTime, 20);
    const auto rewritten = withMetadata(*dng, second);
    ASSERT_TRUE(rewritten) << rewritten.error();
    const auto raw = decodeDng(*rewritten);
    ASSERT_TRUE(raw) << raw.error();
    EXPECT_TRUE(samePixels(*bayer, *raw->pixelBuffer));
    EXPECT_DOUBLE_EQ(
        *raw->metadata.dictionary(key::exifGroup)->find(key::exifExposureTime)->number(), 20.0);
    EXPECT_EQ(*raw->metadata.dictionary(key::tiffGroup)->find(key::tiffImageDescription)->string(),
              "Initial frame");
    EXPECT_FALSE(withMetadata(FileData{0, 1, 2, 3}, second));
}

TEST(ColorProfiles, EmbeddedProfilesOpenInLcms) {
    EXPECT_EQ(profileDescription(iccProfile(ColorSpace::displayP3)), "Display P3");
    EXPECT_EQ(colorSpaceOfProfile(iccProfile(ColorSpace::linearSRGB)), ColorSpace::linearSRGB);
    EXPECT_EQ(colorSpaceOfProfile(FileData{1, 2, 3}), ColorSpace::sRGB);
    EXPECT_FALSE(profileDescription(FileData{1, 2, 3}));
}

TEST(ColorProfiles, ConversionKeepsGreyAndAlpha) {
    RgbaImage image(2, 1, 16, ColorSpace::sRGB);
    for (std::size_t c = 0; c < 3; ++c) {
        image.row16(0)[c] = 32768;
        image.row16(0)[4 + c] = c == 0 ? 65535 : 0; // pure red
    }
    image.row16(0)[3] = 1000;
    convertColorSpace(image, ColorSpace::displayP3);
    EXPECT_EQ(image.colorSpace, ColorSpace::displayP3);
    EXPECT_NEAR(image.row16(0)[0], 32768, 80);
    EXPECT_NEAR(image.row16(0)[2], 32768, 80);
    EXPECT_EQ(image.row16(0)[3], 1000);
    // sRGB red lies inside P3: less than full P3 red, some green.
    EXPECT_LT(image.row16(0)[4], 65000);
    EXPECT_GT(image.row16(0)[5], 5000);
}

TEST(AreaAverage, MeansOverRectangles) {
    RgbaImage image(4, 2, 8);
    image.row8(0)[0] = 255;
    image.row8(1)[4 * 3 + 1] = 255;
    const auto all = areaAverage(image);
    ASSERT_TRUE(all);
    EXPECT_DOUBLE_EQ((*all)[0], 1.0 / 8);
    EXPECT_DOUBLE_EQ((*all)[1], 1.0 / 8);
    const auto corner = areaAverage(image, PixelRect{3, 1, 1, 1});
    EXPECT_DOUBLE_EQ((*corner)[1], 1.0);
    EXPECT_FALSE(areaAverage(image, PixelRect{3, 1, 2, 1}));
    EXPECT_FALSE(areaAverage(image, PixelRect{0, 0, 0, 1}));
    EXPECT_FALSE(areaAverage(RgbaImage{}));
}

} // namespace
} // namespace qv::platform::imaging
