#include "platform/photos/detail/AssetContents.hpp"

#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/photos/DisplayImage.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace qv::platform::detail {

namespace {

namespace key = metadata;

// Exif dates ("2024:03:14 21:30:05") carry no zone: they are the camera's local time.
std::optional<WallTime> exifDate(const MetadataDictionary& metadata) {
    const MetadataDictionary* exif = metadata.dictionary(key::exifGroup);
    const MetadataValue* value = exif != nullptr ? exif->find(key::exifDateTimeOriginal) : nullptr;
    if (value == nullptr || value->string() == nullptr) {
        return std::nullopt;
    }
    std::tm parts{};
    if (std::sscanf(value->string()->c_str(), "%d:%d:%d %d:%d:%d", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec) != 6) {
        return std::nullopt;
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    parts.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&parts);
    if (seconds == static_cast<std::time_t>(-1)) {
        return std::nullopt;
    }
    return WallTime(std::chrono::seconds(seconds));
}

std::optional<double> signedNumber(const MetadataDictionary& gps, const char* valueKey,
                                   const char* refKey, const char* negativeRef) {
    const MetadataValue* value = gps.find(valueKey);
    const std::optional<double> number = value != nullptr ? value->number() : std::nullopt;
    if (!number) {
        return std::nullopt;
    }
    const MetadataValue* ref = gps.find(refKey);
    const bool negative =
        ref != nullptr && ((ref->string() && *ref->string() == negativeRef) || ref->integer() == 1);
    return negative ? -std::abs(*number) : *number;
}

std::optional<Location> gpsFix(const MetadataDictionary& metadata, std::optional<WallTime> date) {
    const MetadataDictionary* gps = metadata.dictionary(key::gpsGroup);
    if (gps == nullptr) {
        return std::nullopt;
    }
    const auto latitude = signedNumber(*gps, key::gpsLatitude, key::gpsLatitudeRef, "S");
    const auto longitude = signedNumber(*gps, key::gpsLongitude, key::gpsLongitudeRef, "W");
    if (!latitude || !longitude) {
        return std::nullopt;
    }
    Location location;
    location.coordinate = {*latitude, *longitude};
    location.altitude = signedNumber(*gps, key::gpsAltitude, key::gpsAltitudeRef, "").value_or(0);
    location.timestamp = date.value_or(WallTime{});
    if (!location.coordinate.isValid()) {
        return std::nullopt;
    }
    return location;
}

const char* extensionOf(imaging::FileKind kind) {
    switch (kind) {
    case imaging::FileKind::dng:
        return "DNG";
    case imaging::FileKind::jpeg:
        return "JPG";
    case imaging::FileKind::tiff:
        return "TIF";
    case imaging::FileKind::unknown:
        break;
    }
    return nullptr;
}

} // namespace

imaging::Result<AssetContents> readAssetContents(imaging::FileBytes file) {
    const imaging::FileKind kind = imaging::fileKind(file);
    AssetContents contents;
    if (const char* extension = extensionOf(kind)) {
        contents.extension = extension;
    } else {
        return imaging::Result<AssetContents>::failure("not a DNG, JPEG or TIFF file");
    }
    imaging::Result<RgbaImage> image = decodeForDisplay(file);
    if (!image) {
        return imaging::Result<AssetContents>::failure(image.error());
    }
    const imaging::Result<MetadataDictionary> metadata = imaging::readMetadata(file);
    const MetadataDictionary none;
    const MetadataDictionary& tags = metadata ? *metadata : none;
    contents.dateTimeOriginal = exifDate(tags);
    contents.location = gpsFix(tags, contents.dateTimeOriginal);

    // The full size: what the file says, else what was decoded (a DNG at half size).
    const int scale = kind == imaging::FileKind::dng ? 2 : 1;
    const MetadataValue* width = tags.find(key::pixelWidth);
    const MetadataValue* height = tags.find(key::pixelHeight);
    contents.pixelWidth = static_cast<int>(
        width && width->integer() ? *width->integer() : std::int64_t(image->width() * scale));
    contents.pixelHeight = static_cast<int>(
        height && height->integer() ? *height->integer() : std::int64_t(image->height() * scale));
    contents.orientation = image->orientation;

    const double longest = static_cast<double>(std::max(image->width(), image->height()));
    const RgbaImage thumbnail = scaledDown(*image, kThumbnailSide / longest);
    imaging::Result<imaging::FileData> jpeg = imaging::encodeJpeg(thumbnail, 85, {});
    if (!jpeg) {
        return imaging::Result<AssetContents>::failure(jpeg.error());
    }
    contents.thumbnailJpeg = std::move(*jpeg);
    return contents;
}

} // namespace qv::platform::detail
