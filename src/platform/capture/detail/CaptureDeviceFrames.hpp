#pragma once

#include "platform/capture/CaptureDevice.hpp"

namespace qv::platform::detail {

// What the session and the outputs of this layer use of a camera and no one else may:
// its frame clock, its renderer and its input switch.
struct CaptureDeviceFrames {
    // Starts the device's frames: one after another, each as long as the exposure but at
    // least 1/30 s, timed on the device's event queue. After each frame the device runs
    // the completions due, its automatic adjustments, then `frameEnded` (on that queue).
    // Starting again only replaces `frameEnded`.
    static void startStreaming(const std::shared_ptr<CaptureDevice>& device,
                               std::function<void(const FrameExposure&)> frameEnded);
    // Ends the frames; completions still pending run at once.
    static void stopStreaming(const std::shared_ptr<CaptureDevice>& device);
    // Renders a frame exposed as `exposure` into `out` (any thread).
    static void render(const CaptureDevice& device, const FrameExposure& exposure,
                       FramePurpose purpose, PixelBuffer& out);
    // The device's settings now, as an exposure starting now.
    static FrameExposure exposureNow(const CaptureDevice& device);
    // The description of the input-creation switch, when set.
    static std::optional<std::string> inputFailure(const CaptureDevice& device);
};

} // namespace qv::platform::detail
