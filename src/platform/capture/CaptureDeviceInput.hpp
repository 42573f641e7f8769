#pragma once

#include "platform/capture/CaptureDevice.hpp"
#include "platform/capture/CaptureError.hpp"

#include <memory>

namespace qv::platform {

// A camera as the input of a capture session.
class CaptureDeviceInput {
public:
    // The input for the device; null, with `error` (when given) saying why, when none can be
    // made (the device's input switch, or no device).
    static std::shared_ptr<CaptureDeviceInput> make(std::shared_ptr<CaptureDevice> device,
                                                    CaptureError* error = nullptr);

    const std::shared_ptr<CaptureDevice>& device() const { return device_; }

private:
    explicit CaptureDeviceInput(std::shared_ptr<CaptureDevice> device)
        : device_(std::move(device)) {}

    std::shared_ptr<CaptureDevice> device_;
};

} // namespace qv::platform
