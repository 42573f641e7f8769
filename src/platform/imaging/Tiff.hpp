#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/media/RgbaImage.hpp"

namespace qv::platform::imaging {

// Uncompressed RGB or RGBA TIFF files with 8 or 16 bits per sample, the
// colour space's ICC profile embedded, and the metadata written as
// ExifMetadata.hpp describes.
struct TiffOptions {
    bool keepAlpha = true; // false writes RGB and drops alpha
};

Result<FileData> encodeTiff(const RgbaImage& image, const MetadataDictionary& metadata,
                            TiffOptions options = {});

// A processed photo's 'BGRA' pixel buffer as an 8-bit sRGB file, without
// alpha (camera frames are opaque).
Result<FileData> encodeTiff(const PixelBuffer& bgra, const MetadataDictionary& metadata);

// Reads a TIFF file: 8- and 16-bit RGB(A) as stored (alpha opaque where the
// file has none); any other layout libtiff knows as 8-bit RGBA. The rows come
// as stored (nothing is turned), the orientation from the file's tag; the
// colour space from the embedded profile.
Result<RgbaImage> decodeTiff(FileBytes file);

} // namespace qv::platform::imaging
