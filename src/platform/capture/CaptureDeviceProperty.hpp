#pragma once

#include "platform/capture/CaptureTypes.hpp"
#include "platform/media/MediaTime.hpp"

#include <optional>
#include <variant>

namespace qv::platform {

// The properties of a camera that can be observed (CaptureDevice::observe()).
enum class CaptureDeviceProperty {
    isAdjustingFocus,        // bool
    isAdjustingExposure,     // bool
    isAdjustingWhiteBalance, // bool
    exposureMode,            // ExposureMode
    exposureDuration,        // MediaTime
    iso,                     // float
    minExposureTargetBias,   // float
    maxExposureTargetBias,   // float
    exposureTargetBias,      // float
    exposureTargetOffset,    // float
    lensPosition,            // float
    focusMode,               // FocusMode
    focusPointOfInterest,    // CapturePoint
    whiteBalanceMode,        // WhiteBalanceMode
    deviceWhiteBalanceGains, // WhiteBalanceGains
    lowLightBoostEnabled,    // bool
    systemPressureState,     // SystemPressureState
};

inline constexpr int captureDevicePropertyCount =
    int(CaptureDeviceProperty::systemPressureState) + 1;

using CaptureDevicePropertyValue =
    std::variant<bool, float, MediaTime, ExposureMode, FocusMode, CapturePoint, WhiteBalanceMode,
                 WhiteBalanceGains, SystemPressureState>;

// One change of an observed property: its value before and after. Both are present for
// every change this layer reports; an observer that needs them still checks, as a change
// may in principle carry neither.
struct CaptureDevicePropertyChange {
    CaptureDeviceProperty property;
    std::optional<CaptureDevicePropertyValue> oldValue;
    std::optional<CaptureDevicePropertyValue> newValue;

    // The old or new value as T; nullopt when absent or of another type.
    template <class T>
    std::optional<T> oldAs() const {
        return as<T>(oldValue);
    }
    template <class T>
    std::optional<T> newAs() const {
        return as<T>(newValue);
    }

private:
    template <class T>
    static std::optional<T> as(const std::optional<CaptureDevicePropertyValue>& v) {
        if (v && std::holds_alternative<T>(*v)) {
            return std::get<T>(*v);
        }
        return std::nullopt;
    }
};

} // namespace qv::platform
