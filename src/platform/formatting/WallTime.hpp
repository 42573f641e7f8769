#pragma once

#include "platform/formatting/SaturatingCast.hpp"

#include <chrono>
#include <cmath>
#include <cstdint>

namespace qv::platform {

// A date: a point on the wall clock (UTC-based, like the system clock) with nanosecond
// precision. The dispatch layer's Clock hands these out; nothing reads the system clock
// directly.
using WallTime = std::chrono::time_point<std::chrono::system_clock, std::chrono::nanoseconds>;

// Seconds as a floating-point duration, the unit the app's arithmetic works in.
using Seconds = std::chrono::duration<double>;

// A date made from seconds since 1970-01-01 00:00:00 UTC, and back.
// Whole seconds and the fraction are converted apart, so the nearest nanosecond is kept
// (a product with 1e9 would lose it for present-day dates).
inline WallTime wallTimeFromSeconds(double secondsSince1970) {
    const double whole = std::floor(secondsSince1970);
    return WallTime(
        std::chrono::seconds(saturatingCast<std::int64_t>(whole)) +
        std::chrono::round<std::chrono::nanoseconds>(Seconds(secondsSince1970 - whole)));
}
inline double secondsSince1970(WallTime time) {
    return Seconds(time.time_since_epoch()).count();
}

} // namespace qv::platform
