// The file data of synthetic photos as other programs see it: exiftool
// validates it, LibRaw develops the DNGs and reads back their raw samples.
#include "ImagingTestSupport.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/imaging/ImageDecoding.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

namespace qv::platform {
namespace {

using imaging::test::expectValid;
using imaging::test::runTool;

// The samples of a 16-bit binary PGM (big-endian), row after row.
std::vector<std::uint16_t> pgmSamples(const std::filesystem::path& path, std::size_t& width,
                                      std::size_t& height) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    unsigned maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get(); // the one blank after the header
    EXPECT_EQ(magic, "P5");
    EXPECT_EQ(maximum, 65535u);
    std::vector<std::uint16_t> samples(width * height);
    for (auto& sample : samples) {
        const int high = in.get();
        const int low = in.get();
        sample = std::uint16_t((high << 8) | low);
    }
    EXPECT_TRUE(in) << "short PGM " << path;
    return samples;
}

TEST(CapturedPhotoFiles, BayerPhotoDngValidatesDevelopsAndKeepsItsSamples) {
    imaging::test::TempFolder folder;
    const auto photo = makeSyntheticPhoto({.width = 64, .height = 48, .seed = 3});
    const auto dng = photo->fileDataRepresentation();
    ASSERT_TRUE(dng) << dng.error();
    const auto path = folder.write("photo.dng", *dng);
    expectValid(path);

    const auto developed = runTool("dcraw_emu", {"-T", "-w", path.string()});
    EXPECT_EQ(developed.exitCode, 0) << developed.output;
    std::ifstream tiffFile(path.string() + ".tiff", std::ios::binary);
    ASSERT_TRUE(tiffFile) << "dcraw_emu wrote no image: " << developed.output;
    const imaging::FileData tiff{std::istreambuf_iterator<char>(tiffFile), {}};
    const auto image = imaging::decodeImage(tiff);
    ASSERT_TRUE(image) << image.error();
    EXPECT_EQ(image->width(), 64u);
    EXPECT_EQ(image->height(), 48u);

    // LibRaw's own reading of the mosaic: every sample as stored.
    const auto raw = runTool("unprocessed_raw", {"-q", path.string()});
    EXPECT_EQ(raw.exitCode, 0) << raw.output;
    std::size_t width = 0;
    std::size_t height = 0;
    const auto samples = pgmSamples(path.string() + ".pgm", width, height);
    ASSERT_EQ(width, 64u);
    ASSERT_EQ(height, 48u);
    const PixelBuffer& buffer = *photo->pixelBuffer();
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            ASSERT_EQ(samples[y * width + x], buffer.row<std::uint16_t>(y)[x])
                << "at " << x << ", " << y;
        }
    }
}

TEST(CapturedPhotoFiles, WideColourAndProcessedPhotosValidate) {
    imaging::test::TempFolder folder;
    const auto wide = makeSyntheticPhoto({.pixelFormat = pixelformat::rgba64LE});
    const auto widePath = folder.write("wide.dng", *wide->fileDataRepresentation());
    expectValid(widePath);
    const auto developed = runTool("dcraw_emu", {"-T", "-w", widePath.string()});
    EXPECT_EQ(developed.exitCode, 0) << developed.output;

    const auto processed = makeSyntheticPhoto({.pixelFormat = pixelformat::bgra32});
    expectValid(folder.write("processed.tiff", *processed->fileDataRepresentation()));
}

} // namespace
} // namespace qv::platform
