#include "platform/photos/detail/AssetContents.hpp"

#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/photos/DisplayImage.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace qv::platform::detail {

namespace {

namespace key = metadata;

// The moment a local time names, as mktime() gives it: of a time that comes twice (the hour
// the clocks go back) the first, of one that never comes (the hour they skip) the moment as
// many seconds after the skip's start. Not mktime() itself: with TZ unset it reads the zone
// again at every call (a look at /etc/localtime each time), and files are read on several
// threads at once. localtime_r() reads it once; the lock orders that first reading, and the
// conversions, between threads.
std::optional<std::time_t> localMoment(std::tm parts) {
    static std::mutex zone;
    const std::lock_guard lock(zone);
    const std::time_t asUtc = ::timegm(&parts);
    const auto offsetAt = [](std::time_t moment) -> std::optional<long> {
        std::tm local{};
        return ::localtime_r(&moment, &local) ? std::optional(local.tm_gmtoff) : std::nullopt;
    };
    constexpr std::time_t day = 86400;
    const auto before = offsetAt(asUtc - day);
    const auto after = offsetAt(asUtc + day);
    if (asUtc == static_cast<std::time_t>(-1) || !before || !after) {
        return std::nullopt;
    }
    std::optional<std::time_t> moment;
    for (const long offset : {*before, *after}) {
        const std::time_t candidate = asUtc - offset;
        if (offsetAt(candidate) == offset && (!moment || candidate < *moment)) {
            moment = candidate;
        }
    }
    return moment ? moment : asUtc - *before;
}

// Exif dates ("2024:03:14 21:30:05") carry no zone: they are the camera's local time. None
// for a date beyond what a WallTime holds.
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
    const std::optional<std::time_t> seconds = localMoment(parts);
    constexpr auto latest =
        std::chrono::duration_cast<std::chrono::seconds>(WallTime::duration::max());
    if (!seconds || std::chrono::seconds(*seconds) >= latest ||
        std::chrono::seconds(*seconds) <= -latest) {
        return std::nullopt;
    }
    return WallTime(std::chrono::seconds(*seconds));
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

using Contents = imaging::Result<AssetContents>;

// The picture's kind, by its contents; nothing when it is none this library shows.
Contents kindOf(imaging::FileBytes file) {
    AssetContents contents;
    if (const char* extension = extensionOf(imaging::fileKind(file))) {
        contents.extension = extension;
        return contents;
    }
    return Contents::failure("not a DNG, JPEG or TIFF file");
}

// The date, fix and orientation the tags give.
void readTags(const MetadataDictionary& tags, AssetContents& contents) {
    contents.dateTimeOriginal = exifDate(tags);
    contents.location = gpsFix(tags, contents.dateTimeOriginal);
    contents.orientation = static_cast<ImageOrientation>(imaging::pictureOrientation(tags));
}

imaging::Result<std::vector<std::uint8_t>> thumbnailOf(const RgbaImage& image) {
    const double longest = static_cast<double>(std::max(image.width(), image.height()));
    const RgbaImage thumbnail = scaledDown(image, kThumbnailSide / longest);
    return imaging::encodeJpeg(thumbnail, 85, {});
}

} // namespace

imaging::Result<AssetContents> readAssetDetails(imaging::FileBytes file) {
    Contents contents = kindOf(file);
    if (!contents) {
        return contents;
    }
    const imaging::Result<MetadataDictionary> metadata = imaging::readMetadata(file);
    const MetadataValue* width = metadata ? metadata->find(key::pixelWidth) : nullptr;
    const MetadataValue* height = metadata ? metadata->find(key::pixelHeight) : nullptr;
    if (!width || !width->integer() || !height || !height->integer()) {
        return readAssetContents(file); // a size only the decoded picture tells
    }
    readTags(*metadata, *contents);
    contents->pixelWidth = static_cast<int>(*width->integer());
    contents->pixelHeight = static_cast<int>(*height->integer());
    return contents;
}

imaging::Result<AssetContents> readAssetContents(imaging::FileBytes file) {
    Contents contents = kindOf(file);
    if (!contents) {
        return contents;
    }
    imaging::Result<RgbaImage> image = decodeForDisplay(file);
    if (!image) {
        return Contents::failure(image.error());
    }
    const imaging::Result<MetadataDictionary> metadata = imaging::readMetadata(file);
    const MetadataDictionary none;
    const MetadataDictionary& tags = metadata ? *metadata : none;
    readTags(tags, *contents);

    // The full size: what the file says, else what was decoded (a DNG at half size).
    const int scale = contents->extension == "DNG" ? 2 : 1;
    const MetadataValue* width = tags.find(key::pixelWidth);
    const MetadataValue* height = tags.find(key::pixelHeight);
    contents->pixelWidth = static_cast<int>(
        width && width->integer() ? *width->integer() : std::int64_t(image->width() * scale));
    contents->pixelHeight = static_cast<int>(
        height && height->integer() ? *height->integer() : std::int64_t(image->height() * scale));
    contents->orientation = image->orientation;

    imaging::Result<std::vector<std::uint8_t>> jpeg = thumbnailOf(*image);
    if (!jpeg) {
        return Contents::failure(jpeg.error());
    }
    contents->thumbnailJpeg = std::move(*jpeg);
    return contents;
}

imaging::Result<std::vector<std::uint8_t>> makeThumbnail(imaging::FileBytes file) {
    const imaging::Result<RgbaImage> image = decodeForDisplay(file);
    if (!image) {
        return imaging::Result<std::vector<std::uint8_t>>::failure(image.error());
    }
    return thumbnailOf(*image);
}

} // namespace qv::platform::detail
