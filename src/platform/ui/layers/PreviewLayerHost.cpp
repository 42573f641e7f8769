#include "platform/ui/layers/PreviewLayerHost.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/media/PixelFormat.hpp"
#include "platform/ui/drawing/Log.hpp"
#include "platform/ui/graph/detail/GraphCore.hpp"
#include "platform/ui/layers/PreviewPictures.hpp"
#include "platform/ui/views/elements/Leaf.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <vector>

namespace qv::platform::ui {
namespace {

class PreviewLayerElement final : public elements::Leaf {
public:
    PreviewLayerElement(elements::Init init, std::shared_ptr<CaptureVideoPreviewLayer> layer,
                        std::shared_ptr<detail::PreviewPictures> pictures, bool live)
        : Leaf(std::move(init)), layer_(std::move(layer)), pictures_(std::move(pictures)),
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
        if (const auto placement = detail::placementOf(cr, f)) {
            // Drawing only scales and moves the host: its picture is made once per frame
            // for the device pixels it covers, and copied.
            double x = f.x, y = f.y;
            cairo_user_to_device(cr, &x, &y);
            cairo_identity_matrix(cr);
            pictures_->draw(picture, *placement, live_, [&](const detail::PreparedPicture& p) {
                cairo_surface_t* source = cairo_image_surface_create_for_data(
                    reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(p.pixels.data())),
                    CAIRO_FORMAT_RGB24, p.width, p.height, p.width * 4);
                cairo_set_source_surface(cr, source, std::floor(x), std::floor(y));
                cairo_paint_with_alpha(cr, ctx.opacity);
                cairo_surface_destroy(source);
            });
        } else {
            detail::paintUpright(cr, *picture, f, ctx.opacity);
        }
        cairo_restore(cr);
    }

private:
    std::shared_ptr<CaptureVideoPreviewLayer> layer_;
    std::shared_ptr<detail::PreviewPictures> pictures_;
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
        auto pictures = std::make_shared<detail::PreviewPictures>();
        detail::BuildSession* session = detail::BuildSession::current();
        detail::GraphCore* graph = detail::GraphCore::of(session);
        const bool live = graph != nullptr && !session->isProbing();
        if (live) {
            // The layer this identity was first built with stays, and so do its pictures.
            session->keepAlive(identity);
            shown = graph->elementState(identity, "layer", layer_)->value;
            pictures = graph->elementState(identity, "pictures", pictures)->value;
            session->addNotice(session->key(identity, "frames"),
                               {[shown, weak = std::weak_ptr(pictures),
                                 redraw = graph->displayRequester(identity)](auto) {
                                    // The layer calls this on its rendering thread; it holds the
                                    // callback, so the callback holds it weakly.
                                    return shown->onFrameArrived(
                                        [layer = std::weak_ptr(shown), weak, redraw] {
                                            const auto p = weak.lock();
                                            const auto l = layer.lock();
                                            if (p && l) {
                                                p->frameArrived(l, redraw);
                                            }
                                        });
                                },
                                nullptr});
        }
        out.push_back(std::make_unique<PreviewLayerElement>(
            elements::Init{"PreviewLayer", identity, ctx.environment}, shown, pictures, live));
    }

private:
    std::shared_ptr<CaptureVideoPreviewLayer> layer_;
};

} // namespace

View PreviewLayerHost(std::shared_ptr<CaptureVideoPreviewLayer> layer) {
    return View(std::make_shared<PreviewLayerNode>(std::move(layer)));
}

} // namespace qv::platform::ui
