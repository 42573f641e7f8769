// Drawing effects: opacity, rotation and scale about an anchor, shadow, blur and
// clipping. None of them changes layout.

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/ElementKinds.hpp"

#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <vector>

namespace qv::platform::ui::elements {
namespace {

class Effect : public Element {
public:
    Effect(Init init, Ptr child)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)) {
        addChild(std::move(child));
    }

protected:
    Size measure(ProposedSize p) override { return child(0).sizeThatFits(p); }
    void placeChildren() override { placeChildAt(child(0), frame()); }
    Point anchorPoint(UnitPoint a) const {
        return {frame().x + a.x * frame().width, frame().y + a.y * frame().height};
    }
};

class OpacityElement final : public Effect {
public:
    OpacityElement(Init init, Ptr child, double opacity)
        : Effect(std::move(init), std::move(child)), opacity_(opacity) {}
    bool admitsInput(Point) const override { return opacity_ > 0; }

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
        // The group surface covers the clip, so clip to what is drawn first, in
        // whole device pixels (a clip on pixel edges costs no mask).
        cairo_t* cr = ctx.cr;
        cairo_save(cr);
        cairo_matrix_t ctm;
        cairo_get_matrix(cr, &ctm);
        Transform layoutToDevice{ctm.xx, ctm.yx, ctm.xy, ctm.yy, ctm.x0, ctm.y0};
        Rect dev =
            layoutToDevice.concat(toScreen().inverted()).apply(visualBounds().insetBy(-1, -1));
        cairo_identity_matrix(cr);
        double x0 = std::floor(dev.minX()), y0 = std::floor(dev.minY());
        cairo_rectangle(cr, x0, y0, std::ceil(dev.maxX()) - x0, std::ceil(dev.maxY()) - y0);
        cairo_set_matrix(cr, &ctm);
        cairo_clip(cr);
        cairo_push_group(ctx.cr);
        Effect::drawContent(ctx);
        cairo_pop_group_to_source(ctx.cr);
        cairo_paint_with_alpha(ctx.cr, opacity_);
        cairo_restore(ctx.cr);
    }

private:
    double opacity_;
};

class TransformElement final : public Effect {
public:
    TransformElement(Init init, Ptr child, Transform t, UnitPoint anchor)
        : Effect(std::move(init), std::move(child)), transform_(t), anchor_(anchor) {}

protected:
    Transform effect() const override {
        Point a = anchorPoint(anchor_);
        return Transform::translation(a.x, a.y)
            .concat(transform_)
            .concat(Transform::translation(-a.x, -a.y));
    }

private:
    Transform transform_;
    UnitPoint anchor_;
};

// Blurs premultiplied ARGB pixels (or only their alpha) with three box passes
// per axis, close to a Gaussian of standard deviation `sigma` pixels.
void boxBlur(std::uint32_t* px, int w, int h, int stride, double sigma, bool alphaOnly,
             bool clampEdges) {
    if (sigma <= 0 || w <= 0 || h <= 0) {
        return;
    }
    int radius =
        std::max(1, saturatingRound<int>(std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0) / 2.0));
    std::vector<std::uint32_t> line(static_cast<size_t>(std::max(w, h)));
    auto pass = [&](std::uint32_t* start, int count, int step) {
        for (int i = 0; i < count; ++i) {
            line[static_cast<size_t>(i)] = start[static_cast<ptrdiff_t>(i) * step];
        }
        int channels = alphaOnly ? 1 : 4;
        for (int ch = 0; ch < channels; ++ch) {
            int shift = 24 - 8 * ch;
            auto at = [&](int i) -> int {
                if (i < 0 || i >= count) {
                    if (!clampEdges) {
                        return 0;
                    }
                    i = std::clamp(i, 0, count - 1);
                }
                return static_cast<int>((line[static_cast<size_t>(i)] >> shift) & 0xff);
            };
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) {
                sum += at(i);
            }
            int window = 2 * radius + 1;
            for (int i = 0; i < count; ++i) {
                std::uint32_t& out = start[static_cast<ptrdiff_t>(i) * step];
                auto v = static_cast<std::uint32_t>((sum + window / 2) / window);
                out = (out & ~(0xffu << shift)) | (v << shift);
                sum += at(i + radius + 1) - at(i - radius);
            }
        }
    };
    int rowStep = stride / 4;
    for (int round = 0; round < 3; ++round) {
        for (int y = 0; y < h; ++y) {
            pass(px + static_cast<ptrdiff_t>(y) * rowStep, w, 1);
        }
        for (int x = 0; x < w; ++x) {
            pass(px + x, h, rowStep);
        }
    }
}

