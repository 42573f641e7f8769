#pragma once

#include "platform/capture/CaptureDeviceFormat.hpp"
#include "platform/capture/CaptureOutput.hpp"
#include "platform/capture/SampleBuffer.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <atomic>
#include <memory>

namespace qv::platform {

// Hears the live frames of a video-data output, on the queue given with it.
class VideoDataOutputSampleBufferDelegate {
public:
    virtual ~VideoDataOutputSampleBufferDelegate() = default;
    virtual void didOutputSampleBuffer(const SampleBuffer& sample,
                                       const CaptureConnection& connection) = 0;
};

// Live frames for the app's own use (histogram, magnifier): landscape 'BGRA' frames handed
// to a delegate on a queue, at most 30 a second and never faster than the exposure. A frame
// that arrives while the delegate still handles the one before is dropped (late frames are
// always discarded).
//
// The frame size: with automaticallyConfiguresOutputBufferDimensions (the default) or
// deliversPreviewSizedOutputBuffers, the active format's preview size; with both off, its
// video size.
//
// Setting or removing the delegate never waits for a frame being handled: it takes effect
// for the next frame, and a frame queued for a delegate that has since been replaced or
// removed is dropped. Safe from any thread. Made with std::make_shared.
class CaptureVideoDataOutput final : public CaptureOutput {
public:
    CaptureVideoDataOutput() = default;

    // The delegate is held weakly; a null delegate (or queue) removes it.
    void
    setSampleBufferDelegate(const std::shared_ptr<VideoDataOutputSampleBufferDelegate>& delegate,
                            std::shared_ptr<DispatchQueue> queue);
    bool hasSampleBufferDelegate() const;

    bool automaticallyConfiguresOutputBufferDimensions() const { return automatic_.load(); }
    void setAutomaticallyConfiguresOutputBufferDimensions(bool on) { automatic_ = on; }
    bool deliversPreviewSizedOutputBuffers() const { return previewSized_.load(); }
    void setDeliversPreviewSizedOutputBuffers(bool on) { previewSized_ = on; }
    bool alwaysDiscardsLateVideoFrames() const { return true; }

    // The size of the frames it delivers for a format.
    PixelDimensions frameDimensions(const CaptureDeviceFormat& format) const;

    // Test seam: hands the delegate one sample that carries no image.
    void sendSampleWithoutImage();

    // For the session: hands a rendered frame to the delegate, or drops it when the
    // delegate still handles the one before. True when it was handed on.
    bool deliver(SampleBuffer sample);

private:
    struct Target {
        std::weak_ptr<VideoDataOutputSampleBufferDelegate> delegate;
        std::shared_ptr<DispatchQueue> queue;
        std::uint64_t generation = 0;
    };
    // Shared with the queued blocks, which may outlive the output.
    struct Handover {
        std::atomic<bool> busy{false};            // a frame is on its way to the delegate
        std::atomic<std::uint64_t> generation{0}; // bumped by every change of the delegate
    };
    Target target() const;

    mutable std::mutex targetMutex_; // guards target_
    Target target_;
    std::shared_ptr<Handover> handover_ = std::make_shared<Handover>();
    std::atomic<bool> automatic_{true};
    std::atomic<bool> previewSized_{false};
};

} // namespace qv::platform
