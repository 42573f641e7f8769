// Opacity: the content faded, through its colour or an offscreen group.

#include "platform/ui/views/elements/Effect.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

#include <cairo.h>
#include <cmath>

namespace qv::platform::ui::elements {
namespace {

class OpacityElement final : public Effect {
public:
    OpacityElement(Init init, Ptr child, double opacity)
        : Effect(std::move(init), std::move(child)), opacity_(opacity) {}
    bool admitsInput(Point) const override { return opacity_ > 0; }
    double ownOpacity() const override { return opacity_; }
    bool drawsLike(const Element& other) const override {
        return static_cast<const OpacityElement&>(other).opacity_ == opacity_;
    }
    bool hasFiniteValues() const override { return std::isfinite(opacity_); }

protected:
    void drawContent(const RenderContext& ctx) const override {
        if (opacity_ <= 0) {
            return;
        }
        if (opacity_ >= 1) {
            Effect::drawContent(ctx);
            return;
        }
        if (child(0).drawsInOneOperation()) {
            // One painting operation faded is what compositing its group would give.
            RenderContext faded = ctx;
            faded.opacity *= opacity_;
            Effect::drawContent(faded);
            return;
        }
        // The group surface covers the clip, so clip to what is drawn first (shadows, blurs
        // and glyphs past the frames included), in whole device pixels (a clip on pixel
        // edges costs no mask).
        cairo_t* cr = ctx.cr;
        cairo_save(cr);
        cairo_matrix_t ctm;
        cairo_get_matrix(cr, &ctm);
        Transform layoutToDevice{ctm.xx, ctm.yx, ctm.xy, ctm.yy, ctm.x0, ctm.y0};
        Rect dev = layoutToDevice.concat(toScreen().inverted())
                       .apply(contentPaintBounds().insetBy(-1, -1));
        cairo_identity_matrix(cr);
        double x0 = std::floor(dev.minX()), y0 = std::floor(dev.minY());
        cairo_rectangle(cr, x0, y0, std::ceil(dev.maxX()) - x0, std::ceil(dev.maxY()) - y0);
        const RenderContext inner = ctx.clippedToPath();
        cairo_set_matrix(cr, &ctm);
        cairo_clip(cr);
        cairo_push_group(ctx.cr);
        Effect::drawContent(inner);
        cairo_pop_group_to_source(ctx.cr);
        cairo_paint_with_alpha(ctx.cr, opacity_);
        cairo_restore(ctx.cr);
    }

private:
    double opacity_;
};

} // namespace

Ptr opacity(Init init, Ptr child, double value) {
    return std::make_unique<OpacityElement>(std::move(init), std::move(child), value);
}

} // namespace qv::platform::ui::elements