// Renders content offscreen in device pixels, then composites it with a
// shadow under it (shadow) or blurred (blur).
class OffscreenEffect : public Effect {
public:
    OffscreenEffect(Init init, Ptr child, double radius, double dx, double dy)
        : Effect(std::move(init), std::move(child)), radius_(radius), dx_(dx), dy_(dy) {}

protected:
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
        // The device rectangle of what is drawn, grown by the blur's reach and
        // the offset. The CTM maps layout points to device pixels (also inside
        // another offscreen effect), toScreen maps them to the screen.
        Transform layoutToDevice{ctm.xx, ctm.yx, ctm.xy, ctm.yy, ctm.x0, ctm.y0};
        Rect dev = layoutToDevice.concat(toScreen().inverted()).apply(visualBounds());
        double ox = ctm.xx * dx_ + ctm.xy * dy_, oy = ctm.yx * dx_ + ctm.yy * dy_;
        double margin = 3 * sigma + std::max(std::abs(ox), std::abs(oy)) + 2;
        dev = dev.insetBy(-margin, -margin);
        double cx0, cy0, cx1, cy1;
        cairo_save(cr);
        cairo_identity_matrix(cr);
        cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
        cairo_restore(cr);
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
        Effect::drawContent({off, ctx.scale});
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

class ShadowElement final : public OffscreenEffect {
public:
    ShadowElement(Init init, Ptr child, Color color, double radius, double x, double y)
        : OffscreenEffect(std::move(init), std::move(child), radius, x, y), color_(color) {}

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

class BlurElement final : public OffscreenEffect {
public:
    BlurElement(Init init, Ptr child, double radius, bool opaque)
        : OffscreenEffect(std::move(init), std::move(child), radius, 0, 0), opaque_(opaque) {}

protected:
    void composite(cairo_t* cr, cairo_surface_t* content, double x, double y, double sigma, double,
                   double) const override {
        boxBlur(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(content)),
                cairo_image_surface_get_width(content), cairo_image_surface_get_height(content),
                cairo_image_surface_get_stride(content), sigma, false, opaque_);
        cairo_surface_mark_dirty(content);
        cairo_set_source_surface(cr, content, x, y);
        cairo_paint(cr);
    }

private:
    bool opaque_;
};

class ClipElement final : public Effect {
public:
    ClipElement(Init init, Ptr child, Shape shape)
        : Effect(std::move(init), std::move(child)), shape_(std::move(shape)) {}
    bool admitsInput(Point p) const override { return pathContains(shape_.path(frame()), p); }

protected:
    bool clipsContent() const override { return true; }
    void drawContent(const RenderContext& ctx) const override {
        cairo_save(ctx.cr);
        shape_.path(frame()).apply(ctx.cr);
        cairo_set_fill_rule(ctx.cr, CAIRO_FILL_RULE_WINDING);
        cairo_clip(ctx.cr);
        Effect::drawContent(ctx);
        cairo_restore(ctx.cr);
    }

private:
    Shape shape_;
};

} // namespace

Ptr opacity(Init init, Ptr child, double value) {
    return std::make_unique<OpacityElement>(std::move(init), std::move(child), value);
}
Ptr rotation(Init init, Ptr child, double radians, UnitPoint anchor) {
    return std::make_unique<TransformElement>(std::move(init), std::move(child),
                                              Transform::rotation(radians), anchor);
}
Ptr scale(Init init, Ptr child, double x, double y, UnitPoint anchor) {
    return std::make_unique<TransformElement>(std::move(init), std::move(child),
                                              Transform::scaling(x, y), anchor);
}
Ptr shadow(Init init, Ptr child, Color color, double radius, double x, double y) {
    return std::make_unique<ShadowElement>(std::move(init), std::move(child), color, radius, x, y);
}
Ptr blur(Init init, Ptr child, double radius, bool opaque) {
    return std::make_unique<BlurElement>(std::move(init), std::move(child), radius, opaque);
}
Ptr clip(Init init, Ptr child, Shape shape) {
    return std::make_unique<ClipElement>(std::move(init), std::move(child), std::move(shape));
}

} // namespace qv::platform::ui::elements
