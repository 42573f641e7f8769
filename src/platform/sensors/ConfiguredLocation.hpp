#pragma once

#include "platform/sensors/Location.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

// The fix the desktop reports as the phone's position, from --location or QV_LOCATION:
//   "lat,lon[,alt[,heading]]"   e.g. "-33.8568,151.2153,-12.5,270"
// latitude within [-90, 90], longitude within [-180, 180], altitude in metres (negative
// below sea level), heading in degrees within [0, 360). Decimal points, no spaces.
struct ConfiguredLocation {
    LocationCoordinate coordinate;
    double altitude = 0;
    std::optional<double> heading;

    // On a malformed value, nothing, and `error` says why in one line.
    static std::optional<ConfiguredLocation> parse(std::string_view text, std::string& error);
};

} // namespace qv::platform
