#include "platform/capture/simulated/CameraProfile.hpp"

#include <array>
#include <utility>

namespace qv::platform {

namespace {

constexpr std::array<std::pair<CaptureDeviceType, std::string_view>, 3> kindNames{{
    {CaptureDeviceType::builtInWideAngleCamera, "wide"},
    {CaptureDeviceType::builtInTelephotoCamera, "tele"},
    {CaptureDeviceType::builtInUltraWideCamera, "ultraWide"},
}};

} // namespace

std::string cameraKindName(CaptureDeviceType type) {
    for (const auto& [kind, name] : kindNames) {
        if (kind == type) {
            return std::string(name);
        }
    }
    return "camera";
}

std::optional<CaptureDeviceType> cameraKindNamed(std::string_view name) {
    for (const auto& [kind, kindName] : kindNames) {
        if (kindName == name) {
            return kind;
        }
    }
    return std::nullopt;
}

CameraProfile CameraProfile::builtIn() {
    CameraProfile profile;
    SimulatedCameraSpec wide;
    wide.zoomFactors = {2};

    SimulatedCameraSpec tele;
    tele.type = CaptureDeviceType::builtInTelephotoCamera;
    tele.name = "Back Telephoto Camera";
    tele.fieldOfView = 26.3;
    tele.aperture = 2.8;
    tele.focalLength = 15.7;
    tele.minISO = 40;
    tele.maxISO = 2560;
    tele.infinityLensPosition = 0.95;

    SimulatedCameraSpec ultraWide;
    ultraWide.type = CaptureDeviceType::builtInUltraWideCamera;
    ultraWide.name = "Back Ultra Wide Camera";
    ultraWide.fieldOfView = 108.3;
    ultraWide.aperture = 2.2;
    ultraWide.focalLength = 1.57;
    ultraWide.minISO = 40;
    ultraWide.maxISO = 2560;
    ultraWide.infinityLensPosition = 0.8;

    profile.cameras = {wide, tele, ultraWide};
    return profile;
}

} // namespace qv::platform
