#include "camera/PreviewFrameManager.hpp"

namespace qv {

std::shared_ptr<PreviewFrameManager> PreviewFrameManager::make() {
    return std::shared_ptr<PreviewFrameManager>(new PreviewFrameManager());
}

PreviewFrameManager::PreviewFrameManager()
    : queue_(std::make_shared<platform::DispatchQueue>("org.quarn-vesil.QuarnVesil.VideoOutputQ",
                                                       platform::QoS::userInitiated)) {}

void PreviewFrameManager::didOutputSampleBuffer(const platform::SampleBuffer& sample,
                                                const platform::CaptureConnection&) {
    if (!sample.imageBuffer) {
        return;
    }
    platform::DispatchQueue::main().async(
        [self = shared_from_this(), frame = sample.imageBuffer] { self->currentFrame = frame; });
}

} // namespace qv
