#include "platform/capture/scene/detail/StarField.hpp"

#include "platform/capture/detail/WhiteBalance.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace qv::platform::detail {

namespace {

// Signal of a magnitude-0 star, in grey-card units summed over its image.
constexpr double zeroMagnitudeFlux = 400.0;

double uniform(std::mt19937& random) {
    return (double(random()) + 0.5) / 4294967296.0;
}

} // namespace

std::vector<Star> makeStarField(std::uint32_t seed, std::size_t count) {
    std::mt19937 random(seed);
    std::vector<Star> stars;
    stars.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double z = 2 * uniform(random) - 1;
        const double a = 2 * std::numbers::pi * uniform(random);
        const double r = std::sqrt(std::max(0.0, 1 - z * z));
        Star star;
        star.equatorial = {r * std::cos(a), r * std::sin(a), z};
        const double magnitude = std::max(-1.5, 8 + std::log10(uniform(random)) / 0.47);
        star.flux = float(zeroMagnitudeFlux * std::pow(10.0, -0.4 * magnitude));
        const double temperature = 3000 + 9000 * uniform(random) * uniform(random);
        const auto rgb = sensorResponseToWhite({float(temperature), 0});
        star.color = {float(rgb[0] / rgb[1]), 1.0f, float(rgb[2] / rgb[1])};
        stars.push_back(star);
    }
    return stars;
}

double siderealAngle(WallTime time) {
    const double turns = std::fmod(secondsSince1970(time) / siderealDaySeconds, 1.0);
    return 2 * std::numbers::pi * turns;
}

SkyTurn::SkyTurn(double latitude, double siderealAngle)
    : cosTheta_(std::cos(siderealAngle)), sinTheta_(std::sin(siderealAngle)),
      cosLatitude_(std::cos(latitude)), sinLatitude_(std::sin(latitude)) {}

Vec3 SkyTurn::horizonDirection(const Vec3& e) const {
    const double cosHcosD = cosTheta_ * e[0] + sinTheta_ * e[1];
    const double sinHcosD = sinTheta_ * e[0] - cosTheta_ * e[1];
    const double sinD = e[2];
    return {-sinHcosD, sinD * cosLatitude_ - cosHcosD * sinLatitude_,
            sinD * sinLatitude_ + cosHcosD * cosLatitude_};
}

Vec3 SkyTurn::equatorialDirection(const Vec3& d) const {
    // horizonDirection() is a rotation; this is its transpose.
    return {-sinTheta_ * d[0] - cosTheta_ * sinLatitude_ * d[1] + cosTheta_ * cosLatitude_ * d[2],
            cosTheta_ * d[0] - sinTheta_ * sinLatitude_ * d[1] + sinTheta_ * cosLatitude_ * d[2],
            cosLatitude_ * d[1] + sinLatitude_ * d[2]};
}

} // namespace qv::platform::detail
