#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"

namespace qv::platform::imaging {

// Develops a DNG (ours, or any LibRaw opens) with a neutral rendering: white
// balance from AsShotNeutral, the file's colour matrix, no exposure change, no
// automatic brightening, no highlight recovery or tone mapping; demosaicked by
// LibRaw (bilinear in half size, AHD at full size) and converted through
// lcms2 into the requested colour space.
struct DevelopOptions {
    ColorSpace colorSpace = ColorSpace::sRGB; // linearSRGB for linear output
    int bitsPerChannel = 16;                  // 8 or 16
    bool halfSize = false;                    // each 2x2 block becomes one pixel: fast
};

Result<RgbaImage> developRaw(FileBytes dng, DevelopOptions options = {});

} // namespace qv::platform::imaging
