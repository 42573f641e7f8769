#pragma once
// What the phone keys do to the phone's services: the orientation keys turn the phone
// (Device), the tilt keys tilt it by one degree a press and "0" levels it, the volume keys
// move the output volume by 1/16.

#include "platform/window/PhoneKeys.hpp"

namespace qv::platform::window {

inline constexpr double kTiltStepDegrees = 1;
inline constexpr float kVolumeStep = 1.0f / 16;

// On the main thread.
void applyPhoneKey(PhoneKey key);

} // namespace qv::platform::window
