// Leaf elements: text, images (symbols, drawn assets, bitmaps) and shapes.

#include "platform/ui/ElementKinds.hpp"
#include "platform/ui/Log.hpp"
#include "platform/ui/ShapeMasks.hpp"
#include "platform/ui/Symbols.hpp"
#include "platform/ui/TextSystem.hpp"

#include <cairo.h>

namespace qv::platform::ui::elements {
namespace {

// The colour a one-operation leaf draws in: its own, or the context's tint
// with its own alpha, faded by the context's opacity.
Color::Rgba colorFor(const RenderContext& ctx, Color::Rgba own) {
    if (ctx.tint) {
        own = {ctx.tint->red, ctx.tint->green, ctx.tint->blue, ctx.tint->alpha * own.alpha};
    }
    own.alpha *= ctx.opacity;
    return own;
}

class Leaf : public Element {
public:
    explicit Leaf(Init init)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)) {}
};

class TextElement final : public Leaf {
public:
    TextElement(Init init, std::string text) : Leaf(std::move(init)), text_(std::move(text)) {}
    std::string text() const override { return text_; }
    bool hitsContent(Point p) const override { return frame().contains(p); }
    std::optional<TextInfo> textInfo() const override {
        return TextInfo{layout_.scale, layout_.truncated, layout_.lineCount, layout_.unknownGlyphs};
    }

protected:
    TextOptions options() const {
        const Environment& env = environment();
        return {env.lineLimit, env.minimumScaleFactor, env.multilineTextAlignment};
    }
    Size measure(ProposedSize p) override {
        return measureText(text_, environment().font, options(), p);
    }
    void placeChildren() override {
        // Lay out again for the frame given; a hair of slack keeps the line
        // breaks of the answer this frame was made from.
        constexpr double slack = 1e-3;
        layout_ = layoutText(text_, environment().font, options(),
                             {frame().width + slack, frame().height + slack});
    }
    bool drawsInOneOperation() const override { return true; }
    std::optional<double> textBaseline(bool last) const override {
        return frame().y + (last ? layout_.lastBaseline : layout_.firstBaseline);
    }
    void drawSelf(const RenderContext& ctx) const override {
        auto color = colorFor(ctx, environment().foregroundColor());
        drawText(ctx.cr, layout_, frame().origin(), color);
    }

private:
    std::string text_;
    TextLayout layout_;
};

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

class ShapeElement final : public Leaf {
public:
    ShapeElement(Init init, Shape shape, std::optional<ShapeStyle> style,
                 std::optional<StrokeStyle> stroke)
        : Leaf(std::move(init)), shape_(std::move(shape)), style_(std::move(style)),
          stroke_(std::move(stroke)) {}

    bool drawsInOneOperation() const override { return true; }
    // An opaque fill of a rectangle, axis-aligned on the screen, covering `area`.
    bool paintsOpaque(const Rect& area) const override {
        if (stroke_ || paint().alpha < 1 || toScreen().b != 0 || toScreen().c != 0) {
            return false;
        }
        Path path = shape_.path(frame());
        const auto& e = path.elements();
        using Op = Path::Op;
        if (e.size() != 5 || e[0].op != Op::move || e[1].op != Op::line || e[2].op != Op::line ||
            e[3].op != Op::line || e[4].op != Op::close) {
            return false;
        }
        // The four corners in order, each edge horizontal or vertical.
        for (size_t i = 0; i < 4; ++i) {
            Point a = e[i].p[0], b = e[(i + 1) % 4].p[0];
            if (a.x != b.x && a.y != b.y) {
                return false;
            }
        }
        Rect covered = toScreen().apply(path.boundingRect());
        return covered.minX() <= area.minX() && covered.minY() <= area.minY() &&
               covered.maxX() >= area.maxX() && covered.maxY() >= area.maxY();
    }

    // A shape is hit where it paints: inside a fill, on a stroke's line; a fully
    // transparent one is not hit (a colour at opacity 0.01 is).
    bool hitsContent(Point p) const override {
        if (paint().alpha <= 0) {
            return false;
        }
        Path path = shape_.path(frame());
        return stroke_ ? strokeContains(path, *stroke_, p) : pathContains(path, p);
    }

protected:
    Color::Rgba paint() const {
        const Environment& env = environment();
        return style_ ? style_->resolve(env.foreground.value_or(Color::label()))
                            .resolved(env.colorScheme)
                      : env.foregroundColor();
    }
    Size measure(ProposedSize p) override { return {p.width.value_or(10), p.height.value_or(10)}; }
    void drawSelf(const RenderContext& ctx) const override {
        auto c = colorFor(ctx, paint());
        if (c.alpha <= 0) {
            return;
        }
        drawShape(ctx.cr, shape_.path(frame()), stroke_ ? &*stroke_ : nullptr, c);
    }

private:
    Shape shape_;
    std::optional<ShapeStyle> style_;
    std::optional<StrokeStyle> stroke_;
};

} // namespace

Ptr text(Init init, std::string text) {
    return std::make_unique<TextElement>(std::move(init), std::move(text));
}
Ptr image(Init init, Image::Kind kind, std::string name, Bitmap bitmap, bool resizable) {
    return std::make_unique<ImageElement>(std::move(init), kind, std::move(name), std::move(bitmap),
                                          resizable);
}
Ptr shape(Init init, Shape shape, std::optional<ShapeStyle> style,
          std::optional<StrokeStyle> stroke) {
    return std::make_unique<ShapeElement>(std::move(init), std::move(shape), std::move(style),
                                          std::move(stroke));
}

} // namespace qv::platform::ui::elements
