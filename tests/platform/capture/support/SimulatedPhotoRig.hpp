#pragma once

#include "platform/capture/CapturePhotoOutput.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"

#include <memory>

namespace qv::platform::test {

// A simulated camera with a running session and a photo output, its white balance locked
// and its exposure set, for taking photos on a virtual clock (make the VirtualDispatch
// first).
struct SimulatedPhotoRig {
    SimulatedPhotoRig(const SimulatedCameraSpec& spec, std::shared_ptr<const Scene> scene,
                      WhiteBalanceGains gains, double seconds, float iso);

    // Asks for one photo and runs the clock until its request has finished (at most
    // `within`); the (last) photo delivered, null when none came.
    std::shared_ptr<CapturedPhoto> take(VirtualDispatch& dispatch,
                                        const CapturePhotoSettings& settings,
                                        Seconds within = Seconds(60));

    std::shared_ptr<SimulatedCaptureDevice> device;
    std::shared_ptr<CaptureSession> session = std::make_shared<CaptureSession>();
    std::shared_ptr<CapturePhotoOutput> output = std::make_shared<CapturePhotoOutput>();
};

} // namespace qv::platform::test
