#include "platform/imaging/ImageDecoding.hpp"

#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/MemoryTiff.hpp"
#include "platform/imaging/Tiff.hpp"

#include <tiffio.h>

namespace qv::platform::imaging {

FileKind fileKind(FileBytes data) {
    if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        return FileKind::jpeg;
    }
    const bool little =
        data.size() >= 4 && data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0;
    const bool big =
        data.size() >= 4 && data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42;
    if (!little && !big) {
        return FileKind::unknown;
    }
    auto file = detail::MemoryTiff::openForReading(data);
    if (!file) {
        return FileKind::unknown;
    }
    std::uint8_t* version = nullptr;
    return TIFFGetField(file->get(), TIFFTAG_DNGVERSION, &version) == 1 ? FileKind::dng
                                                                        : FileKind::tiff;
}

Result<RgbaImage> decodeImage(FileBytes file, DevelopOptions raw) {
    switch (fileKind(file)) {
    case FileKind::jpeg:
        return decodeJpeg(file);
    case FileKind::tiff:
        return decodeTiff(file);
    case FileKind::dng:
        return developRaw(file, raw);
    case FileKind::unknown:
        break;
    }
    return Result<RgbaImage>::failure("image: not a JPEG, TIFF or DNG file");
}

std::optional<std::array<double, 4>> areaAverage(const RgbaImage& image,
                                                 std::optional<PixelRect> rect) {
    const PixelRect r = rect.value_or(PixelRect{0, 0, image.width(), image.height()});
    if (r.width == 0 || r.height == 0 || r.x > image.width() || r.y > image.height() ||
        r.width > image.width() - r.x || r.height > image.height() - r.y) {
        return std::nullopt;
    }
    std::array<double, 4> sums{};
    for (std::size_t y = r.y; y < r.y + r.height; ++y) {
        // Integer sums per row keep the total exact; a 16-bit row of 2^16
        // pixels fits easily in 64 bits.
        std::array<std::uint64_t, 4> row{};
        for (std::size_t x = r.x; x < r.x + r.width; ++x) {
            for (std::size_t c = 0; c < 4; ++c) {
                row[c] += image.bitsPerChannel() == 8 ? image.row8(y)[x * 4 + c]
                                                      : image.row16(y)[x * 4 + c];
            }
        }
        for (std::size_t c = 0; c < 4; ++c) {
            sums[c] += double(row[c]);
        }
    }
    const double scale = image.bitsPerChannel() == 8 ? 255.0 : 65535.0;
    const double count = double(r.width) * double(r.height);
    for (double& s : sums) {
        s /= count * scale;
    }
    return sums;
}

} // namespace qv::platform::imaging
