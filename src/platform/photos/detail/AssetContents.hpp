#pragma once
// Internal: what the library learns from a picture's bytes when it takes it in.

#include "platform/formatting/WallTime.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/RgbaImage.hpp"
#include "platform/sensors/Location.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform::detail {

struct AssetContents {
    std::string extension;                    // "DNG", "JPG" or "TIF", by the contents
    std::optional<WallTime> dateTimeOriginal; // read as local time
    std::optional<Location> location;         // from {GPS}: south, west, below sea level negative
    int pixelWidth = 0;
    int pixelHeight = 0;
    ImageOrientation orientation = ImageOrientation::up;
    std::vector<std::uint8_t> thumbnailJpeg; // at most 512 pixels a side; may be empty
};

inline constexpr double kThumbnailSide = 512;

// Reads and decodes a picture, with its thumbnail; why not, when it is none this library can
// show.
imaging::Result<AssetContents> readAssetContents(imaging::FileBytes file);

// What a row needs but its thumbnail, from the picture's tags alone: its pixels are not
// decoded (the thumbnail stays empty), unless the tags give no size; then as
// readAssetContents.
imaging::Result<AssetContents> readAssetDetails(imaging::FileBytes file);

// The thumbnail of a picture: a JPEG of at most kThumbnailSide pixels a side.
imaging::Result<std::vector<std::uint8_t>> makeThumbnail(imaging::FileBytes file);

} // namespace qv::platform::detail
