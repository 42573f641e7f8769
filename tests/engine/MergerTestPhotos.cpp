#include "MergerTestPhotos.hpp"

#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/ImageDecoding.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <gtest/gtest.h>

namespace qv::testing {

using namespace platform;

PhotoPtr
makePhoto(FourCharCode format, std::size_t width, std::size_t height,
          const std::function<std::uint16_t(std::size_t, std::size_t, std::size_t)>& fill) {
    auto buffer = PixelBuffer::make(width, height, format);
    const std::size_t sampleBytes = format == pixelformat::bgra32 ? 1 : 2;
    const std::size_t channels = bytesPerPixel(format) / sampleBytes;
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            for (std::size_t c = 0; c < channels; ++c) {
                const std::uint16_t v = fill(x, y, c);
                if (sampleBytes == 1) {
                    buffer->row<std::uint8_t>(y)[x * channels + c] = std::uint8_t(v);
                } else {
                    buffer->row<std::uint16_t>(y)[x * channels + c] = v;
                }
            }
        }
    }
    CapturedPhoto::Properties properties;
    properties.pixelBuffer = buffer;
    properties.isRawPhoto = format != pixelformat::bgra32;
    properties.metadata.dictionary(metadata::exifGroup).set(metadata::exifExposureTime, 0.00798);
    return CapturedPhoto::make(std::move(properties));
}

PhotoPtr makeBayerPhoto(std::size_t width, std::size_t height,
                        const std::function<std::uint16_t(std::size_t, std::size_t)>& fill,
                        SyntheticPhotoOptions options) {
    options.width = width;
    options.height = height;
    auto photo = makeSyntheticPhoto(options);
    PixelBuffer& buffer = *photo->pixelBuffer();
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            buffer.row<std::uint16_t>(y)[x] = fill(x, y);
        }
    }
    return photo;
}

PhotoPtr solidColour(std::size_t width, std::size_t height, std::uint8_t b, std::uint8_t g,
                     std::uint8_t r) {
    const std::uint8_t channels[4] = {b, g, r, 255};
    return makePhoto(pixelformat::bgra32, width, height,
                     [&](std::size_t, std::size_t, std::size_t c) { return channels[c]; });
}

std::vector<std::uint16_t> channelsOf(const FileData& data, FourCharCode format) {
    std::vector<std::uint16_t> values;
    if (format == pixelformat::bgra32) {
        const auto image = imaging::decodeImage(data);
        EXPECT_TRUE(image) << image.error();
        for (std::size_t y = 0; image && y < image->height(); ++y) {
            const auto row = image->row8(y);
            for (std::size_t x = 0; x < image->width(); ++x) {
                const auto* rgba = &row[x * 4];
                values.insert(values.end(), {rgba[2], rgba[1], rgba[0], rgba[3]});
            }
        }
        return values;
    }
    const auto raw = imaging::decodeDng(data);
    EXPECT_TRUE(raw) << raw.error();
    if (!raw) {
        return values;
    }
    const PixelBuffer& pixels = *raw->pixelBuffer;
    const std::size_t perRow = pixels.width() * bytesPerPixel(pixels.pixelFormat()) / 2;
    for (std::size_t y = 0; y < pixels.height(); ++y) {
        const auto* row = pixels.row<std::uint16_t>(y);
        values.insert(values.end(), row, row + perRow);
    }
    return values;
}

std::vector<std::uint16_t> bayerSamplesOf(const std::optional<FileData>& data) {
    EXPECT_TRUE(data);
    return data ? channelsOf(*data, pixelformat::bayer14RGGB) : std::vector<std::uint16_t>{};
}

std::optional<double> exposureTimeOf(const FileData& data) {
    const auto metadata = imaging::readMetadata(data);
    if (!metadata) {
        return std::nullopt;
    }
    const auto* exif = metadata->dictionary(metadata::exifGroup);
    const auto* value = exif ? exif->find(metadata::exifExposureTime) : nullptr;
    return value ? value->number() : std::nullopt;
}

MetadataDictionary TwoSecondCustomizer::replacementMetadata(const CapturedPhoto& photo) {
    MetadataDictionary metadata = photo.metadata();
    metadata.dictionary(metadata::exifGroup).set(metadata::exifExposureTime, 2.0);
    return metadata;
}

} // namespace qv::testing
