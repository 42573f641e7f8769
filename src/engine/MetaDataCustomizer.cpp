#include "engine/MetaDataCustomizer.hpp"

#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <utility>

namespace qv {

MetaDataCustomizer& MetaDataCustomizer::shared() {
    static MetaDataCustomizer customizer;
    return customizer;
}

std::optional<double> MetaDataCustomizer::overwriteShutterSpeed() const {
    const double value = override.load();
    return std::isnan(value) ? std::nullopt : std::optional(value);
}

void MetaDataCustomizer::setOverwriteShutterSpeed(std::optional<double> seconds) {
    override.store(seconds && !std::isnan(*seconds) ? *seconds : std::nan(""));
}

platform::MetadataDictionary
MetaDataCustomizer::replacementMetadata(const platform::CapturedPhoto& photo) {
    namespace key = platform::metadata;
    platform::MetadataDictionary metadata = photo.metadata();
    const platform::MetadataDictionary* exif = std::as_const(metadata).dictionary(key::exifGroup);
    const platform::MetadataValue* time = exif ? exif->find(key::exifExposureTime) : nullptr;
    // Any number counts, also one stored as an integer (a 20 s exposure).
    const std::optional<double> t = time ? time->number() : std::nullopt;
    if (!t) {
        return metadata;
    }
    const auto& speeds = QVPhotoMath::allShutterSpeeds();
    const double normalized = overwriteShutterSpeed().value_or(
        QVPhotoMath::closestShutterSpeed(*t, speeds.front(), speeds.back()));
    platform::print("Shutter Speed:", *t);
    platform::print("Normalized Shutter Speed:", normalized);
    metadata.dictionary(key::exifGroup).set(key::exifExposureTime, normalized);
    return metadata;
}

} // namespace qv
