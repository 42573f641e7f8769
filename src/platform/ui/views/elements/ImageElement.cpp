// Images: symbols, the app's drawn images and bitmaps.

#include "platform/ui/drawing/Log.hpp"
#include "platform/ui/drawing/Symbols.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Leaf.hpp"

#include <cairo.h>

namespace qv::platform::ui::elements {
namespace {

class ImageElement final : public Leaf {
public:
    ImageElement(Init init, Image::Kind kind, std::string name, Bitmap bitmap, bool resizable)
        : Leaf(std::move(init)), kind_(kind), name_(std::move(name)), bitmap_(std::move(bitmap)),
          resizable_(resizable) {
        if (kind_ == Image::Kind::symbol && !isKnownSymbol(name_)) {
            logOnce("symbol:" + name_, "ui: no symbol named \"" + name_ + "\"; it draws nothing");
        } else if (kind_ == Image::Kind::asset && !isKnownAsset(name_)) {
            logOnce("asset:" + name_, "ui: no image named \"" + name_ + "\"; it draws nothing");
        }
    }
    std::string symbolName() const override { return name_; }
    bool hitsContent(Point p) const override { return frame().contains(p); }

protected:
    // Symbols and drawn images are a square a little taller than the font's size,
    // scaled by the image scale.
    Size natural() const {
        if (kind_ == Image::Kind::bitmap) {
            return {bitmap_.width() / bitmap_.scale(), bitmap_.height() / bitmap_.scale()};
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
    void drawBitmap(cairo_t* cr) const {
        if (bitmap_.empty() || frame().width <= 0 || frame().height <= 0) {
            return;
        }
        // Cairo only reads a source surface; the pixels stay untouched.
        auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(bitmap_.pixels()));
        cairo_surface_t* s = cairo_image_surface_create_for_data(
            data, CAIRO_FORMAT_ARGB32, bitmap_.width(), bitmap_.height(), bitmap_.width() * 4);
        cairo_save(cr);
        cairo_rectangle(cr, frame().x, frame().y, frame().width, frame().height);
        cairo_clip(cr);
        cairo_translate(cr, frame().x, frame().y);
        cairo_scale(cr, frame().width / bitmap_.width(), frame().height / bitmap_.height());
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
    Bitmap bitmap_;
    bool resizable_;
};

} // namespace

Ptr image(Init init, Image::Kind kind, std::string name, Bitmap bitmap, bool resizable) {
    return std::make_unique<ImageElement>(std::move(init), kind, std::move(name), std::move(bitmap),
                                          resizable);
}

} // namespace qv::platform::ui::elements
