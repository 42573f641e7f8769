#pragma once

#include "model/RotationAngle.hpp"
#include "platform/sensors/DeviceOrientation.hpp"

#include <cstdint>

namespace qv {

// The angle that turns content upright for the user, in radians about its centre:
// upside down pi, landscape left pi/2, landscape right -pi/2, every other orientation
// (portrait, face up, face down, unknown) 0.
inline double orientationAngle(platform::DeviceOrientation orientation) {
    return rotationAngle(static_cast<std::int64_t>(orientation));
}

} // namespace qv
