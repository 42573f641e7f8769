#include "platform/ui/layers/PreviewLayerHost.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/media/PixelFormat.hpp"
#include "platform/ui/drawing/Log.hpp"
#include "platform/ui/graph/detail/GraphCore.hpp"
#include "platform/ui/views/elements/Leaf.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <vector>

namespace qv::platform::ui {
namespace {

// The latest frame of a layer turned upright, made once per frame: drawing a quarter-
// turned picture through Cairo costs several times an upright one, and the window draws
// a frame more than once (the views above it change too).
class UprightFrame {
public:
    // The upright pixels of `frame` (Cairo RGB24, `height` x `width` of the frame).
    std::vector<std::uint32_t>& of(const std::shared_ptr<PixelBuffer>& frame) {
        if (frame == turned_) {
            return pixels_;
        }
        turned_ = frame; // held, so the layer's pool cannot refill it while it is shown
        const std::size_t w = frame->width(), h = frame->height();
        pixels_.resize(w * h);
        frame->lock(true);
        // The frame's pixel (x, y) is the upright pixel (h - 1 - y, x); in tiles, so the
        // column writes stay in the cache.
        constexpr std::size_t tile = 32;
        for (std::size_t y0 = 0; y0 < h; y0 += tile) {
            for (std::size_t x0 = 0; x0 < w; x0 += tile) {
                for (std::size_t y = y0; y < std::min(y0 + tile, h); ++y) {
                    const auto* row = frame->row<std::uint32_t>(y);
                    for (std::size_t x = x0; x < std::min(x0 + tile, w); ++x) {
                        pixels_[x * h + (h - 1 - y)] = row[x];
                    }
                }
            }
        }
        frame->unlock(true);
        return pixels_;
    }

private:
    std::shared_ptr<PixelBuffer> turned_;
    std::vector<std::uint32_t> pixels_;
};

class PreviewLayerElement final : public elements::Leaf {
public:
    PreviewLayerElement(elements::Init init, std::shared_ptr<CaptureVideoPreviewLayer> layer,
                        std::shared_ptr<UprightFrame> upright, bool live)
        : Leaf(std::move(init)), layer_(std::move(layer)), upright_(std::move(upright)),
          live_(live) {}

    bool hitsContent(Point p) const override { return frame().contains(p); }
    bool drawsInOneOperation() const override { return true; }
    // Its frames are drawn when they arrive, without a rebuild (a display request).
    bool drawsLike(const Element& other) const override {
        return static_cast<const PreviewLayerElement&>(other).layer_ == layer_;
    }

protected:
    Size measure(ProposedSize p) override { return {p.width.value_or(10), p.height.value_or(10)}; }

    // The layer takes the host's bounds once the layout of this build stands. Bounds it
    // has already are not set again: the window rebuilds after main-queue work, so a set
    // after every build would rebuild the scene at every frame.
    void placeChildren() override {
        const CaptureRect bounds{0, 0, frame().width, frame().height};
        if (!live_ || layer_->frame() == bounds) {
            return;
        }
        DispatchQueue::main().async([weak = std::weak_ptr(layer_), bounds] {
            if (auto layer = weak.lock()) {
                layer->setFrame(bounds);
            }
        });
    }

    void drawSelf(const RenderContext& ctx) const override {
        const std::shared_ptr<PixelBuffer> picture = layer_->latestFrame();
        const Rect& f = frame();
        if (!picture || f.width <= 0 || f.height <= 0) {
            return;
        }
        if (picture->pixelFormat() != pixelformat::bgra32) {
            logOnce("preview format " + identity(), "ui: the preview layer at " + identity() +
                                                        " holds a frame that is not " +
                                                        "'BGRA'; it draws nothing");
            return;
        }
        cairo_t* cr = ctx.cr;
        cairo_save(cr);
        cairo_rectangle(cr, f.x, f.y, f.width, f.height);
        if (ctx.tint) {
            // The picture is opaque: in a tint (an unblurred shadow) it is its rectangle.
            const auto c = elements::colorFor(ctx, {0, 0, 0, 1});
            cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
            cairo_fill(cr);
            cairo_restore(cr);
            return;
        }
        cairo_clip(cr);
        // Upright, the frame is `h` wide and `w` high: its point (u, v) lands at
        // (w' (1 - v), h' u) of the host.
        const int w = static_cast<int>(picture->width()), h = static_cast<int>(picture->height());
        std::vector<std::uint32_t>& pixels = upright_->of(picture);
        // 'BGRA' bytes are Cairo's native 32-bit pixels; the alpha byte is not read.
        cairo_surface_t* source = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(pixels.data()), CAIRO_FORMAT_RGB24, h, w, h * 4);
        cairo_translate(cr, f.x, f.y);
        cairo_scale(cr, f.width / h, f.height / w);
        // Device pixels per frame pixel: a plain bilinear filter unless the frame is
        // reduced by more than half (tests draw at one pixel a point).
        double across = 1, down = 0;
        cairo_user_to_device_distance(cr, &across, &down);
        const bool reduced = std::hypot(across, down) < 0.5;
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr),
                                 reduced ? CAIRO_FILTER_GOOD : CAIRO_FILTER_BILINEAR);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_paint_with_alpha(cr, ctx.opacity);
        cairo_surface_destroy(source);
        cairo_restore(cr);
    }

private:
    std::shared_ptr<CaptureVideoPreviewLayer> layer_;
    std::shared_ptr<UprightFrame> upright_;
    bool live_;
};

class PreviewLayerNode final : public ViewNode {
public:
    explicit PreviewLayerNode(std::shared_ptr<CaptureVideoPreviewLayer> layer)
        : layer_(std::move(layer)) {}

    void resolve(const ResolveContext& ctx, ElementList& out) const override {
        if (!layer_) {
            return;
        }
        const std::string identity = ctx.path + "/PreviewLayer";
        std::shared_ptr<CaptureVideoPreviewLayer> shown = layer_;
        auto upright = std::make_shared<UprightFrame>();
        detail::BuildSession* session = detail::BuildSession::current();
        detail::GraphCore* graph = detail::GraphCore::of(session);
        const bool live = graph != nullptr && !session->isProbing();
        if (live) {
            // The layer this identity was first built with stays, and so does its upright
            // frame.
            session->keepAlive(identity);
            shown = graph->elementState(identity, "layer", layer_)->value;
            upright = graph->elementState(identity, "upright", upright)->value;
            session->addNotice(session->key(identity, "frames"),
                               {[shown, redraw = graph->displayRequester(identity)](auto) {
                                    return shown->onFrameArrived(redraw);
                                },
                                nullptr});
        }
        out.push_back(std::make_unique<PreviewLayerElement>(
            elements::Init{"PreviewLayer", identity, ctx.environment}, shown, upright, live));
    }

private:
    std::shared_ptr<CaptureVideoPreviewLayer> layer_;
};

} // namespace

View PreviewLayerHost(std::shared_ptr<CaptureVideoPreviewLayer> layer) {
    return View(std::make_shared<PreviewLayerNode>(std::move(layer)));
}

} // namespace qv::platform::ui
