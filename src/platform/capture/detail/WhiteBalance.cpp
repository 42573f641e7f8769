#include "platform/capture/detail/WhiteBalance.hpp"

#include "platform/imaging/Dng.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform::detail {

std::array<double, 3> sensorResponseToWhite(WhiteBalanceTemperatureAndTint values) {
    const double t = std::isfinite(values.temperature)
                         ? std::clamp(double(values.temperature), 1667.0, 25000.0)
                         : 6500.0;
    const double t1 = 1e3 / t;
    const double t2 = t1 * t1;
    const double t3 = t2 * t1;
    const double x = t <= 4000 ? -0.2661239 * t3 - 0.2343589 * t2 + 0.8776956 * t1 + 0.179910
                               : -3.0258469 * t3 + 2.1070379 * t2 + 0.2226347 * t1 + 0.240390;
    const double x2 = x * x;
    const double x3 = x2 * x;
    double y = 0;
    if (t <= 2222) {
        y = -1.1063814 * x3 - 1.34811020 * x2 + 2.18555832 * x - 0.20219683;
    } else if (t <= 4000) {
        y = -0.9549476 * x3 - 1.37418593 * x2 + 2.09137015 * x - 0.16748867;
    } else {
        y = 3.0817580 * x3 - 5.87338670 * x2 + 3.75112997 * x - 0.37001483;
    }
    const std::array<double, 3> xyz{x / y, 1.0, (1 - x - y) / y};
    const auto& m = imaging::simulatedSensorColorMatrix();
    std::array<double, 3> rgb{};
    for (std::size_t r = 0; r < 3; ++r) {
        rgb[r] = m[r * 3] * xyz[0] + m[r * 3 + 1] * xyz[1] + m[r * 3 + 2] * xyz[2];
    }
    // A positive tint leans the light towards magenta: less green.
    const double tint =
        std::isfinite(values.tint) ? std::clamp(double(values.tint), -150.0, 150.0) : 0.0;
    rgb[1] *= 1.0 - tint / 1000.0;
    return rgb;
}

WhiteBalanceGains whiteBalanceGainsFor(WhiteBalanceTemperatureAndTint values) {
    const auto rgb = sensorResponseToWhite(values);
    const double largest = std::max({rgb[0], rgb[1], rgb[2]});
    // Each gain brings its channel up to the strongest; the strongest keeps 1.
    const auto gain = [largest](double c) { return float(largest / std::max(c, 1e-6)); };
    return {gain(rgb[0]), gain(rgb[1]), gain(rgb[2])};
}

} // namespace qv::platform::detail
