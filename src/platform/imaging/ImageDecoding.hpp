#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "platform/media/RgbaImage.hpp"

#include <array>
#include <optional>

namespace qv::platform::imaging {

// Any file this layer writes as an RGBA image: JPEG and TIFF decoded as
// stored, DNG developed with `raw` (neutral, sRGB, 16 bits by default); the
// rows as stored and the file's orientation in the image.
Result<RgbaImage> decodeImage(FileBytes file, DevelopOptions raw = {});

struct PixelRect {
    std::size_t x = 0;
    std::size_t y = 0;
    std::size_t width = 0;
    std::size_t height = 0;
};

// The mean of each channel (R, G, B, A) over the rectangle (the whole image
// when none is given), in [0, 1]; nullopt when the rectangle is empty or does
// not lie inside the image.
std::optional<std::array<double, 4>> areaAverage(const RgbaImage& image,
                                                 std::optional<PixelRect> rect = std::nullopt);

} // namespace qv::platform::imaging
