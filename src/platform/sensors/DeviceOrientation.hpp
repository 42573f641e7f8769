#pragma once

#include <string_view>

namespace qv::platform {

// How the phone is held, numbered as the phone numbers it. Landscape left is the phone
// turned with its top edge to the left (gravity along -x); face up lies screen up.
enum class DeviceOrientation {
    unknown = 0,
    portrait = 1,
    portraitUpsideDown = 2,
    landscapeLeft = 3,
    landscapeRight = 4,
    faceUp = 5,
    faceDown = 6,
};

// "portrait", "landscapeLeft", ...
std::string_view name(DeviceOrientation orientation);

} // namespace qv::platform
