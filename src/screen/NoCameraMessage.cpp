#include "screen/NoCameraMessage.hpp"

#include "platform/capture/CaptureDeviceDiscovery.hpp"

namespace qv {

std::string noCameraMessage(const CameraManager& camera) {
    switch (camera.cameraState.get()) {
    case CameraState::noRAWCamera: {
        if (!camera.availableCameras().empty()) {
            return "The camera could not be started.";
        }
        const std::string why = platform::CaptureDeviceDiscovery::whyNoCamera();
        return why.empty() ? "No camera found." : why;
    }
    case CameraState::cameraNotAllowed:
        return camera.isCameraAuthorized.get() ? "Access to the photo library was refused."
                                               : "Access to the camera was refused.";
    default:
        return {};
    }
}

} // namespace qv
