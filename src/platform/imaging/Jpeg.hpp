#pragma once

#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/media/RgbaImage.hpp"

namespace qv::platform::imaging {

// Baseline JPEG through libjpeg-turbo: quality 1 to 100 (clamped), the image's
// colour space embedded as an ICC profile, alpha dropped, 16-bit images
// rounded to 8 bits; the metadata written as ExifMetadata.hpp describes.
Result<FileData> encodeJpeg(const RgbaImage& image, int quality,
                            const MetadataDictionary& metadata);

// An 8-bit RGBA image (alpha opaque), rows as stored; colour space from the
// embedded profile, orientation from the Exif data.
Result<RgbaImage> decodeJpeg(FileBytes file);

} // namespace qv::platform::imaging
