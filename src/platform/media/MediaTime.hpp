#pragma once

#include <compare>
#include <cstdint>

namespace qv::platform {

// A rational time: value / timescale seconds. Exposure durations and photo
// timestamps travel in this form. A timescale of 0 or less marks an invalid
// time (seconds() of it is NaN).
struct MediaTime {
    // The timescale the app uses whenever it turns seconds into a media time:
    // the largest 32-bit signed integer, so short exposures keep full precision.
    static constexpr std::int32_t preferredTimescale = 2147483647;

    std::int64_t value = 0;
    std::int32_t timescale = 0;

    // Rounds seconds x timescale to the nearest integer (halves away from
    // zero); seconds that do not fit give an invalid time, as does NaN.
    static MediaTime fromSeconds(double seconds, std::int32_t timescale = preferredTimescale);
    static constexpr MediaTime zero(std::int32_t timescale = preferredTimescale) {
        return {0, timescale};
    }

    bool isValid() const { return timescale > 0; }
    double seconds() const;

    // Exact comparison across timescales. Invalid times compare equal to each
    // other and below every valid time.
    friend std::strong_ordering operator<=>(const MediaTime& a, const MediaTime& b);
    friend bool operator==(const MediaTime& a, const MediaTime& b) {
        return (a <=> b) == std::strong_ordering::equal;
    }
};

} // namespace qv::platform
