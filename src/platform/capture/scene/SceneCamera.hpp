#pragma once

#include <cstdint>

namespace qv::platform {

// What a camera of the simulation is, as far as the scene's picture depends on it.
struct SceneCamera {
    double fieldOfView = 70;           // across the long side of the sensor, degrees
    double aperture = 1.78;            // f-number
    double infinityLensPosition = 0.9; // where stars are sharp, 0 near ... 1 far
    std::uint32_t blackLevel = 528;
    std::uint32_t whiteLevel = 16383;
    std::uint32_t sensorSeed = 1; // which photosites are hot
};

} // namespace qv::platform
