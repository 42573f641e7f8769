#pragma once

#include <cstdint>

namespace qv::platform::compute {

// IEEE 754 half-precision floats as stored in RGBA16Float textures.
// Conversion from float rounds to nearest even; values beyond the half range
// become infinity, NaN stays NaN.
std::uint16_t halfFromFloat(float value);
float floatFromHalf(std::uint16_t half);

} // namespace qv::platform::compute
