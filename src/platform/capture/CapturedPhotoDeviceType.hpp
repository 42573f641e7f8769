#pragma once

namespace qv::platform {

// The kind of back camera a photo was taken with.
enum class CaptureDeviceType {
    builtInWideAngleCamera,
    builtInTelephotoCamera,
    builtInUltraWideCamera
};

} // namespace qv::platform
