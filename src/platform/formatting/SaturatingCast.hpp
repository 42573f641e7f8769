#pragma once

#include <cmath>
#include <concepts>
#include <limits>

namespace qv::platform {

// Converts a floating-point value to an integer type without undefined behaviour.
// A plain cast of a value outside the target's range (or of NaN) is undefined in C++,
// so every floating-point to integer conversion in the program goes through here.
//   NaN                  -> 0
//   above the range      -> the type's maximum (also +infinity)
//   below the range      -> the type's minimum (also -infinity)
//   inside the range     -> truncated toward zero, exactly like static_cast
template <std::integral I, std::floating_point F>
constexpr I saturatingCast(F value) noexcept {
    if (value != value) {
        return 0;
    }
    // 2^digits is exactly representable in every floating-point type, unlike the maximum
    // itself (double(INT64_MAX) rounds up to 2^63).
    constexpr F upper = F(std::numeric_limits<I>::max() / 2 + 1) * F(2);
    if (value >= upper) {
        return std::numeric_limits<I>::max();
    }
    if constexpr (std::numeric_limits<I>::is_signed) {
        if (value <= -upper) {
            return std::numeric_limits<I>::min();
        }
    } else {
        if (value <= F(-1)) {
            return 0;
        }
    }
    return static_cast<I>(value);
}

// Rounds to the nearest whole number, halves away from zero (std::round), then converts
// with saturatingCast's rules.
template <std::integral I, std::floating_point F>
I saturatingRound(F value) noexcept {
    return saturatingCast<I>(std::round(value));
}

} // namespace qv::platform
