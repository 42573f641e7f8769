#pragma once

#include "platform/imaging/AutoAdjustment.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/media/RgbaImage.hpp"

#include <memory>
#include <optional>
#include <vector>

namespace qv {

// The picture in a processed pixel buffer; nothing for a missing buffer or one
// that cannot be shown as it is (a Bayer mosaic).
std::optional<platform::RgbaImage> cgImage(const std::shared_ptr<platform::PixelBuffer>& buffer);

// The image passed through each filter in turn; a filter that gives nothing is
// skipped, so with no filters the image comes back unchanged. The first form
// uses the filters that analysis of the image suggests.
platform::RgbaImage autoAdjusted(const platform::RgbaImage& image);
platform::RgbaImage autoAdjusted(const platform::RgbaImage& image,
                                 const std::vector<platform::imaging::ImageFilter>& filters);

// Encoded RAW data (a DNG) developed with a neutral rendering: no exposure
// change, no shadow lift or contrast boost, no tone mapping, linear output
// with sRGB primaries. Nothing when the data cannot be opened.
std::optional<platform::RgbaImage> neutralRAWImage(platform::imaging::FileBytes data);

} // namespace qv
