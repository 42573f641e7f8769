#pragma once

#include "platform/media/MediaTime.hpp"

#include <functional>
#include <string>
#include <vector>

namespace qv::platform {

// How a camera focuses. The raw values are the ones the app persists and shows.
enum class FocusMode { locked = 0, autoFocus = 1, continuousAutoFocus = 2 };

// One capture format of a camera: what it can do for photos and the exposure
// range it allows.
struct CaptureDeviceFormat {
    std::string formatDescription; // for logs, e.g. "<4032x3024 RAW 14-bit, fov 69.4>"
    bool isHighPhotoQualitySupported = false;
    bool isHighestPhotoQualitySupported = false;
    MediaTime minExposureDuration;
    MediaTime maxExposureDuration;
    float minISO = 0;
    float maxISO = 0;
    float videoFieldOfView = 0; // horizontal, degrees

    friend bool operator==(const CaptureDeviceFormat&, const CaptureDeviceFormat&) = default;
};

// The outcome of lockForConfiguration(): held, or why not.
struct ConfigurationLockResult {
    bool locked = false;
    std::string errorDescription; // empty when locked

    explicit operator bool() const { return locked; }
};

// A camera. Every read is safe from any thread and sees a consistent value.
// Changes of the device's settings are made only while the caller holds the
// configuration lock (lockForConfiguration() ... unlockForConfiguration(), or a
// ConfigurationLock); the lock is counted and re-entrant for the thread that
// holds it, and serialises configuration from different threads.
class CaptureDevice {
public:
    using Completion = std::function<void()>;

    virtual ~CaptureDevice() = default;

    // Formats
    virtual std::vector<CaptureDeviceFormat> formats() const = 0;
    virtual CaptureDeviceFormat activeFormat() const = 0;

    // Exposure: what the device does now
    virtual float iso() const = 0;
    virtual MediaTime exposureDuration() const = 0;
    virtual float lensAperture() const = 0;
    virtual float exposureTargetBias() const = 0; // EV
    virtual float minExposureTargetBias() const = 0;
    virtual float maxExposureTargetBias() const = 0;
    // How far the metered exposure is from the target, in EV (negative: too dark).
    virtual float exposureTargetOffset() const = 0;

    // Focus capabilities
    virtual bool isFocusModeSupported(FocusMode mode) const = 0;
    virtual bool isLockingFocusWithCustomLensPositionSupported() const = 0;

    // Configuration
    virtual ConfigurationLockResult lockForConfiguration() = 0;
    virtual void unlockForConfiguration() = 0;
    // Needs the lock. The bias must lie within [minExposureTargetBias, maxExposureTargetBias].
    // The completion, when given, runs once the device has applied the bias.
    virtual void setExposureTargetBias(float bias, Completion completion = {}) = 0;
};

// Holds a device's configuration lock for a scope:
//   ConfigurationLock lock(device);
//   if (!lock) { print(lock.errorDescription()); return; }
class ConfigurationLock {
public:
    explicit ConfigurationLock(CaptureDevice& device);
    ~ConfigurationLock();
    ConfigurationLock(const ConfigurationLock&) = delete;
    ConfigurationLock& operator=(const ConfigurationLock&) = delete;

    explicit operator bool() const { return result.locked; }
    const std::string& errorDescription() const { return result.errorDescription; }

private:
    CaptureDevice& device;
    ConfigurationLockResult result;
};

} // namespace qv::platform
