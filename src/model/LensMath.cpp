#include "model/LensMath.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <cmath>
#include <numbers>

namespace qv::QVPhotoMath {

double focalLength35mm(float fieldOfView) {
    const double radians = static_cast<double>(fieldOfView) * std::numbers::pi / 180.0;
    return 18.0 / std::tan(radians / 2.0);
}

float zoomFactor(float fieldOfView, float reference) {
    const double ratio = focalLength35mm(fieldOfView) / focalLength35mm(reference);
    return static_cast<float>(std::round(ratio * 2.0) / 2.0);
}

std::uint32_t maxExposureByRuleOf500(float fieldOfView, double factor) {
    return platform::saturatingCast<std::uint32_t>(500.0 / focalLength35mm(fieldOfView) / factor);
}

std::int64_t maxExposureBySkyRotation(float fieldOfView, std::int64_t pixels,
                                      std::int64_t allowedPixels, float divisor) {
    constexpr float degreesPerSecond = 0.004166667f;
    const float seconds = fieldOfView / static_cast<float>(pixels) / degreesPerSecond *
                          static_cast<float>(allowedPixels) / divisor;
    return platform::saturatingRound<std::int64_t>(seconds);
}

} // namespace qv::QVPhotoMath
