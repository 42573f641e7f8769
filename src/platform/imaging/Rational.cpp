#include "platform/imaging/Rational.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <cmath>

namespace qv::platform::imaging {

Rational toRational(double value, std::int64_t maxDenominator) {
    if (!std::isfinite(value)) {
        return {0, 1};
    }
    constexpr std::int64_t limit = 4294967295;
    if (std::fabs(value) >= static_cast<double>(limit)) {
        return {value < 0 ? -limit : limit, 1};
    }
    const bool negative = value < 0;
    const double target = std::fabs(value);
    // Continued fraction convergents h/k until one is close enough.
    std::int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
    double x = target;
    for (int i = 0; i < 64; ++i) {
        const double a = std::floor(x);
        const auto ai = saturatingCast<std::int64_t>(a);
        const std::int64_t h2 = ai * h1 + h0;
        const std::int64_t k2 = ai * k1 + k0;
        if (k2 > maxDenominator || h2 > limit) {
            break;
        }
        h0 = h1;
        h1 = h2;
        k0 = k1;
        k1 = k2;
        if (std::fabs(double(h1) / double(k1) - target) <= 1e-9 * target) {
            break;
        }
        const double frac = x - a;
        if (frac < 1e-15) {
            break;
        }
        x = 1.0 / frac;
    }
    if (k1 == 0) {
        return {0, 1};
    }
    return {negative ? -h1 : h1, k1};
}

} // namespace qv::platform::imaging
