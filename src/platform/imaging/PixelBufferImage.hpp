#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/media/RgbaImage.hpp"

namespace qv::platform::imaging {

// The picture in a processed pixel buffer as an RGBA image, for display and
// analysis of live frames: 'BGRA' gives 8 bits per channel, 'l64r' 16 bits.
// A Bayer mosaic is not a picture until it is developed, so it fails, as does
// any other format.
Result<RgbaImage> imageFromPixelBuffer(const PixelBuffer& buffer);

} // namespace qv::platform::imaging
