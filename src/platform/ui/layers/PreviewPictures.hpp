#pragma once
// The pictures a preview layer's host draws. A live frame is landscape and larger than the
// host: it is drawn turned upright, reduced by halving (averages of 2 x 2 pixels) while
// more than two of its pixels would go into one device pixel, and scaled by Cairo's bilinear
// filter. Where drawing only scales and moves the host (no turn), that work is done once per
// frame into a picture of the host's device pixels, which a draw copies; in a living scene
// it is done on a queue of the host's own as each frame arrives, so the main thread copies a
// finished picture and never waits for one. Internal to the view layer.

#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/media/PixelBuffer.hpp"
#include "platform/ui/geometry/Geometry.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

typedef struct _cairo cairo_t;

namespace qv::platform::ui::detail {

/// Where a host's frame lies in device pixels when drawing only scales and moves it: its
/// size, and where it starts within its first pixel. A picture made for a placement is
/// drawn at any whole-pixel origin.
struct Placement {
    double width = 0, height = 0;    // device pixels
    double offsetX = 0, offsetY = 0; // in [0, 1)
    int pixelsWide() const;
    int pixelsHigh() const;
    friend bool operator==(const Placement&, const Placement&) = default;
};

/// The placement of the rectangle `frame` (user space of `cr`); none when the transform
/// turns or mirrors it, or the frame is empty.
std::optional<Placement> placementOf(cairo_t* cr, const Rect& frame);

/// A frame drawn for one placement: Cairo RGB24 pixels, width x height, each what drawing
/// the frame into the placement gives before the frame's edges are cut (so a draw cuts them
/// as a direct draw would).
struct PreparedPicture {
    std::shared_ptr<PixelBuffer> frame; // held: the layer's pool cannot refill it meanwhile
    Placement placement;
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

/// Draws `frame` ('BGRA', landscape) upright into the rectangle `frame` of `cr`, through
/// any transform, faded by `opacity`; the caller clips to the rectangle.
void paintUpright(cairo_t* cr, PixelBuffer& frame, const Rect& rect, double opacity);

/// The pictures of one host: the newest prepared one, the placement it was last drawn at,
/// and (in a living scene) the queue that prepares the frames as they arrive.
class PreviewPictures : public std::enable_shared_from_this<PreviewPictures> {
public:
    PreviewPictures() = default;
    PreviewPictures(const PreviewPictures&) = delete;
    PreviewPictures& operator=(const PreviewPictures&) = delete;

    /// Draw time (main thread): calls `draw` with the picture of `frame` for `placement`,
    /// under the lock the preparations keep to (a picture being drawn is never refilled).
    /// The picture is the newest prepared one when it was made for this placement and,
    /// outside a living scene, this frame: in a living scene one of an older frame serves
    /// while the newer is being prepared (whose draw is asked for then). Otherwise one is
    /// made now. The placement is kept for the next frames.
    void draw(const std::shared_ptr<PixelBuffer>& frame, const Placement& placement, bool living,
              const std::function<void(const PreparedPicture&)>& draw);

    /// A new frame of `layer` (its rendering thread, living scenes): prepared on this host's
    /// queue for the placement drawn last, then `redraw` is called. Before the first draw
    /// there is no placement: `redraw` is called at once. Frames that arrive while one is
    /// being prepared are not queued one by one: the next preparation takes the newest.
    void frameArrived(const std::shared_ptr<CaptureVideoPreviewLayer>& layer,
                      const std::function<void()>& redraw);

private:
    // On the queue: the layer's newest frame prepared for the placement wanted now.
    void prepareNewest(CaptureVideoPreviewLayer& layer, const std::function<void()>& redraw);
    // Makes the picture (into `reused`'s pixels when given), outside the lock.
    static std::shared_ptr<PreparedPicture> prepare(const std::shared_ptr<PixelBuffer>& frame,
                                                    const Placement& placement,
                                                    std::shared_ptr<PreparedPicture> reused);
    // Makes `made` the newest picture (under the lock); the one it replaces becomes the spare.
    void keep(std::shared_ptr<PreparedPicture> made);

    std::mutex mutex_; // guards all below: draws on the main thread, preparations on the queue
    std::shared_ptr<PreparedPicture> latest_;
    std::shared_ptr<PreparedPicture> spare_; // a picture no longer shown, its pixels reused
    std::optional<Placement> wanted_;
    bool queued_ = false;
    std::unique_ptr<DispatchQueue> queue_;
};

} // namespace qv::platform::ui::detail
