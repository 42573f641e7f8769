#include "platform/sensors/DeviceOrientation.hpp"

namespace qv::platform {

std::string_view name(DeviceOrientation orientation) {
    switch (orientation) {
    case DeviceOrientation::unknown:
        return "unknown";
    case DeviceOrientation::portrait:
        return "portrait";
    case DeviceOrientation::portraitUpsideDown:
        return "portraitUpsideDown";
    case DeviceOrientation::landscapeLeft:
        return "landscapeLeft";
    case DeviceOrientation::landscapeRight:
        return "landscapeRight";
    case DeviceOrientation::faceUp:
        return "faceUp";
    case DeviceOrientation::faceDown:
        return "faceDown";
    }
    return "unknown";
}

} // namespace qv::platform
