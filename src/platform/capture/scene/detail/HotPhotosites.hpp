#pragma once

#include "platform/capture/scene/detail/NoiseHash.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace qv::platform::detail {

// Calls f(x) for the hot photosites of row y of `count` columns: one in 20000 on average, at
// positions fixed by the sensor's seed.
template <class F>
void forEachHotPhotosite(std::size_t y, std::size_t count, std::uint32_t sensorSeed, F&& f) {
    constexpr std::uint32_t hotOneIn = 20000;
    const double expected = double(count) / hotOneIn;
    const double whole = std::floor(expected);
    const std::uint32_t rowSeed = sensorSeed ^ 0x5EED0001u;
    const bool extra =
        uniformOf(noiseHash(0xFFFFFFFFu, std::uint32_t(y), rowSeed)) < expected - whole;
    const auto hot = std::size_t(whole) + (extra ? 1 : 0);
    for (std::size_t k = 0; k < hot; ++k) {
        f(std::size_t(noiseHash(std::uint32_t(k), std::uint32_t(y), rowSeed) % count));
    }
}

} // namespace qv::platform::detail
