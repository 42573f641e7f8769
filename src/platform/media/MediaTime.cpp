#include "platform/media/MediaTime.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <cmath>
#include <limits>

namespace qv::platform {

MediaTime MediaTime::fromSeconds(double seconds, std::int32_t scale) {
    if (scale <= 0 || !std::isfinite(seconds)) {
        return {};
    }
    const double ticks = std::round(seconds * static_cast<double>(scale));
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    if (!(ticks > -limit && ticks < limit)) {
        return {};
    }
    return {saturatingCast<std::int64_t>(ticks), scale};
}

double MediaTime::seconds() const {
    if (!isValid()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return static_cast<double>(value) / static_cast<double>(timescale);
}

namespace {
__extension__ typedef __int128 Int128;
} // namespace

std::strong_ordering operator<=>(const MediaTime& a, const MediaTime& b) {
    if (!a.isValid() || !b.isValid()) {
        return a.isValid() <=> b.isValid();
    }
    // value < 2^63 and timescale < 2^31, so each product fits in 128 bits.
    const Int128 left = static_cast<Int128>(a.value) * b.timescale;
    const Int128 right = static_cast<Int128>(b.value) * a.timescale;
    return left <=> right;
}

} // namespace qv::platform
