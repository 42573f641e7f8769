#pragma once

#include <cstdint>

namespace qv::platform::detail {

// A well-mixed 32-bit value of a position and seeds: the same inputs, the same value.
inline std::uint32_t noiseHash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// A standard normal deviate made from a hash: the sum of its four bytes (Irwin-Hall),
// centred and scaled; its tails end at 3.46 standard deviations.
inline float gaussianOf(std::uint32_t h) {
    const std::uint32_t sum = (h & 0xFF) + ((h >> 8) & 0xFF) + ((h >> 16) & 0xFF) + (h >> 24);
    return (float(sum) - 510.0f) * (1.0f / 147.80f);
}

// A uniform value in [0, 1) from a hash.
inline double uniformOf(std::uint32_t h) {
    return double(h) * (1.0 / 4294967296.0);
}

} // namespace qv::platform::detail
