// Shadows: the content drawn over a blurred, tinted copy of itself.

#include "platform/ui/views/elements/BoxBlur.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/OffscreenEffect.hpp"

#include <cairo.h>
#include <cmath>

namespace qv::platform::ui::elements {
namespace {

class ShadowElement final : public OffscreenEffect {
public:
    ShadowElement(Init init, Ptr child, Color color, double radius, double x, double y)
        : OffscreenEffect(std::move(init), std::move(child), radius, x, y), color_(color) {}

    bool drawsLike(const Element& other) const override {
        const auto& o = static_cast<const ShadowElement&>(other);
        return OffscreenEffect::drawsLike(other) &&
               o.color_.resolved(o.environment().colorScheme) ==
                   color_.resolved(environment().colorScheme);
    }
    std::optional<ShadowInfo> shadowInfo() const override {
        return ShadowInfo{color_.resolved(environment().colorScheme), radius(), {dx(), dy()}};
    }

    // A clear shadow leaves only the content: no need to draw it offscreen. Nor
    // for an unblurred one of content that draws in one operation, moved by
    // whole device pixels: masking with that content is drawing it in the
    // shadow's colour.
    void drawContent(const RenderContext& ctx) const override {
        auto c = color_.resolved(environment().colorScheme);
        if (c.alpha <= 0) {
            Effect::drawContent(ctx);
            return;
        }
        cairo_matrix_t ctm;
        cairo_get_matrix(ctx.cr, &ctm);
        const double ox = ctm.xx * dx() + ctm.xy * dy(), oy = ctm.yx * dx() + ctm.yy * dy();
        if (radius() > 0 || !child(0).drawsInOneOperation() || ctx.tint || ox != std::round(ox) ||
            oy != std::round(oy)) {
            OffscreenEffect::drawContent(ctx);
            return;
        }
        RenderContext shadow = ctx;
        shadow.tint = c;
        cairo_matrix_t moved = ctm;
        moved.x0 += ox;
        moved.y0 += oy;
        cairo_set_matrix(ctx.cr, &moved);
        Effect::drawContent(shadow);
        cairo_set_matrix(ctx.cr, &ctm);
        Effect::drawContent(ctx);
    }

protected:
    void composite(cairo_t* cr, cairo_surface_t* content, double x, double y, double sigma,
                   double ox, double oy) const override {
        auto c = color_.resolved(environment().colorScheme);
        cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
        if (sigma <= 0) {
            // Unblurred, the shadow's mask is the content itself.
            cairo_mask_surface(cr, content, x + ox, y + oy);
            cairo_set_source_surface(cr, content, x, y);
            cairo_paint(cr);
            return;
        }
        int w = cairo_image_surface_get_width(content), h = cairo_image_surface_get_height(content);
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* m = cairo_create(mask);
        cairo_set_source_surface(m, content, 0, 0);
        cairo_paint(m);
        cairo_destroy(m);
        cairo_surface_flush(mask);
        boxBlur(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(mask)), w, h,
                cairo_image_surface_get_stride(mask), sigma, true, false);
        cairo_surface_mark_dirty(mask);
        cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
        cairo_mask_surface(cr, mask, x + ox, y + oy);
        cairo_surface_destroy(mask);
        cairo_set_source_surface(cr, content, x, y);
        cairo_paint(cr);
    }

private:
    Color color_;
};

} // namespace

Ptr shadow(Init init, Ptr child, Color color, double radius, double x, double y) {
    return std::make_unique<ShadowElement>(std::move(init), std::move(child), color, radius, x, y);
}

} // namespace qv::platform::ui::elements
