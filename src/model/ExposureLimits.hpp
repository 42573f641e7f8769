#pragma once

#include "model/ClosedRange.hpp"
#include "model/ExposureSetting.hpp"
#include "platform/media/MediaTime.hpp"

#include <cstdint>
#include <string>

namespace qv::platform {
class CaptureDevice;
}

namespace qv::QVPhotoMath {

// The exposure range of a camera. Every operation that uses a range relies on
// minimum <= maximum for the shutter speeds and the ISO.
class ExposureLimits {
public:
    ExposureLimits(platform::MediaTime minShutterSpeed, platform::MediaTime maxShutterSpeed,
                   float minISO, float maxISO, float minExposureTargetBias,
                   float maxExposureTargetBias);
    // Shutter speeds in seconds, kept at the preferred media timescale.
    static ExposureLimits fromSeconds(double minShutterSpeed, double maxShutterSpeed, float minISO,
                                      float maxISO, float minExposureTargetBias,
                                      float maxExposureTargetBias);
    // The active format's duration and ISO range and the device's bias range.
    explicit ExposureLimits(const platform::CaptureDevice& device);

    platform::MediaTime minShutterSpeed() const { return minSpeed; }
    platform::MediaTime maxShutterSpeed() const { return maxSpeed; }
    float minISO() const { return isoMin; }
    float maxISO() const { return isoMax; }
    float minExposureTargetBias() const { return biasMin; }
    float maxExposureTargetBias() const { return biasMax; }

    ClosedRange<double> shutterSpeedRange() const; // seconds
    ClosedRange<float> isoRange() const;
    double maxShutterSpeedSeconds() const;

    // Frames of the longest exposure that fill `duration` seconds, rounded up;
    // saturates (a zero longest exposure gives the largest count, NaN gives 0).
    std::int64_t numberOfFrames(double duration) const;

    // The lowest-ISO setting that gives `ev` at the f-number within these limits: the
    // lowest ISO with the nearest standard shutter speed while the time fits the range,
    // else the time limited to the range with the nearest standard ISO that makes up for it.
    ExposureSetting exposureSetting(float ev, double aperture) const;

    // "Shutter speed\nMin: ¹/8000\nMax: 1s\nISO\nMin: 25.0\nMax: 3200.0"
    std::string description() const;

private:
    platform::MediaTime minSpeed;
    platform::MediaTime maxSpeed;
    float isoMin;
    float isoMax;
    float biasMin;
    float biasMax;
};

} // namespace qv::QVPhotoMath
