#pragma once
// The base of effects drawn through an offscreen surface. Internal to the view layer.

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/views/elements/Effect.hpp"

#include <cairo.h>
#include <cmath>

namespace qv::platform::ui::elements {

// Renders content offscreen in device pixels, then composites it with a
// shadow under it (shadow) or blurred (blur).
class OffscreenEffect : public Effect {
public:
    OffscreenEffect(Init init, Ptr child, double radius, double dx, double dy)
        : Effect(std::move(init), std::move(child)), radius_(radius), dx_(dx), dy_(dy) {}

    bool drawsLike(const Element& other) const override {
        const auto& o = static_cast<const OffscreenEffect&>(other);
        return o.radius_ == radius_ && o.dx_ == dx_ && o.dy_ == dy_;
    }
    // A change shows where it is and, for a shadow, moved by the offset through the effect's
    // transform (turned and scaled with it). A blur spreads it by three standard deviations
    // and two pixels more (its box passes reach a little past them: two points at the least
    // scale drawn); the blur is drawn in device pixels, so its reach on the screen is the same
    // under any scale or turn. A shadow's blurred copy is made from the content with that
    // much around it: a clip around the effect that leaves it (an opacity group's) cuts
    // nothing of it.
    Rect reach(const Rect& area) const override {
        const Transform& t = toScreen();
        const double ox = t.a * dx_ + t.c * dy_, oy = t.b * dx_ + t.d * dy_;
        const double blur = radius_ > 0 ? 1.5 * radius_ + 2 : 0;
        if (area.width <= 0 || area.height <= 0 || !std::isfinite(ox + oy + blur)) {
            return area;
        }
        const Rect moved{area.x + ox, area.y + oy, area.width, area.height};
        return area.united(moved).insetBy(-blur, -blur);
    }

protected:
    bool hasFiniteValues() const override {
        return std::isfinite(radius_) && std::isfinite(dx_) && std::isfinite(dy_);
    }
    virtual void composite(cairo_t* cr, cairo_surface_t* content, double x, double y, double sigma,
                           double offsetX, double offsetY) const = 0;
    double radius() const { return radius_; }
    double dx() const { return dx_; }
    double dy() const { return dy_; }

    void drawContent(const RenderContext& ctx) const override {
        cairo_t* cr = ctx.cr;
        double sigma = radius_ / 2.0 * ctx.scale;
        cairo_matrix_t ctm;
        cairo_get_matrix(cr, &ctm);
        // The device rectangle of what is drawn (with what effects inside paint past the
        // frames), grown by the blur's reach and the offset. The CTM maps layout points to device
        // pixels (also inside another offscreen effect), toScreen maps them to the screen.
        Transform layoutToDevice{ctm.xx, ctm.yx, ctm.xy, ctm.yy, ctm.x0, ctm.y0};
        Rect dev = layoutToDevice.concat(toScreen().inverted()).apply(contentPaintBounds());
        double ox = ctm.xx * dx_ + ctm.xy * dy_, oy = ctm.yx * dx_ + ctm.yy * dy_;
        double margin = 3 * sigma + std::max(std::abs(ox), std::abs(oy)) + 2;
        dev = dev.insetBy(-margin, -margin);
        double cx0, cy0, cx1, cy1;
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
        cairo_restore(cr);
        if (ctx.partialClip) {
            // Only a part of the frame is drawn: what the whole frame's clip leaves, as far
            // as the margin around the part reaches (the neighbours the part blurs with).
            cx0 = std::max(cx0 - margin, ctx.partialClip->minX());
            cy0 = std::max(cy0 - margin, ctx.partialClip->minY());
            cx1 = std::min(cx1 + margin, ctx.partialClip->maxX());
            cy1 = std::min(cy1 + margin, ctx.partialClip->maxY());
        }
        int x0 = saturatingCast<int>(std::floor(std::max(dev.minX(), cx0)));
        int y0 = saturatingCast<int>(std::floor(std::max(dev.minY(), cy0)));
        int x1 = saturatingCast<int>(std::ceil(std::min(dev.maxX(), cx1)));
        int y1 = saturatingCast<int>(std::ceil(std::min(dev.maxY(), cy1)));
        if (x1 <= x0 || y1 <= y0) {
            return;
        }
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, x1 - x0, y1 - y0);
        cairo_t* off = cairo_create(surface);
        cairo_translate(off, -x0, -y0);
        cairo_transform(off, &ctm);
        RenderContext content{off, ctx.scale};
        if (ctx.partialClip) {
            // Effects inside draw their content as far as they would onto the surface the
            // whole frame gives this effect (in this surface's pixels), not only as far as
            // this part's surface reaches: their blurs near its edge are then the same.
            const double wx0 = std::floor(std::max(dev.minX(), ctx.partialClip->minX()));
            const double wy0 = std::floor(std::max(dev.minY(), ctx.partialClip->minY()));
            const double wx1 = std::ceil(std::min(dev.maxX(), ctx.partialClip->maxX()));
            const double wy1 = std::ceil(std::min(dev.maxY(), ctx.partialClip->maxY()));
            content.partialClip = Rect{wx0 - x0, wy0 - y0, wx1 - wx0, wy1 - wy0};
        }
        Effect::drawContent(content);
        cairo_destroy(off);
        cairo_surface_flush(surface);
        cairo_save(cr);
        cairo_identity_matrix(cr);
        composite(cr, surface, x0, y0, sigma, ox, oy);
        cairo_restore(cr);
        cairo_surface_destroy(surface);
    }

private:
    double radius_, dx_, dy_;
};

} // namespace qv::platform::ui::elements
