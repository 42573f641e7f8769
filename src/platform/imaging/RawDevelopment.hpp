#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"

namespace qv::platform::imaging {

// Develops a DNG (ours, or another camera's that LibRaw opens) with a neutral
// rendering: white balance from AsShotNeutral, the file's colour matrix, no
// exposure change, no automatic brightening, no highlight recovery or tone
// mapping; demosaicked by LibRaw (bilinear in half size, AHD at full size) and
// converted through lcms2 into the requested colour space. The rows stay as the
// sensor stored them (nothing is turned); the image's orientation is the file's
// Orientation tag, which shows them upright.
//
// libtiff checks the file first (a DNG whose images fit the reader limits of
// ImageLimits.hpp and the file's length); LibRaw then runs in a child process
// (qv-raw-developer, with its own memory and processor-time limits), so a file
// that crashes LibRaw gives an error here instead of ending the app.
struct DevelopOptions {
    ColorSpace colorSpace = ColorSpace::sRGB; // linearSRGB for linear output
    int bitsPerChannel = 16;                  // 8 or 16
    bool halfSize = false;                    // each 2x2 block becomes one pixel: fast
};

Result<RgbaImage> developRaw(FileBytes dng, DevelopOptions options = {});

} // namespace qv::platform::imaging
