#pragma once

#include "platform/capture/CaptureDevice.hpp"
#include "platform/capture/scene/Scene.hpp"
#include "platform/capture/simulated/CameraProfile.hpp"

#include <memory>

namespace qv::platform {

// A back camera of the simulated phone: its formats and abilities come from its profile
// entry, its frames from the scene, and between frames it does what a camera does by itself:
// - automatic exposure (exposure modes autoExpose and continuousAutoExposure) meters a
//   64x48 frame against 18 % grey plus the bias and closes a third of the error each frame,
//   by time up to 1/10 s and then by ISO; autoExpose locks once it has converged. The
//   target offset is reported in every mode;
// - automatic focus (autoFocus, continuousAutoFocus) moves the lens to its infinity
//   position at 2 units a second; autoFocus locks once there;
// - automatic white balance (autoWhiteBalance, continuousAutoWhiteBalance) balances the
//   metered frame to grey (grey world) a third of the way each frame, within 1 and the
//   largest gain; autoWhiteBalance locks once there;
// - the system pressure is read every 5 s while the camera streams.
// Made with std::make_shared (a session streams it).
class SimulatedCaptureDevice final : public CaptureDevice {
public:
    SimulatedCaptureDevice(const SimulatedCameraSpec& spec, const CameraProfile& profile,
                           std::shared_ptr<const Scene> scene);
    ~SimulatedCaptureDevice() override;

    const SceneCamera& sceneCamera() const { return camera_; }

private:
    void renderFrame(const FrameExposure& exposure, FramePurpose purpose,
                     PixelBuffer& out) const override;
    void frameDidEnd(const FrameExposure& frame) override;
    void streamingDidChange(bool streaming) override;
    void pollPressure();

    SimulatedCameraSpec spec_;
    SceneCamera camera_;
    std::shared_ptr<const Scene> scene_;
    CancelToken pressurePoll_; // only touched on the event queue
};

} // namespace qv::platform
