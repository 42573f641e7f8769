#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

namespace key = metadata;

class FixedExposure : public PhotoFileDataCustomizer {
public:
    int calls = 0;
    MetadataDictionary replacementMetadata(const CapturedPhoto& photo) override {
        ++calls;
        MetadataDictionary m = photo.metadata();
        m.dictionary(key::exifGroup).set(key::exifExposureTime, 20.0);
        return m;
    }
};

double exposureIn(const imaging::FileData& file) {
    const auto metadata = imaging::readMetadata(file);
    return *metadata->dictionary(key::exifGroup)->find(key::exifExposureTime)->number();
}

TEST(CapturedPhoto, BayerPhotoEncodesItsCurrentPixelsAsDng) {
    auto photo = makeSyntheticPhoto({.width = 16, .height = 8});
    EXPECT_TRUE(photo->isRawPhoto());
    const auto before = photo->fileDataRepresentation();
    ASSERT_TRUE(before) << before.error();
    EXPECT_EQ(imaging::fileKind(*before), imaging::FileKind::dng);

    // A merger writes its result into the buffer: the next encoding has it.
    photo->pixelBuffer()->row<std::uint16_t>(3)[5] = 4321;
    const auto after = photo->fileDataRepresentation();
    const auto raw = imaging::decodeDng(*after);
    ASSERT_TRUE(raw) << raw.error();
    EXPECT_EQ(raw->pixelBuffer->row<std::uint16_t>(3)[5], 4321);
    EXPECT_NE(imaging::decodeDng(*before)->pixelBuffer->row<std::uint16_t>(3)[5], 4321);
    const auto* dng = raw->metadata.dictionary(key::dngGroup);
    EXPECT_EQ(dng->find(key::dngBlackLevel)->integer(), 528);
    EXPECT_DOUBLE_EQ(exposureIn(*after), 0.008);
}

TEST(CapturedPhoto, CustomizerMetadataAppliesToOneEncodingOnly) {
    auto photo = makeSyntheticPhoto({.width = 8, .height = 8});
    FixedExposure customizer;
    const auto custom = photo->fileDataRepresentation(customizer);
    ASSERT_TRUE(custom) << custom.error();
    EXPECT_EQ(customizer.calls, 1);
    EXPECT_DOUBLE_EQ(exposureIn(*custom), 20.0);
    EXPECT_DOUBLE_EQ(exposureIn(*photo->fileDataRepresentation()), 0.008);
    EXPECT_DOUBLE_EQ(
        *photo->metadata().dictionary(key::exifGroup)->find(key::exifExposureTime)->number(),
        0.008);
}

TEST(CapturedPhoto, ProcessedAndWideColourPhotos) {
    auto processed = makeSyntheticPhoto({.pixelFormat = pixelformat::bgra32, .level = 0.5});
    EXPECT_FALSE(processed->isRawPhoto());
    const auto tiff = processed->fileDataRepresentation();
    ASSERT_TRUE(tiff) << tiff.error();
    EXPECT_EQ(imaging::fileKind(*tiff), imaging::FileKind::tiff);
    const auto image = imaging::decodeTiff(*tiff);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 64u);
    EXPECT_NEAR(image->row8(10)[40], 128, 8);

    auto wide = makeSyntheticPhoto({.pixelFormat = pixelformat::rgba64LE});
    EXPECT_TRUE(wide->isRawPhoto());
    const auto dng = wide->fileDataRepresentation();
    ASSERT_TRUE(dng) << dng.error();
    EXPECT_EQ(imaging::decodeDng(*dng)->pixelBuffer->pixelFormat(), pixelformat::rgba64LE);
}

TEST(CapturedPhoto, WithoutPixelBufferThereIsNoFileData) {
    auto photo = makeSyntheticPhoto({.withPixelBuffer = false});
    EXPECT_EQ(photo->pixelBuffer(), nullptr);
    const auto data = photo->fileDataRepresentation();
    EXPECT_FALSE(data);
    EXPECT_FALSE(data.error().empty());
}

TEST(CapturedPhoto, FactoryIsDeterministicPerSeed) {
    const auto a = makeSyntheticPhoto({.seed = 7});
    const auto b = makeSyntheticPhoto({.seed = 7});
    const auto c = makeSyntheticPhoto({.seed = 8});
    EXPECT_EQ(*a->fileDataRepresentation(), *b->fileDataRepresentation());
    EXPECT_NE(*a->fileDataRepresentation(), *c->fileDataRepresentation());
    const auto bracket =
        makeSyntheticPhoto({.sequenceCount = 2,
                            .photoCount = 2,
                            .resolvedSettings = {42, 2},
                            .sourceDeviceType = CaptureDeviceType::builtInTelephotoCamera});
    EXPECT_EQ(bracket->sequenceCount(), 2);
    EXPECT_EQ(bracket->resolvedSettings(), (ResolvedPhotoSettings{42, 2}));
    EXPECT_EQ(bracket->sourceDeviceType(), CaptureDeviceType::builtInTelephotoCamera);
}

} // namespace
} // namespace qv::platform
