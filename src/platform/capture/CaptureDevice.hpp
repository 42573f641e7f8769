#pragma once

#include "platform/capture/CapturedPhotoDeviceType.hpp"
#include "platform/media/MediaTime.hpp"
#include "platform/sensors/SystemPressure.hpp"
#include "platform/state/Signal.hpp"

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qv::platform {

// How a camera focuses. The raw values are the ones the app persists and shows.
enum class FocusMode { locked = 0, autoFocus = 1, continuousAutoFocus = 2 };

// How a camera exposes: held, metered once, metered continuously, or at a duration and ISO
// the app gave (setExposureModeCustom).
enum class ExposureMode { locked = 0, autoExpose = 1, continuousAutoExposure = 2, custom = 3 };

// How a camera balances white: held (at the gains last set or reached), once, continuously.
enum class WhiteBalanceMode { locked = 0, autoWhiteBalance = 1, continuousAutoWhiteBalance = 2 };

// The gains a camera applies to its red, green and blue channels; each lies within
// 1...maxWhiteBalanceGain() for a change to be valid.
struct WhiteBalanceGains {
    float redGain = 1;
    float greenGain = 1;
    float blueGain = 1;
    friend bool operator==(const WhiteBalanceGains&, const WhiteBalanceGains&) = default;
};

// A point in the camera's own coordinates: (0, 0) is the top left and (1, 1) the bottom
// right of the sensor in its landscape orientation, whatever way the phone is held.
struct PointOfInterest {
    double x = 0.5;
    double y = 0.5;
    friend bool operator==(const PointOfInterest&, const PointOfInterest&) = default;
};

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

// The properties whose changes a camera reports to observers.
enum class ObservedProperty {
    isAdjustingFocus,      // bool
    isAdjustingExposure,   // bool
    exposureMode,          // ExposureMode
    exposureDuration,      // MediaTime
    iso,                   // float
    minExposureTargetBias, // float
    maxExposureTargetBias, // float
    exposureTargetBias,    // float, EV
    exposureTargetOffset,  // float, EV
    lensPosition,          // float
    focusMode,             // FocusMode
    systemPressureState,   // SystemPressureLevel
};

using ObservedValue =
    std::variant<bool, float, MediaTime, ExposureMode, FocusMode, SystemPressureLevel>;

// One reported change: the value before and after, each of the property's own type.
struct PropertyChange {
    ObservedProperty property;
    std::optional<ObservedValue> oldValue;
    std::optional<ObservedValue> newValue;
};

// A camera. Every read is safe from any thread and sees a consistent value.
//
// Changes of the device's settings are made only while the caller holds the
// configuration lock (lockForConfiguration() ... unlockForConfiguration(), or a
// ConfigurationLock); the lock is counted and re-entrant for the thread that
// holds it, and serialises configuration from different threads. A value out of
// its range (a bias, a lens position outside 0...1, a gain outside 1...maximum) is
// kept within it; the change is then a misuse, as one made without the lock.
//
// Completions and observers run on the device's own serial event queue, never
// inside the call that caused them: a completion once the device has applied the
// change, exactly once; an observer for each change of its property's value (an
// unchanged value reports nothing), with the old and the new value, until its
// subscription is dropped.
class CaptureDevice {
public:
    using Completion = std::function<void()>;

    virtual ~CaptureDevice() = default;

    virtual CaptureDeviceType deviceType() const = 0;

    // Formats
    virtual std::vector<CaptureDeviceFormat> formats() const = 0;
    virtual CaptureDeviceFormat activeFormat() const = 0;

    // Exposure: what the device does now
    virtual ExposureMode exposureMode() const = 0;
    virtual bool isExposureModeSupported(ExposureMode mode) const = 0;
    virtual bool isAdjustingExposure() const = 0;
    virtual float iso() const = 0;
    virtual MediaTime exposureDuration() const = 0;
    virtual float lensAperture() const = 0;
    virtual float exposureTargetBias() const = 0; // EV
    virtual float minExposureTargetBias() const = 0;
    virtual float maxExposureTargetBias() const = 0;
    // How far the metered exposure is from the target, in EV (negative: too dark).
    virtual float exposureTargetOffset() const = 0;

    // Focus
    virtual FocusMode focusMode() const = 0;
    virtual bool isFocusModeSupported(FocusMode mode) const = 0;
    virtual bool isAdjustingFocus() const = 0;
    virtual float lensPosition() const = 0; // 0 near ... 1 far
    virtual PointOfInterest focusPointOfInterest() const = 0;
    virtual bool isLockingFocusWithCustomLensPositionSupported() const = 0;

    // White balance
    virtual WhiteBalanceMode whiteBalanceMode() const = 0;
    virtual bool isWhiteBalanceModeSupported(WhiteBalanceMode mode) const = 0;
    virtual bool isLockingWhiteBalanceWithCustomDeviceGainsSupported() const = 0;
    virtual float maxWhiteBalanceGain() const = 0;
    // The gains that make light of this colour temperature (kelvin) and tint neutral. They
    // may lie outside 1...maxWhiteBalanceGain(); keeping them within is the caller's care.
    virtual WhiteBalanceGains deviceWhiteBalanceGains(float temperature, float tint) const = 0;

    // Low light and pressure
    virtual bool isLowLightBoostSupported() const = 0;
    virtual bool automaticallyEnablesLowLightBoostWhenAvailable() const = 0;
    virtual SystemPressureLevel systemPressureState() const = 0;

    // Configuration: every change below needs the lock.
    virtual ConfigurationLockResult lockForConfiguration() = 0;
    virtual void unlockForConfiguration() = 0;
    virtual void setExposureMode(ExposureMode mode) = 0;
    // Exposure mode custom at this duration and ISO (each kept within the active format).
    virtual void setExposureModeCustom(MediaTime duration, float iso,
                                       Completion completion = {}) = 0;
    virtual void setExposureTargetBias(float bias, Completion completion = {}) = 0;
    virtual void setFocusMode(FocusMode mode) = 0;
    virtual void setFocusPointOfInterest(PointOfInterest point) = 0;
    // Focus mode locked with the lens at `lensPosition`, or where it is when nullopt.
    virtual void setFocusModeLocked(std::optional<float> lensPosition,
                                    Completion completion = {}) = 0;
    virtual void setWhiteBalanceMode(WhiteBalanceMode mode) = 0;
    virtual void setWhiteBalanceModeLocked(WhiteBalanceGains gains, Completion completion = {}) = 0;
    virtual void setAutomaticallyEnablesLowLightBoostWhenAvailable(bool enabled) = 0;

    // Observation (see the class comment).
    [[nodiscard]] virtual Subscription
    observe(ObservedProperty property, std::function<void(const PropertyChange&)> handler) = 0;
};

// Holds a device's configuration lock for a scope; a lock that failed is not released:
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
