#pragma once

#include "platform/capture/scene/detail/ViewGeometry.hpp"
#include "platform/formatting/WallTime.hpp"

#include <cstdint>
#include <vector>

namespace qv::platform::detail {

// A star of the synthetic sky.
struct Star {
    Vec3 equatorial;            // unit vector: x to the equinox, z to the north celestial pole
    float flux = 0;             // signal summed over its image, in grey-card units at 4032 pixels
    std::array<float, 3> color; // camera RGB of its light, green 1
};

// A seeded sky of stars spread evenly over the sphere, magnitudes -1.5 to 8 with the faint
// ones the most numerous (count(m) grows as 10^(0.47 m)), colours of 3000 K to 12000 K.
std::vector<Star> makeStarField(std::uint32_t seed, std::size_t count);

// The sky turns once per sidereal day: 86164.09 s.
inline constexpr double siderealDaySeconds = 86164.09;
// The angle (radians) the sky has turned at a wall time.
double siderealAngle(WallTime time);

// The sky as seen from a latitude (radians) once it has turned by a sidereal angle: gives the
// east-north-up direction of a star. The sines and cosines are worked out once for a whole
// star field.
class SkyTurn {
public:
    SkyTurn(double latitude, double siderealAngle);
    Vec3 horizonDirection(const Vec3& equatorial) const;
    // The inverse: the equatorial direction of an east-north-up one.
    Vec3 equatorialDirection(const Vec3& horizon) const;

private:
    double cosTheta_;
    double sinTheta_;
    double cosLatitude_;
    double sinLatitude_;
};

} // namespace qv::platform::detail
