#include "model/ExposureSetting.hpp"

#include <cmath>

namespace qv::QVPhotoMath {

platform::MediaTime ExposureSetting::shutterSpeedTime() const {
    return platform::MediaTime::fromSeconds(shutterSpeed);
}

float ExposureSetting::ev() const {
    const double n = aperture;
    const double stops = std::log2(n * n / (shutterSpeed * static_cast<double>(iso) / 100.0));
    return static_cast<float>(std::round(stops * 3.0) / 3.0);
}

float ExposureSetting::evDifference(const ExposureSetting& other) const {
    return ev() - other.ev();
}

double shutterSpeedForEV(float ev, float iso, double aperture) {
    return aperture * aperture / (std::exp2(static_cast<double>(ev)) * iso / 100.0);
}

float isoForEV(float ev, double shutterSpeed, double aperture) {
    const double relative =
        aperture * aperture / (std::exp2(static_cast<double>(ev)) * shutterSpeed);
    return static_cast<float>(relative) * 100.0f;
}

} // namespace qv::QVPhotoMath
