#pragma once

#include "model/Enumerations.hpp"
#include "platform/imaging/ImagingResult.hpp"

#include <string>

namespace qv {

// A result as it is stored for the chosen format: the bytes and the file extension.
struct LibraryFile {
    platform::imaging::FileData data;
    std::string extension; // "DNG", "JPG" or "TIF"
};

// Converts a run's result (a DNG, or the TIFF of a processed photo) to the chosen format:
//
//   format  result  stored as
//   RAW     DNG     the DNG unchanged, "DNG"
//   RAW     TIFF    the TIFF unchanged, "TIF" (there is no RAW to store)
//   JPEG    DNG     developed into Display P3, JPEG at quality 90, "JPG"
//   JPEG    TIFF    decoded, JPEG at quality 80, "JPG"
//   TIFF    DNG     developed into 16-bit sRGB, "TIF"
//   TIFF    TIFF    the TIFF unchanged, "TIF"
//
// A decoded and re-encoded picture keeps the result's Exif, TIFF and GPS tags (exposure
// time, Software, ImageDescription, the position); the DNG's own tags stay behind.
// Development and decoding keep the stored rows as they are, so the Orientation tag the
// result carries still applies, once.
// Fails with the reason when the data is neither a DNG nor a TIFF or does not decode.
// Runs on the caller's thread; developing a full-size DNG takes seconds.
platform::imaging::Result<LibraryFile> libraryFile(platform::imaging::FileData result,
                                                   SupportedImageFormat format);

} // namespace qv
