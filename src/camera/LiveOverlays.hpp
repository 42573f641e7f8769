#pragma once

#include "camera/HistogramProcessor.hpp"
#include "model/ActiveOverlayViews.hpp"
#include "model/GridOverlayType.hpp"
#include "model/Histogram.hpp"
#include "platform/capture/CaptureVideoDataOutput.hpp"
#include "platform/media/RgbaImage.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace qv {

class CameraManager;

// The overlays over the preview and the live frames behind two of them. The four switches
// keep at most one overlay on: switching one on replaces the set by it alone, switching it
// off removes only it. The histogram and the magnifier get live frames from the video-data
// output while they are on; each frame becomes the magnifier's picture (the whole frame as a
// portrait image, orientation right) or the histogram, never both.
//
// A frame is dropped before any work unless the magnifier or the histogram is on, and a frame
// without a picture, or one that cannot be converted, changes nothing. The histogram is counted
// in the frame's own pixels; only the magnifier's picture is a copy of the frame. The frame's
// product is published on the main queue without waiting there: at most one publish per
// product is pending, a newer frame replacing the one it carries, and the publish stores
// only while its overlay is still on and no switch came in between, so a frame in flight
// cannot bring back what a switch or the shutter release cleared. With the product goes the
// preview scale (the screen's native width in pixels over the frame's height) while it is
// unset.
//
// Threads: the switches, the grid cycle and the run's hooks on the main queue; frames on
// "video data queue", which reads the overlays and the scale through their mirrors.
class LiveOverlays {
public:
    explicit LiveOverlays(CameraManager& owner) : camera(owner) {}
    LiveOverlays(const LiveOverlays&) = delete;
    LiveOverlays& operator=(const LiveOverlays&) = delete;

    // The receiver of live frames; made once the controller is shared (start-up).
    void start();

    void toggleGrid();
    void toggleSpiritLevel();
    void toggleHistogram();
    void toggleMagnifier();
    // The next grid: golden ratio, 3 x 3, 4 x 4, golden ratio (any other rectangular grid
    // goes to the golden ratio); on a later turn of the main queue.
    void cycleGridOverlay();

    // The run: no live frames while a sequence shoots; they come back when it has ended,
    // whatever overlay is on (a frame under none is dropped).
    void stopLiveFrames();
    void resumeLiveFrames();

private:
    class FrameReceiver;
    // The latest product of one kind waiting for the main queue.
    template <typename Product>
    class Pending {
    public:
        struct Publish {
            Product product;
            std::optional<double> scale; // to store while previewImageScale is unset
            std::uint64_t generation;    // of the switches when the frame was taken
        };
        // Keeps `publish`; true when no main-queue block is waiting for it yet.
        bool offer(Publish publish);
        std::optional<Publish> take();

    private:
        std::mutex mutex_; // the frame queue offers, the main queue takes
        std::optional<Publish> latest_;
        bool queued_ = false;
    };

    bool isOn(ActiveOverlayViews member) const;
    void switchOff(ActiveOverlayViews member);
    // Ends every switch, after its writes: a frame taken before it is not published.
    void switched() { ++generation_; }
    void handleFrame(const platform::SampleBuffer& sample); // "video data queue"
    // Hands the frame's product to the main queue, where `store` writes it while `overlay`
    // is still on and no switch came since the frame was taken.
    template <typename Product, typename Store>
    void publish(Pending<Product>& pending, typename Pending<Product>::Publish latest,
                 ActiveOverlayViews overlay, Store store);

    CameraManager& camera;
    std::shared_ptr<FrameReceiver> receiver_;
    HistogramProcessor histogramProcessor_; // "video data queue" only
    // Bumped by every switch on the main queue; a frame carries the value it started with.
    std::atomic<std::uint64_t> generation_{0};
    Pending<std::shared_ptr<const platform::RgbaImage>> pendingImage_;
    Pending<Histogram> pendingHistogram_;
};

// The grid that follows `current` in the long-press cycle.
GridOverlayType nextGridOverlayType(const GridOverlayType& current);

} // namespace qv
