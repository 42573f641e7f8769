// Our files as other programs see them: exiftool validates and reads them,
// LibRaw's dcraw_emu develops our DNGs.
#include "ImagingTestSupport.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace qv::platform::imaging {
namespace {

namespace key = metadata;
using test::expectValid;
using test::runTool;

TEST(FileChecks, BayerDngValidatesAndDevelopsInLibRaw) {
    test::TempFolder folder;
    const auto buffer =
        test::makeGreyBayer(128, 96, pixelformat::bayer14GRBG, 0.3, {0.5, 1.0, 0.7}, 528, 16383);
    const auto dng = encodeDng(*buffer, test::resultMetadata());
    ASSERT_TRUE(dng) << dng.error();
    const auto path = folder.write("bayer.dng", *dng);
    expectValid(path);

    const auto run = runTool("dcraw_emu", {"-T", "-w", path.string()});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::ifstream developed(path.string() + ".tiff", std::ios::binary);
    ASSERT_TRUE(developed) << "dcraw_emu wrote no image: " << run.output;
    const FileData tiff{std::istreambuf_iterator<char>(developed), {}};
    const auto image = decodeTiff(tiff);
    ASSERT_TRUE(image) << image.error();
    EXPECT_EQ(image->width(), 128u);
    EXPECT_EQ(image->height(), 96u);
}

TEST(FileChecks, ExiftoolReadsOurTagsInTheirFileForms) {
    test::TempFolder folder;
    const auto buffer = test::makeBayer(32, 32, pixelformat::bayer14RGGB);
    const auto path = folder.write("tags.dng", *encodeDng(*buffer, test::resultMetadata()));
    const auto run =
        runTool("exiftool", {"-s", "-s", "-s", "-ExposureTime", "-Software", "-ImageDescription",
                             "-GPSVersionID", "-GPSLatitude#", "-GPSLatitudeRef", "-GPSAltitude#",
                             "-GPSAltitudeRef#", "-GPSTimeStamp", "-GPSDateStamp", "-BlackLevel",
                             "-WhiteLevel", "-CFAPattern", "-DNGVersion", path.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "1/125\n"
                          "Quarn Vesil 1.0.0\n"
                          "LT mode 12 frames in 12s 53% battery\n"
                          "2.2.0.0\n"
                          "-33.9\n" // the sign comes from the reference
                          "South\n"
                          "-3\n"
                          "1\n"
                          "21:59:59.5\n"
                          "2024:03:31\n"
                          "528\n"
                          "16383\n"
                          "[Red,Green][Green,Blue]\n"
                          "1.4.0.0\n");

    MetadataDictionary night;
    night.dictionary(key::exifGroup).set(key::exifExposureTime, 20);
    const auto nightPath = folder.write("night.dng", *encodeDng(*buffer, night));
    const auto nightRun = runTool("exiftool", {"-s3", "-ExposureTime", nightPath.string()});
    EXPECT_EQ(nightRun.output, "20\n");
}

TEST(FileChecks, LinearRawDngValidatesAndDevelops) {
    test::TempFolder folder;
    auto buffer = PixelBuffer::make(40, 30, pixelformat::rgba64LE);
    for (std::size_t y = 0; y < 30; ++y) {
        auto* row = buffer->row<std::uint16_t>(y);
        for (std::size_t x = 0; x < 40; ++x) {
            row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = std::uint16_t(x * 1500);
            row[x * 4 + 3] = 65535;
        }
    }
    const auto path = folder.write("linear.dng", *encodeDng(*buffer, test::resultMetadata()));
    expectValid(path);
    const auto run = runTool("dcraw_emu", {"-T", "-w", path.string()});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(std::filesystem::exists(path.string() + ".tiff")) << run.output;
}

TEST(FileChecks, TiffAndJpegValidateAndCarryTheirProfiles) {
    test::TempFolder folder;
    // exiftool wants a GPSProcessingMethod in TIFF files with GPS data; the
    // location services give none, so this check leaves GPS out.
    MetadataDictionary metadata = test::resultMetadata();
    metadata.erase(key::gpsGroup);
    RgbaImage image(24, 16, 16, ColorSpace::displayP3);
    const auto tiffPath =
        folder.write("result.tiff", *encodeTiff(image, metadata, {.keepAlpha = false}));
    expectValid(tiffPath);
    image = RgbaImage(24, 16, 8, ColorSpace::displayP3);
    const auto jpegPath = folder.write("result.jpg", *encodeJpeg(image, 90, metadata));
    expectValid(jpegPath);
    for (const auto& path : {tiffPath, jpegPath}) {
        const auto run =
            runTool("exiftool", {"-s3", "-ProfileDescription", "-ExposureTime", path.string()});
        EXPECT_EQ(run.output, "Display P3\n1/125\n") << path;
    }
}

TEST(FileChecks, FilesOfManyStripsValidateAndDevelop) {
    test::TempFolder folder;
    const auto buffer =
        test::makeGreyBayer(1001, 700, pixelformat::bayer14RGGB, 0.3, {0.5, 1.0, 0.7}, 528, 16383);
    const auto dngPath = folder.write("strips.dng", *encodeDng(*buffer, test::resultMetadata()));
    expectValid(dngPath);
    const auto run = runTool("dcraw_emu", {"-T", "-w", dngPath.string()});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(std::filesystem::exists(dngPath.string() + ".tiff")) << run.output;

    MetadataDictionary metadata = test::resultMetadata();
    metadata.erase(key::gpsGroup); // see TiffAndJpegValidateAndCarryTheirProfiles
    const RgbaImage image(1001, 300, 16, ColorSpace::sRGB);
    expectValid(folder.write("strips.tiff", *encodeTiff(image, metadata)));
}

} // namespace
} // namespace qv::platform::imaging
