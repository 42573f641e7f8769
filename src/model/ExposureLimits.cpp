#include "model/ExposureLimits.hpp"

#include "model/PhotoFormatting.hpp"
#include "model/ValueSeries.hpp"
#include "platform/capture/CaptureDevice.hpp"
#include "platform/formatting/FloatText.hpp"
#include "platform/formatting/SaturatingCast.hpp"

#include <cmath>

namespace qv::QVPhotoMath {

using platform::MediaTime;

ExposureLimits::ExposureLimits(MediaTime minShutterSpeed, MediaTime maxShutterSpeed, float minISO,
                               float maxISO, float minExposureTargetBias,
                               float maxExposureTargetBias)
    : minSpeed(minShutterSpeed), maxSpeed(maxShutterSpeed), isoMin(minISO), isoMax(maxISO),
      biasMin(minExposureTargetBias), biasMax(maxExposureTargetBias) {}

ExposureLimits ExposureLimits::fromSeconds(double minShutterSpeed, double maxShutterSpeed,
                                           float minISO, float maxISO, float minExposureTargetBias,
                                           float maxExposureTargetBias) {
    return {MediaTime::fromSeconds(minShutterSpeed),
            MediaTime::fromSeconds(maxShutterSpeed),
            minISO,
            maxISO,
            minExposureTargetBias,
            maxExposureTargetBias};
}

ExposureLimits::ExposureLimits(const platform::CaptureDevice& device) {
    const platform::CaptureDeviceFormat format = device.activeFormat();
    minSpeed = format.minExposureDuration;
    maxSpeed = format.maxExposureDuration;
    isoMin = format.minISO;
    isoMax = format.maxISO;
    biasMin = device.minExposureTargetBias();
    biasMax = device.maxExposureTargetBias();
}

ClosedRange<double> ExposureLimits::shutterSpeedRange() const {
    return {minSpeed.seconds(), maxSpeed.seconds()};
}

ClosedRange<float> ExposureLimits::isoRange() const {
    return {isoMin, isoMax};
}

double ExposureLimits::maxShutterSpeedSeconds() const {
    return maxSpeed.seconds();
}

std::int64_t ExposureLimits::numberOfFrames(double duration) const {
    return platform::saturatingCast<std::int64_t>(std::ceil(duration / maxShutterSpeedSeconds()));
}

ExposureSetting ExposureLimits::exposureSetting(float ev, double aperture) const {
    const double p = std::exp2(static_cast<double>(ev));
    const double tmin = minSpeed.seconds();
    const double tmax = maxSpeed.seconds();
    const double nSquared = aperture * aperture;

    float iso = isoMin;
    double t = nSquared / (p * static_cast<double>(isoMin) / 100.0);
    if (!(tmin <= t && t <= tmax)) { // out of range, or NaN
        t = clamped(t, ClosedRange<double>{tmin, tmax});
        const float isoForTime = static_cast<float>(nSquared / (p * t)) * 100.0f;
        iso = closestISO(isoForTime, isoMin, isoMax);
    }
    return {iso, closestShutterSpeed(t, tmin, tmax), aperture};
}

std::string ExposureLimits::description() const {
    return "Shutter speed\nMin: " + formattedShutterSpeed(minSpeed, true) +
           "\nMax: " + formattedShutterSpeed(maxSpeed, true) +
           "\nISO\nMin: " + platform::floatText(isoMin) + "\nMax: " + platform::floatText(isoMax);
}

} // namespace qv::QVPhotoMath
