#pragma once

#include "platform/formatting/WallTime.hpp"
#include "platform/media/RgbaImage.hpp"
#include "platform/sensors/Location.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace qv::platform {

// One picture of the photo library, as it was when it was fetched.
struct Asset {
    std::string localIdentifier; // a UUID, the asset's name for good
    WallTime creationDate;       // the Exif DateTimeOriginal, else when it was added
    int pixelWidth = 0;          // the full image, as stored
    int pixelHeight = 0;
    ImageOrientation orientation = ImageOrientation::up;
    std::optional<Location> location; // the {GPS} fix it carries, if any
    std::string originalFilename;     // the name of the file it was made from
    std::uintmax_t fileSize = 0;      // bytes
    std::filesystem::path file;       // its copy in the library

    friend bool operator==(const Asset& a, const Asset& b) {
        return a.localIdentifier == b.localIdentifier;
    }
};

} // namespace qv::platform
