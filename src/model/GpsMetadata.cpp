#include "model/GpsMetadata.hpp"

#include "platform/formatting/DateFormatter.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <cmath>
#include <cstdint>

namespace qv {

namespace key = platform::metadata;

std::optional<platform::MetadataDictionary>
gpsDictionary(const platform::Location& location, const std::optional<platform::Heading>& heading) {
    const platform::LocationCoordinate& c = location.coordinate;
    if (!c.isValid() || !std::isfinite(location.altitude)) {
        return std::nullopt;
    }
    platform::MetadataDictionary gps;
    gps.set(key::gpsLatitude, std::fabs(c.latitude));
    gps.set(key::gpsLongitude, std::fabs(c.longitude));
    gps.set(key::gpsLatitudeRef, c.latitude < 0 ? "S" : "N");
    gps.set(key::gpsLongitudeRef, c.longitude < 0 ? "W" : "E");
    gps.set(key::gpsAltitude, platform::saturatingCast<std::int64_t>(std::fabs(location.altitude)));
    gps.set(key::gpsAltitudeRef, location.altitude < 0 ? 1 : 0);
    gps.set(key::gpsTimeStamp, utcString(location.timestamp, "HH:mm:ss.SSSSSS"));
    gps.set(key::gpsDateStamp, utcString(location.timestamp, "yyyy:MM:dd"));
    gps.set(key::gpsVersion, "2.2.0.0");
    if (heading) {
        gps.set(key::gpsImgDirection, heading->trueHeading);
        gps.set(key::gpsImgDirectionRef, "T");
    }
    return gps;
}

std::string utcString(platform::WallTime time, std::string_view pattern) {
    return platform::DateFormatter(pattern, platform::DateFormatter::Zone::utc).format(time);
}

} // namespace qv
