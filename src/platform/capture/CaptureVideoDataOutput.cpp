#include "platform/capture/CaptureVideoDataOutput.hpp"

namespace qv::platform {

void CaptureVideoDataOutput::setSampleBufferDelegate(
    const std::shared_ptr<VideoDataOutputSampleBufferDelegate>& delegate,
    std::shared_ptr<DispatchQueue> queue) {
    std::lock_guard guard(targetMutex_);
    target_.generation = ++handover_->generation;
    if (delegate && queue) {
        target_.delegate = delegate;
        target_.queue = std::move(queue);
    } else {
        target_.delegate.reset();
        target_.queue.reset();
    }
}

bool CaptureVideoDataOutput::hasSampleBufferDelegate() const {
    std::lock_guard guard(targetMutex_);
    return target_.queue != nullptr && !target_.delegate.expired();
}

CaptureVideoDataOutput::Target CaptureVideoDataOutput::target() const {
    std::lock_guard guard(targetMutex_);
    return target_;
}

PixelDimensions CaptureVideoDataOutput::frameDimensions(const CaptureDeviceFormat& format) const {
    return automaticallyConfiguresOutputBufferDimensions() || deliversPreviewSizedOutputBuffers()
               ? format.previewDimensions
               : format.videoDimensions;
}

bool CaptureVideoDataOutput::deliver(SampleBuffer sample) {
    const Target t = target();
    if (!t.queue || t.delegate.expired()) {
        return false;
    }
    if (handover_->busy.exchange(true)) {
        return false; // the delegate still has the frame before: this one is late
    }
    // The frame is off the output's hands once the block ran or was dropped with its queue.
    auto release =
        std::shared_ptr<void>(nullptr, [handover = handover_](void*) { handover->busy = false; });
    t.queue->async([handover = handover_, release = std::move(release), t,
                    connection = connection(), sample = std::move(sample)] {
        // Only for the delegate it was meant for: one replaced or removed meanwhile gets
        // nothing.
        if (handover->generation == t.generation) {
            if (const auto delegate = t.delegate.lock()) {
                delegate->didOutputSampleBuffer(sample, *connection);
            }
        }
    });
    return true;
}

void CaptureVideoDataOutput::sendSampleWithoutImage() {
    deliver({nullptr, MediaTime::zero(1000000000)});
}

} // namespace qv::platform
