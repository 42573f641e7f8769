#pragma once

#include "platform/capture/CaptureVideoDataOutput.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/state/ObservableObject.hpp"
#include "platform/state/Published.hpp"

#include <memory>

namespace qv {

// A ready-made receiver of live frames that publishes the latest one. Nothing in the app
// makes it (the screens get their live frames through the camera controller); a video-data
// output can be given it as its delegate on videoOutputQueue().
//
// Threads: frames arrive on videoOutputQueue(); currentFrame is written on the main queue.
class PreviewFrameManager final : public platform::ObservableObject,
                                  public platform::VideoDataOutputSampleBufferDelegate,
                                  public std::enable_shared_from_this<PreviewFrameManager> {
public:
    static std::shared_ptr<PreviewFrameManager> make();

    // The latest frame; null until one with a picture arrived.
    platform::Published<std::shared_ptr<platform::PixelBuffer>> currentFrame{*this, nullptr};

    // "org.quarn-vesil.QuarnVesil.VideoOutputQ", user-initiated.
    const std::shared_ptr<platform::DispatchQueue>& videoOutputQueue() const { return queue_; }

    // Publishes the sample's picture on the main queue; a sample without one is ignored.
    // The queued block keeps the manager alive until it has run.
    void didOutputSampleBuffer(const platform::SampleBuffer& sample,
                               const platform::CaptureConnection& connection) override;

    PreviewFrameManager(const PreviewFrameManager&) = delete;
    PreviewFrameManager& operator=(const PreviewFrameManager&) = delete;

private:
    PreviewFrameManager();
    std::shared_ptr<platform::DispatchQueue> queue_;
};

} // namespace qv
