#pragma once

#include "platform/capture/CaptureSession.hpp"
#include "platform/capture/CaptureTypes.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/state/Signal.hpp"

#include <memory>
#include <mutex>

namespace qv::platform {

// The live picture of a session for the view layer to draw. It keeps the latest frame
// (landscape 'BGRA', preview size; the newest wins), and tells whoever listens that one
// arrived, so the window can redraw without rebuilding its views.
//
// The picture is shown upright in the portrait view: the frame's point (u, v), in 0...1 of
// its width and height, lands at (w (1 - v), h u) of the layer's frame of w by h points.
// captureDevicePointOfInterestForPoint() is the inverse, so a tapped point names the sensor
// point under it.
//
// The layer takes its frame from the view that shows it; frames are rendered for it only
// while its frame is not empty. Safe from any thread. Made with make(), on a session.
class CaptureVideoPreviewLayer : public std::enable_shared_from_this<CaptureVideoPreviewLayer> {
public:
    static std::shared_ptr<CaptureVideoPreviewLayer> make(std::shared_ptr<CaptureSession> session);

    const std::shared_ptr<CaptureSession>& session() const { return session_; }

    CaptureRect frame() const;
    void setFrame(CaptureRect frame);

    // The sensor point (0...1 on each axis) under a point of the layer:
    // ((y - frame.y) / h, 1 - (x - frame.x) / w), kept within 0...1. (0.5, 0.5) for an empty
    // frame.
    CapturePoint captureDevicePointOfInterestForPoint(CapturePoint point) const;
    // The layer point that shows a sensor point.
    CapturePoint pointForCaptureDevicePointOfInterest(CapturePoint pointOfInterest) const;

    // The latest frame, null before the first. Read it only.
    std::shared_ptr<PixelBuffer> latestFrame() const;

    // Called on the rendering thread each time a new frame has become the latest; it must
    // be quick (ask for a redraw) and must not wait for the main thread.
    [[nodiscard]] Subscription onFrameArrived(std::function<void()> callback);

    // For the session: makes `frame` the latest.
    void present(std::shared_ptr<PixelBuffer> frame);

private:
    explicit CaptureVideoPreviewLayer(std::shared_ptr<CaptureSession> session);

    std::shared_ptr<CaptureSession> session_;
    mutable std::mutex mutex_; // guards frame_ and latest_
    CaptureRect frame_;
    std::shared_ptr<PixelBuffer> latest_;
    Signal<> frameArrived_;
};

} // namespace qv::platform
