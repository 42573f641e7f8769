// Shapes: a path filled or stroked with a style.

#include "platform/ui/drawing/ShapeMasks.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Leaf.hpp"

namespace qv::platform::ui::elements {
namespace {

class ShapeElement final : public Leaf {
public:
    ShapeElement(Init init, Shape shape, std::optional<ShapeStyle> style,
                 std::optional<StrokeStyle> stroke)
        : Leaf(std::move(init)), shape_(std::move(shape)), style_(std::move(style)),
          stroke_(std::move(stroke)) {}

    bool drawsInOneOperation() const override { return true; }
    bool drawsLike(const Element& other) const override {
        const auto& o = static_cast<const ShapeElement&>(other);
        return o.stroke_ == stroke_ && o.paint() == paint() &&
               o.shape_.path(o.frame()).elements() == shape_.path(frame()).elements();
    }
    std::optional<ShapeInfo> shapeInfo() const override {
        return ShapeInfo{shape_.path(frame()).transformed(toScreen()), stroke_, paint(),
                         inheritedOpacity()};
    }
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
    // The path's bounds grown by its stroke's reach: a thin line across a large frame has
    // small bounds, so a shadow under it blurs only what is around it.
    Rect ownVisualBounds() const override {
        const Path path = shape_.path(frame());
        if (path.empty() || !path.isFinite() || (stroke_ && !isFinite(*stroke_))) {
            return screenFrame();
        }
        const double reach = stroke_ ? strokeReach(path, *stroke_) : 0;
        return toScreen().apply(path.boundingRect().insetBy(-reach, -reach));
    }
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
        Path path = shape_.path(frame());
        if (!path.isFinite() || (stroke_ && !isFinite(*stroke_))) {
            reportNonFinite("path");
            return;
        }
        drawShape(ctx.cr, path, stroke_ ? &*stroke_ : nullptr, c);
    }

private:
    Shape shape_;
    std::optional<ShapeStyle> style_;
    std::optional<StrokeStyle> stroke_;
};

} // namespace

Ptr shape(Init init, Shape shape, std::optional<ShapeStyle> style,
          std::optional<StrokeStyle> stroke) {
    return std::make_unique<ShapeElement>(std::move(init), std::move(shape), std::move(style),
                                          std::move(stroke));
}

} // namespace qv::platform::ui::elements
