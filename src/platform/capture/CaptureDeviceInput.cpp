#include "platform/capture/CaptureDeviceInput.hpp"

#include "platform/capture/detail/CaptureDeviceFrames.hpp"

namespace qv::platform {

std::shared_ptr<CaptureDeviceInput> CaptureDeviceInput::make(std::shared_ptr<CaptureDevice> device,
                                                             CaptureError* error) {
    std::optional<std::string> failure;
    if (!device) {
        failure = "no camera to make an input of";
    } else {
        failure = detail::CaptureDeviceFrames::inputFailure(*device);
    }
    if (failure) {
        if (error != nullptr) {
            *error = {CaptureError::Code::inputUnavailable, *failure};
        }
        return nullptr;
    }
    return std::shared_ptr<CaptureDeviceInput>(new CaptureDeviceInput(std::move(device)));
}

} // namespace qv::platform
