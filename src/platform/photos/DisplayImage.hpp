#pragma once
// Pictures for display, as the image manager hands them out and the camera's preview
// shows them: 8 bits per channel, a DNG developed at half size, scaled down (never up)
// by averaging. Safe to call from any thread.

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"

namespace qv::platform {

// The file as an 8-bit image: JPEG and TIFF as stored, a DNG developed at half size; the
// rows as stored, with the file's orientation, so the picture is shown upright.
imaging::Result<RgbaImage> decodeForDisplay(imaging::FileBytes file);

// `image` scaled by `factor` (at most 1: never enlarged), each output pixel the mean of the
// pixels it covers; at least one pixel a side. Colour space and orientation are kept.
RgbaImage scaledDown(const RgbaImage& image, double factor);

} // namespace qv::platform
