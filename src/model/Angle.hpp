#pragma once

namespace qv {

// A plane angle, kept in radians. Degrees convert with the factor the screens use
// (0.017453292519943295 radians a degree), so a value made from degrees reads back as
// radians x 57.29577951308232.
struct Angle {
    double radians = 0;

    static constexpr double radiansPerDegree = 0.017453292519943295;
    static constexpr double degreesPerRadian = 57.29577951308232;

    static constexpr Angle fromDegrees(double degrees) { return {degrees * radiansPerDegree}; }
    constexpr double degrees() const { return radians * degreesPerRadian; }

    friend constexpr bool operator==(Angle, Angle) = default;
};

} // namespace qv
