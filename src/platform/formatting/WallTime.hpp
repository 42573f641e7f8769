#pragma once

#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
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

// A duration in whole nanoseconds, to the nearest; NaN gives 0 and durations beyond the
// range of 64-bit nanoseconds (about 292 years) clamp to it, as saturatingRound does.
inline std::chrono::nanoseconds nanosecondsFrom(Seconds duration) {
    return std::chrono::nanoseconds(saturatingRound<std::int64_t>(duration.count() * 1e9));
}

// A date made from seconds since 1970-01-01 00:00:00 UTC, and back.
// Whole seconds and the fraction are converted apart, so the nearest nanosecond is kept
// (a product with 1e9 would lose it for present-day dates). Dates beyond the range of
// WallTime (about the years 1678 to 2262) clamp to its ends; NaN gives 1970.
inline WallTime wallTimeFromSeconds(double secondsSince1970) {
    constexpr double wholeLimit = 9223372035.0; // whole seconds that fit in the nanoseconds
    const double whole = std::clamp(std::floor(secondsSince1970), -wholeLimit, wholeLimit);
    return WallTime(std::chrono::seconds(saturatingCast<std::int64_t>(whole)) +
                    nanosecondsFrom(Seconds(std::clamp(secondsSince1970 - whole, 0.0, 1.0))));
}
inline double secondsSince1970(WallTime time) {
    return Seconds(time.time_since_epoch()).count();
}

} // namespace qv::platform
