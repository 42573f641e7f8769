// Images: symbols, the app's drawn images and bitmaps.

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/drawing/ImageBitmaps.hpp"
#include "platform/ui/drawing/Log.hpp"
#include "platform/ui/drawing/Symbols.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Leaf.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>

namespace qv::platform::ui::elements {
namespace {

class ImageElement final : public Leaf {
public:
    ImageElement(Init init, Image::Kind kind, std::string name, ImagePixels pixels, bool resizable)
        : Leaf(std::move(init)), kind_(kind), name_(std::move(name)), pixels_(std::move(pixels)),
          resizable_(resizable) {
        if (kind_ == Image::Kind::symbol && !isKnownSymbol(name_)) {
            logOnce("symbol:" + name_, "ui: no symbol named \"" + name_ + "\"; it draws nothing");
        } else if (kind_ == Image::Kind::asset && !isKnownAsset(name_)) {
            logOnce("asset:" + name_, "ui: no image named \"" + name_ + "\"; it draws nothing");
        }
    }
    std::string symbolName() const override { return name_; }
    bool drawsLike(const Element& other) const override {
        const auto& o = static_cast<const ImageElement&>(other);
        return o.kind_ == kind_ && o.name_ == name_ && o.pixels_.media == pixels_.media &&
               o.pixels_.bitmap.pixels() == pixels_.bitmap.pixels() &&
               o.pixels_.bitmap.width() == pixels_.bitmap.width() &&
               o.pixels_.bitmap.height() == pixels_.bitmap.height() &&
               o.environment().foregroundColor() == environment().foregroundColor();
    }
    bool hitsContent(Point p) const override { return frame().contains(p); }

protected:
    // Symbols and drawn images are a square a little taller than the font's size,
    // scaled by the image scale.
    Size natural() const {
        if (kind_ == Image::Kind::bitmap) {
            return bitmapSize();
        }
        double scale = 1;
        switch (environment().imageScale) {
        case ImageScale::small:
            scale = 0.8;
            break;
        case ImageScale::medium:
            break;
        case ImageScale::large:
            scale = 1.3;
            break;
        }
        const double side = environment().font.size * 1.2 * scale;
        return {side, side};
    }
    Size measure(ProposedSize p) override {
        Size n = natural();
        if (!resizable_) {
            return n;
        }
        return {p.width.value_or(n.width), p.height.value_or(n.height)};
    }
    // A symbol's glyph may pass its square a little; a picture is clipped to its frame.
    Rect ownDamageBounds() const override {
        if (kind_ == Image::Kind::bitmap) {
            return screenFrame();
        }
        const double m = std::min(frame().width, frame().height) / 4;
        return toScreen().apply(frame().insetBy(-m, -m));
    }
    void drawSelf(const RenderContext& ctx) const override {
        auto color = environment().foregroundColor();
        switch (kind_) {
        case Image::Kind::symbol:
            drawSymbol(ctx.cr, name_, frame(), color);
            break;
        case Image::Kind::asset:
            drawAsset(ctx.cr, name_, frame(), color);
            break;
        case Image::Kind::bitmap:
            drawBitmap(ctx.cr);
            break;
        }
    }
    // Points of the bitmap: its upright pixels over its scale (pixels per point).
    Size bitmapSize() const {
        if (const auto& media = pixels_.media) {
            const double scale = media->scale > 0 && std::isfinite(media->scale) ? media->scale : 1;
            const bool swap = swapsSides(media->orientation);
            return {static_cast<double>(swap ? media->height() : media->width()) / scale,
                    static_cast<double>(swap ? media->width() : media->height()) / scale};
        }
        const Bitmap& b = pixels_.bitmap;
        return {b.width() / b.scale(), b.height() / b.scale()};
    }
    // Draws from a copy no larger than the device pixels the frame covers, so a large
    // picture is reduced once rather than filtered whole in every frame.
    void drawBitmap(cairo_t* cr) const {
        Bitmap bitmap = pixels_.media ? bitmapOf(pixels_.media) : pixels_.bitmap;
        if (bitmap.empty() || frame().width <= 0 || frame().height <= 0) {
            return;
        }
        double acrossX = frame().width, acrossY = 0, downX = 0, downY = frame().height;
        cairo_user_to_device_distance(cr, &acrossX, &acrossY);
        cairo_user_to_device_distance(cr, &downX, &downY);
        const int covered[2] = {std::max(1, saturatingRound<int>(std::hypot(acrossX, acrossY))),
                                std::max(1, saturatingRound<int>(std::hypot(downX, downY)))};
        if (covered[0] < bitmap.width() || covered[1] < bitmap.height()) {
            bitmap = bitmap.reducedTo(std::min(covered[0], bitmap.width()),
                                      std::min(covered[1], bitmap.height()));
        }
        // Cairo only reads a source surface; the pixels stay untouched.
        auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(bitmap.pixels()));
        cairo_surface_t* s = cairo_image_surface_create_for_data(
            data, CAIRO_FORMAT_ARGB32, bitmap.width(), bitmap.height(), bitmap.width() * 4);
        cairo_save(cr);
        cairo_rectangle(cr, frame().x, frame().y, frame().width, frame().height);
        cairo_clip(cr);
        cairo_translate(cr, frame().x, frame().y);
        cairo_scale(cr, frame().width / bitmap.width(), frame().height / bitmap.height());
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_surface_destroy(s);
    }

private:
    Image::Kind kind_;
    std::string name_;
    ImagePixels pixels_;
    bool resizable_;
};

} // namespace

Ptr image(Init init, Image::Kind kind, std::string name, ImagePixels pixels, bool resizable) {
    return std::make_unique<ImageElement>(std::move(init), kind, std::move(name), std::move(pixels),
                                          resizable);
}

} // namespace qv::platform::ui::elements
