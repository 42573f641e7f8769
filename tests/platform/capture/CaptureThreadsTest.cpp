// The session, outputs and camera on real threads (for ThreadSanitizer): live frames reach
// a delegate that is replaced while frames flow, a photo arrives, the session stops.
#include "Arrivals.hpp"
#include "platform/capture/CaptureDeviceInMemory.hpp"
#include "platform/capture/CapturePhotoOutput.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/capture/CaptureVideoDataOutput.hpp"
#include "platform/capture/CaptureVideoPreviewLayer.hpp"

#include <atomic>
#include <gtest/gtest.h>

namespace qv::platform {
namespace {

using qv::testing::Arrivals;

struct FrameCounter : VideoDataOutputSampleBufferDelegate {
    Arrivals arrivals;
    void didOutputSampleBuffer(const SampleBuffer& sample, const CaptureConnection&) override {
        if (sample.imageBuffer && sample.imageBuffer->width() == 80) {
            arrivals.add();
        }
    }
};

struct PhotoWaiter : PhotoCaptureDelegate {
    Arrivals finished;
    std::atomic<bool> gotPixels{false};
    void didFinishProcessingPhoto(const std::shared_ptr<CapturedPhoto>& photo,
                                  const std::optional<CaptureError>&) override {
        gotPixels = photo->pixelBuffer() != nullptr;
    }
    void didFinishCapture(const ResolvedPhotoSettings&,
                          const std::optional<CaptureError>&) override {
        finished.add();
    }
};

TEST(CaptureThreads, FramesAndPhotosFlowWhileTheDelegateChanges) {
    CaptureDeviceState state;
    state.activeFormat.photoDimensions = {160, 120};
    state.activeFormat.previewDimensions = {80, 60};
    auto camera = std::make_shared<InMemoryCaptureDevice>(state);
    auto session = std::make_shared<CaptureSession>();
    auto video = std::make_shared<CaptureVideoDataOutput>();
    auto photos = std::make_shared<CapturePhotoOutput>();
    session->addInput(CaptureDeviceInput::make(camera));
    session->addOutput(video);
    session->addOutput(photos);
    auto layer = CaptureVideoPreviewLayer::make(session);
    layer->setFrame({0, 0, 390, 520});
    session->startRunning();

    auto queue = std::make_shared<DispatchQueue>("video data queue");
    auto first = std::make_shared<FrameCounter>();
    auto second = std::make_shared<FrameCounter>();
    video->setSampleBufferDelegate(first, queue);
    ASSERT_TRUE(first->arrivals.waitFor(2));
    video->setSampleBufferDelegate(second, queue);
    ASSERT_TRUE(second->arrivals.waitFor(2));

    auto waiter = std::make_shared<PhotoWaiter>();
    {
        ConfigurationLock lock(*camera);
        camera->setExposureModeCustom(MediaTime::fromSeconds(0.001), 100);
    }
    photos->capturePhoto(CapturePhotoSettings::withRawPixelFormat(pixelformat::bayer14RGGB),
                         waiter);
    ASSERT_TRUE(waiter->finished.waitFor(1));
    EXPECT_TRUE(waiter->gotPixels);
    EXPECT_NE(layer->latestFrame(), nullptr);
    video->setSampleBufferDelegate(nullptr, nullptr);
    session->stopRunning();
}

} // namespace
} // namespace qv::platform
