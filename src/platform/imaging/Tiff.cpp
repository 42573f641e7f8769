#include "platform/imaging/Tiff.hpp"

#include "platform/imaging/ColorProfiles.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/MemoryTiff.hpp"
#include "platform/imaging/TiffFileWriter.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <tiffio.h>
#include <vector>

namespace qv::platform::imaging {

namespace {

struct Layout {
    std::uint32_t width;
    std::uint32_t height;
    std::uint16_t bits;
    std::uint16_t channels;
    ColorSpace colorSpace;
};

// Writes rows that `fill` produces (one row of packed samples at a time).
Result<FileData> writeTiff(const Layout& layout, const MetadataDictionary& metadata,
                           const std::function<void(std::uint32_t y, std::uint8_t* row)>& fill) {
    const auto block = exifBlock(metadata, layout.colorSpace);
    if (!block) {
        return Result<FileData>::failure("TIFF: " + block.error());
    }
    const FileData& icc = iccProfile(layout.colorSpace);
    auto file =
        detail::TiffFileWriter::start({layout.width, layout.height, layout.bits, layout.channels,
                                       PHOTOMETRIC_RGB, pictureOrientation(metadata)},
                                      icc.size() + block->size());
    if (!file) {
        return Result<FileData>::failure("TIFF: libtiff could not start a file");
    }
    TIFF* tif = file->tiff();
    if (layout.channels == 4) {
        const std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, std::uint32_t(icc.size()), icc.data());
    if (!file->addExifBlock(*block) || !file->writeRows(fill)) {
        return Result<FileData>::failure("TIFF: " + file->lastError());
    }
    auto data = file->finish();
    if (!data) {
        return Result<FileData>::failure("TIFF: " + data.error());
    }
    return data;
}

template <class T>
void copyRow(std::span<const T> src, std::size_t width, bool keepAlpha, std::uint8_t* out) {
    auto* dst = reinterpret_cast<T*>(out);
    if (keepAlpha) {
        std::memcpy(dst, src.data(), width * 4 * sizeof(T));
        return;
    }
    for (std::size_t x = 0; x < width; ++x) {
        std::memcpy(dst + x * 3, src.data() + x * 4, 3 * sizeof(T));
    }
}

} // namespace

Result<FileData> encodeTiff(const RgbaImage& image, const MetadataDictionary& metadata,
                            TiffOptions options) {
    if (image.empty()) {
        return Result<FileData>::failure("TIFF: the image is empty");
    }
    const auto bits = std::uint16_t(image.bitsPerChannel());
    const Layout layout{std::uint32_t(image.width()), std::uint32_t(image.height()), bits,
                        std::uint16_t(options.keepAlpha ? 4 : 3), image.colorSpace};
    return writeTiff(layout, metadata, [&](std::uint32_t y, std::uint8_t* row) {
        if (bits == 8) {
            copyRow<std::uint8_t>(image.row8(y), image.width(), options.keepAlpha, row);
        } else {
            copyRow<std::uint16_t>(image.row16(y), image.width(), options.keepAlpha, row);
        }
    });
}

Result<FileData> encodeTiff(const PixelBuffer& bgra, const MetadataDictionary& metadata) {
    if (bgra.pixelFormat() != pixelformat::bgra32) {
        return Result<FileData>::failure("TIFF: pixel format '" +
                                         fourCharCodeText(bgra.pixelFormat()) + "' is not BGRA");
    }
    const Layout layout{std::uint32_t(bgra.width()), std::uint32_t(bgra.height()), 8, 3,
                        ColorSpace::sRGB};
    return writeTiff(layout, metadata, [&](std::uint32_t y, std::uint8_t* row) {
        const auto* src = bgra.row<std::uint8_t>(y);
        std::uint8_t* dst = row;
        for (std::size_t x = 0; x < bgra.width(); ++x) {
            dst[x * 3] = src[x * 4 + 2];
            dst[x * 3 + 1] = src[x * 4 + 1];
            dst[x * 3 + 2] = src[x * 4];
        }
    });
}

Result<RgbaImage> decodeTiff(FileBytes bytes) {
    auto file = detail::MemoryTiff::openForReading(bytes);
    if (!file) {
        return Result<RgbaImage>::failure("TIFF: not a TIFF file");
    }
    if (auto problem = file->imageProblem()) {
        return Result<RgbaImage>::failure("TIFF: " + *problem);
    }
    TIFF* tif = file->get();
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, samples = 0, photometric = 0, planar = PLANARCONFIG_CONTIG;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    std::uint32_t iccSize = 0;
    void* iccData = nullptr;
    ColorSpace space = ColorSpace::sRGB;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &iccData) == 1 && iccData) {
        space = colorSpaceOfProfile({static_cast<const std::uint8_t*>(iccData), iccSize});
    }
    const bool direct = photometric == PHOTOMETRIC_RGB && planar == PLANARCONFIG_CONTIG &&
                        (bits == 8 || bits == 16) && (samples == 3 || samples == 4);
    RgbaImage image(width, height, direct ? bits : 8, space);
    if (image.empty()) {
        return Result<RgbaImage>::failure("TIFF: bad image size");
    }
    image.orientation = file->orientation();
    if (!direct) {
        // libtiff's RGBA reader handles the other layouts: 8 bits, each pixel
        // packed as R | G << 8 | B << 16 | A << 24, which in a little-endian
        // machine's memory is the image's own R, G, B, A order. Asked for the
        // file's own orientation it flips nothing, so the rows stay as stored
        // and image.orientation shows them, as in the direct path. It stops at
        // the first error, so a cut or corrupt file is an error.
        static_assert(std::endian::native == std::endian::little);
        auto* raster = reinterpret_cast<std::uint32_t*>(image.row8(0).data());
        if (TIFFReadRGBAImageOriented(tif, width, height, raster,
                                      static_cast<int>(image.orientation), 1) != 1) {
            return Result<RgbaImage>::failure("TIFF: " + file->lastError());
        }
        return image;
    }
    std::vector<std::uint8_t> row(std::size_t(TIFFScanlineSize64(tif)));
    if (row.size() != std::size_t(width) * samples * bits / 8) {
        return Result<RgbaImage>::failure("TIFF: unexpected row size");
    }
    for (std::uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) != 1) {
            return Result<RgbaImage>::failure("TIFF: " + file->lastError());
        }
        if (bits == 8) {
            auto dst = image.row8(y);
            for (std::uint32_t x = 0; x < width; ++x) {
                std::memcpy(&dst[x * 4], &row[std::size_t(x) * samples], samples);
                if (samples == 3) {
                    dst[x * 4 + 3] = 255;
                }
            }
        } else {
            auto dst = image.row16(y);
            for (std::uint32_t x = 0; x < width; ++x) {
                std::memcpy(&dst[x * 4], &row[std::size_t(x) * samples * 2], samples * 2u);
                if (samples == 3) {
                    dst[x * 4 + 3] = 65535;
                }
            }
        }
    }
    return image;
}

} // namespace qv::platform::imaging
