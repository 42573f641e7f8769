#include "camera/LiveOverlays.hpp"

#include "camera/CameraManager.hpp"
#include "model/ImageRoutines.hpp"
#include "platform/state/Transaction.hpp"

namespace qv {

using platform::withAnimation;

// The video-data output's delegate for the controller, which it holds weakly: the output
// holds its delegate weakly, so the room keeps this alive.
class LiveOverlays::FrameReceiver final : public platform::VideoDataOutputSampleBufferDelegate {
public:
    explicit FrameReceiver(std::weak_ptr<CameraManager> camera) : camera_(std::move(camera)) {}

    void didOutputSampleBuffer(const platform::SampleBuffer& sample,
                               const platform::CaptureConnection&) override {
        if (const auto owner = camera_.lock()) {
            owner->overlays_.handleFrame(sample);
        }
    }

private:
    std::weak_ptr<CameraManager> camera_;
};

template <typename Product>
bool LiveOverlays::Pending<Product>::offer(Publish publish) {
    std::lock_guard lock(mutex_);
    latest_ = std::move(publish);
    return !std::exchange(queued_, true);
}

template <typename Product>
auto LiveOverlays::Pending<Product>::take() -> std::optional<Publish> {
    std::lock_guard lock(mutex_);
    queued_ = false;
    return std::exchange(latest_, std::nullopt);
}

GridOverlayType nextGridOverlayType(const GridOverlayType& current) {
    if (current.isGoldenRatio()) {
        return GridOverlayType::rectangular(3, 3);
    }
    if (current == GridOverlayType::rectangular(3, 3)) {
        return GridOverlayType::rectangular(4, 4);
    }
    return GridOverlayType::goldenRatio();
}

void LiveOverlays::start() {
    receiver_ = std::make_shared<FrameReceiver>(camera.weak_from_this());
}

bool LiveOverlays::isOn(ActiveOverlayViews member) const {
    return camera.activeOverlayViews.get().contains(member);
}

void LiveOverlays::switchOff(ActiveOverlayViews member) {
    ActiveOverlayViews overlays = camera.activeOverlayViews.get();
    overlays.remove(member);
    camera.activeOverlayViews = overlays; // one change, the other members kept
}

void LiveOverlays::toggleGrid() {
    if (isOn(ActiveOverlayViews::grid)) {
        switchOff(ActiveOverlayViews::grid);
    } else {
        camera.activeOverlayViews = ActiveOverlayViews::grid;
    }
    switched();
}

void LiveOverlays::toggleSpiritLevel() {
    if (isOn(ActiveOverlayViews::spiritLevel)) {
        // The accelerometer stops itself at its next sample.
        withAnimation([&] { switchOff(ActiveOverlayViews::spiritLevel); });
    } else {
        camera.startAccelerometerUpdates();
        withAnimation([&] { camera.activeOverlayViews = ActiveOverlayViews::spiritLevel; });
    }
    switched();
}

void LiveOverlays::toggleHistogram() {
    if (isOn(ActiveOverlayViews::histogram)) {
        switchOff(ActiveOverlayViews::histogram);
        stopLiveFrames();
        camera.previewImageScale = std::nullopt;
        camera.histogram.set(std::optional<Histogram>());
    } else {
        camera.previewUIImage = nullptr;
        resumeLiveFrames();
        camera.previewImageScale = std::nullopt;
        camera.activeOverlayViews = ActiveOverlayViews::histogram;
    }
    switched();
}

void LiveOverlays::toggleMagnifier() {
    if (isOn(ActiveOverlayViews::magnifier)) {
        switchOff(ActiveOverlayViews::magnifier);
        camera.previewUIImage = nullptr;
        stopLiveFrames();
        camera.previewImageScale = std::nullopt;
    } else {
        resumeLiveFrames();
        camera.previewImageScale = std::nullopt;
        camera.activeOverlayViews = ActiveOverlayViews::magnifier;
    }
    switched();
}

void LiveOverlays::cycleGridOverlay() {
    camera.onMain([](CameraManager& self) {
        withAnimation(
            [&] { self.gridOverlayType = nextGridOverlayType(self.gridOverlayType.get()); });
    });
}

void LiveOverlays::stopLiveFrames() {
    camera.videoOutput->setSampleBufferDelegate(nullptr, nullptr);
}

void LiveOverlays::resumeLiveFrames() {
    camera.videoOutput->setSampleBufferDelegate(receiver_, camera.videoDataQueue());
}

void LiveOverlays::handleFrame(const platform::SampleBuffer& sample) {
    const ActiveOverlayViews overlays = camera.activeOverlayViews.load();
    const bool magnifier = overlays.contains(ActiveOverlayViews::magnifier);
    if (!magnifier && !overlays.contains(ActiveOverlayViews::histogram)) {
        return; // nothing is done for frames no overlay shows
    }
    const std::shared_ptr<platform::PixelBuffer>& frame = sample.imageBuffer;
    if (!frame) {
        return;
    }
    const std::uint64_t generation = generation_.load();
    std::optional<double> scale;
    if (!camera.previewImageScale.load()) {
        const int screenWidth = camera.services_.application.nativeScreenSize().width;
        scale = double(screenWidth) / double(frame->height());
    }
    if (magnifier) {
        std::optional<platform::RgbaImage> image = cgImage(frame);
        if (!image || image->empty()) {
            return;
        }
        image->scale = 1.0;
        image->orientation = platform::ImageOrientation::right; // the frame turned upright
        publish(pendingImage_,
                {std::make_shared<const platform::RgbaImage>(std::move(*image)), scale, generation},
                ActiveOverlayViews::magnifier,
                [](CameraManager& self, std::shared_ptr<const platform::RgbaImage> picture) {
                    self.previewUIImage = std::move(picture);
                });
        return;
    }
    // Counted in the frame's own pixels: no copy of the frame is made.
    frame->lock(true);
    std::optional<Histogram> counts = histogramProcessor_.calculateHistogram(*frame);
    frame->unlock(true);
    if (counts) {
        publish(pendingHistogram_, {std::move(*counts), scale, generation},
                ActiveOverlayViews::histogram, [](CameraManager& self, Histogram histogram) {
                    self.histogram = std::move(histogram);
                });
    }
}

template <typename Product, typename Store>
void LiveOverlays::publish(Pending<Product>& pending, typename Pending<Product>::Publish latest,
                           ActiveOverlayViews overlay, Store store) {
    if (!pending.offer(std::move(latest))) {
        return; // the block already waiting takes this newer one
    }
    camera.onMain([&pending, overlay, store](CameraManager& self) {
        auto taken = pending.take();
        if (!taken || self.overlays_.generation_.load() != taken->generation ||
            !self.activeOverlayViews.get().contains(overlay)) {
            return;
        }
        if (taken->scale && !self.previewImageScale.get()) {
            self.previewImageScale = taken->scale;
        }
        store(self, std::move(taken->product));
    });
}

} // namespace qv
