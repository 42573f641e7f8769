#include "platform/compute/Half.hpp"

#include <bit>

namespace qv::platform::compute {

std::uint16_t halfFromFloat(float value) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const auto sign = static_cast<std::uint16_t>((bits >> 16) & 0x8000u);
    const std::uint32_t exponent = (bits >> 23) & 0xFFu;
    std::uint32_t mantissa = bits & 0x7FFFFFu;

    if (exponent == 0xFF) { // infinity or NaN; keep NaN quiet and non-zero
        return static_cast<std::uint16_t>(sign | 0x7C00u | (mantissa ? 0x200u : 0u));
    }
    const int unbiased = static_cast<int>(exponent) - 127;
    if (unbiased > 15) {
        return static_cast<std::uint16_t>(sign | 0x7C00u);
    }
    if (unbiased >= -14) { // normal half
        std::uint32_t half = (static_cast<std::uint32_t>(unbiased + 15) << 10) | (mantissa >> 13);
        const std::uint32_t rest = mantissa & 0x1FFFu;
        if (rest > 0x1000u || (rest == 0x1000u && (half & 1u))) {
            ++half; // may carry into the exponent, up to infinity: still correct
        }
        return static_cast<std::uint16_t>(sign | half);
    }
    if (unbiased < -25) {
        return sign; // below half the smallest subnormal
    }
    // Subnormal half: shift the mantissa with its hidden bit into place.
    mantissa |= 0x800000u;
    const int shift = -unbiased - 14 + 13; // 14...24
    std::uint32_t half = mantissa >> shift;
    const std::uint32_t rest = mantissa & ((1u << shift) - 1u);
    const std::uint32_t halfway = 1u << (shift - 1);
    if (rest > halfway || (rest == halfway && (half & 1u))) {
        ++half;
    }
    return static_cast<std::uint16_t>(sign | half);
}

float floatFromHalf(std::uint16_t half) {
    const std::uint32_t sign = static_cast<std::uint32_t>(half & 0x8000u) << 16;
    const std::uint32_t exponent = (half >> 10) & 0x1Fu;
    std::uint32_t mantissa = half & 0x3FFu;
    std::uint32_t bits;
    if (exponent == 0x1F) {
        bits = sign | 0x7F800000u | (mantissa << 13);
    } else if (exponent != 0) {
        bits = sign | ((exponent + 112u) << 23) | (mantissa << 13);
    } else if (mantissa == 0) {
        bits = sign;
    } else { // subnormal: normalise
        std::uint32_t e = 113;
        while ((mantissa & 0x400u) == 0) {
            mantissa <<= 1;
            --e;
        }
        bits = sign | (e << 23) | ((mantissa & 0x3FFu) << 13);
    }
    return std::bit_cast<float>(bits);
}

} // namespace qv::platform::compute
