#pragma once

#include <cstdint>

namespace qv {

// The angle in radians that turns an image for a device orientation given by its
// raw value: 2 (upside down) gives pi, 3 (landscape left) pi/2, 4 (landscape
// right) -pi/2, every other value 0.
double rotationAngle(std::int64_t orientationRawValue);

} // namespace qv
