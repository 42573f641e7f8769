#pragma once

namespace qv::platform {

// An acceleration in units of g along the device's axes: x to the right of the screen, y
// up the screen, z out of the screen towards the user. At rest it is gravity: (0, -1, 0)
// upright in portrait, (0, 0, -1) lying face up.
struct Acceleration {
    double x = 0;
    double y = 0;
    double z = 0;
    friend bool operator==(const Acceleration&, const Acceleration&) = default;
};

} // namespace qv::platform
