#pragma once

#include "platform/formatting/WallTime.hpp"

namespace qv::platform {

// A point on the earth in degrees: latitude north positive, longitude east positive.
struct LocationCoordinate {
    double latitude = 0;
    double longitude = 0;

    // Latitude within [-90, 90] and longitude within [-180, 180].
    bool isValid() const;
};

// One location fix.
struct Location {
    LocationCoordinate coordinate;
    double altitude = 0; // metres above sea level; negative below it
    WallTime timestamp;  // when the fix was taken
};

// The direction the camera points, in degrees clockwise from north.
struct Heading {
    double trueHeading = 0; // relative to true (geographic) north
};

} // namespace qv::platform
