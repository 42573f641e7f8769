// How our TIFF-based files are laid out as libtiff reads them back: strips
// of at most 256 KiB, samples exactly as written, metadata in its own
// directories whatever the layout of the buffer's rows.
#include "ImagingTestSupport.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/MemoryTiff.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/imaging/TiffFileWriter.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <cstring>
#include <gtest/gtest.h>
#include <tiffio.h>

namespace qv::platform::imaging {
namespace {

namespace key = metadata;

struct Strips {
    std::size_t count = 0;
    std::uint64_t largest = 0;
};

// The strips of the file's first directory, as libtiff sees them.
Strips stripsOf(const FileData& file) {
    const auto reader = detail::MemoryTiff::openForReading(file);
    EXPECT_NE(reader, nullptr);
    Strips strips;
    if (reader) {
        strips.count = TIFFNumberOfStrips(reader->get());
        for (std::size_t i = 0; i < strips.count; ++i) {
            strips.largest =
                std::max(strips.largest, TIFFGetStrileByteCount(reader->get(), std::uint32_t(i)));
        }
    }
    return strips;
}

TEST(FileWriting, LargeDngsAreWrittenInStripsAndReadBackExactly) {
    // 1536 samples make rows with no padding (written straight from the
    // buffer), 1501 padded ones (copied a strip at a time).
    for (const std::size_t width : {1536u, 1501u}) {
        SCOPED_TRACE(width);
        const auto buffer = test::makeGreyBayer(width, 700, pixelformat::bayer14BGGR, 0.3,
                                                {0.5, 1.0, 0.7}, 528, 16383);
        auto* row = buffer->row<std::uint16_t>(699);
        row[width - 1] = 16383; // the last sample of the last, short strip
        const auto file = encodeDng(*buffer, test::resultMetadata());
        ASSERT_TRUE(file) << file.error();
        const Strips strips = stripsOf(*file);
        EXPECT_GT(strips.count, 4u);
        EXPECT_LE(strips.largest, 256u * 1024);
        const auto raw = decodeDng(*file);
        ASSERT_TRUE(raw) << raw.error();
        for (std::size_t y = 0; y < 700; ++y) {
            ASSERT_EQ(std::memcmp(buffer->row<std::uint16_t>(y),
                                  raw->pixelBuffer->row<std::uint16_t>(y), width * 2),
                      0)
                << "row " << y;
        }
        const MetadataDictionary* exif = raw->metadata.dictionary(key::exifGroup);
        ASSERT_NE(exif, nullptr);
        EXPECT_DOUBLE_EQ(*exif->find(key::exifExposureTime)->number(), 0.008);
        const MetadataDictionary* gps = raw->metadata.dictionary(key::gpsGroup);
        ASSERT_NE(gps, nullptr);
        EXPECT_EQ(*gps->find(key::gpsLatitudeRef)->string(), "S");
        EXPECT_EQ(*raw->metadata.dictionary(key::tiffGroup)->find(key::tiffSoftware)->string(),
                  "Quarn Vesil 1.0.0");
        // The file holds the samples, its directories and little else.
        EXPECT_LT(file->size(), width * 700 * 2 + 8192);
    }
}

TEST(FileWriting, TiffStripsHoldWholeRowsOfEveryDepth) {
    for (const int bits : {8, 16}) {
        RgbaImage image(1000, 300, bits, ColorSpace::sRGB);
        for (std::size_t y = 0; y < 300; ++y) {
            for (std::size_t i = 0; i < 4000; ++i) {
                bits == 8 ? void(image.row8(y)[i] = std::uint8_t(i + y))
                          : void(image.row16(y)[i] = std::uint16_t(i * 16 + y));
            }
        }
        const auto file = encodeTiff(image, test::resultMetadata(), {.keepAlpha = false});
        ASSERT_TRUE(file) << file.error();
        const Strips strips = stripsOf(*file);
        EXPECT_GT(strips.count, 1u);
        EXPECT_LE(strips.largest, 256u * 1024);
        const auto back = decodeTiff(*file);
        ASSERT_TRUE(back) << back.error();
        for (std::size_t y = 0; y < 300; y += 37) {
            for (std::size_t x = 0; x < 1000; x += 11) {
                for (std::size_t c = 0; c < 3; ++c) {
                    const std::size_t i = x * 4 + c;
                    ASSERT_EQ(bits == 8 ? back->row8(y)[i] : back->row16(y)[i],
                              bits == 8 ? image.row8(y)[i] : image.row16(y)[i]);
                }
            }
        }
    }
}

TEST(FileWriting, AnExifBlockThatIsNotWellFormedIsRefused) {
    const auto block = exifBlock(test::resultMetadata());
    ASSERT_TRUE(block) << block.error();
    const auto refused = [](FileData bytes) {
        auto writer = detail::TiffFileWriter::start({4, 4, 8, 1, PHOTOMETRIC_MINISBLACK, 1}, 0);
        return writer && !writer->addExifBlock(bytes) && !writer->lastError().empty();
    };
    FileData bigEndian = *block;
    bigEndian[0] = bigEndian[1] = 'M';
    EXPECT_TRUE(refused(bigEndian));
    EXPECT_TRUE(refused(FileData(block->begin(), block->begin() + 20)));
    FileData pastTheEnd = *block;
    pastTheEnd[6] = 0x01; // the first directory 64 KiB on, beyond the block
    EXPECT_TRUE(refused(pastTheEnd));
    EXPECT_TRUE(refused({}));
}

} // namespace
} // namespace qv::platform::imaging
