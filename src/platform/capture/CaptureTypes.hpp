#pragma once

#include "platform/sensors/SystemPressure.hpp"

#include <cstdint>

namespace qv::platform {

// Small values of the capture layer. The raw values of the modes are the ones the app
// persists and shows, so they never change.

// How a camera focuses.
enum class FocusMode { locked = 0, autoFocus = 1, continuousAutoFocus = 2 };

// How a camera chooses its exposure. `custom` holds the duration and ISO set by
// setExposureModeCustom(); `locked` holds whatever the automatic exposure had reached.
enum class ExposureMode { locked = 0, autoExpose = 1, continuousAutoExposure = 2, custom = 3 };

// How a camera balances white.
enum class WhiteBalanceMode { locked = 0, autoWhiteBalance = 1, continuousAutoWhiteBalance = 2 };

// The gains the camera applies to its red, green and blue photosites, each 1 or more and at
// most the device's maxWhiteBalanceGain().
struct WhiteBalanceGains {
    float redGain = 1;
    float greenGain = 1;
    float blueGain = 1;
    friend bool operator==(const WhiteBalanceGains&, const WhiteBalanceGains&) = default;
};

// A white balance as a colour temperature (kelvin) and a tint (green-magenta, -150...150).
struct WhiteBalanceTemperatureAndTint {
    float temperature = 6500;
    float tint = 0;
};

// Why the system pressure is what it is (a bit set).
enum class SystemPressureFactors : std::uint32_t {
    none = 0,
    systemTemperature = 1,
    peakPower = 2,
    depthModuleTemperature = 4,
};

// The camera's view of the machine's pressure (heat): polled by the device.
struct SystemPressureState {
    SystemPressureLevel level = SystemPressureLevel::nominal;
    SystemPressureFactors factors = SystemPressureFactors::none;
    friend bool operator==(const SystemPressureState&, const SystemPressureState&) = default;
};

// A point, in view points for a layer or in 0...1 of the sensor for a point of interest
// ((0, 0) the top left of the landscape sensor, (1, 1) its bottom right).
struct CapturePoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const CapturePoint&, const CapturePoint&) = default;
};

// A rectangle in view points.
struct CaptureRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool isEmpty() const { return !(width > 0 && height > 0); }
    friend bool operator==(const CaptureRect&, const CaptureRect&) = default;
};

// Which way up the pictures of a connection are. The sensor is landscape; portrait is the
// phone held upright. Raw values as the app passes them on from the device orientation.
enum class CaptureVideoOrientation {
    portrait = 1,
    portraitUpsideDown = 2,
    landscapeRight = 3,
    landscapeLeft = 4,
};

// How much the photo output may trade quality for speed: a request may not ask for more
// than the output's maxPhotoQualityPrioritization().
enum class PhotoQualityPrioritization { speed = 1, balanced = 2, quality = 3 };

} // namespace qv::platform
