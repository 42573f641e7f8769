// Clip shapes: drawing and input cut to a shape.

#include "platform/ui/views/elements/Effect.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

#include <cairo.h>

namespace qv::platform::ui::elements {
namespace {

class ClipElement final : public Effect {
public:
    ClipElement(Init init, Ptr child, Shape shape)
        : Effect(std::move(init), std::move(child)), shape_(std::move(shape)) {}
    bool admitsInput(Point p) const override { return pathContains(shape_.path(frame()), p); }
    bool drawsLike(const Element& other) const override {
        const auto& o = static_cast<const ClipElement&>(other);
        return shape_.path(frame()).elements() == o.shape_.path(o.frame()).elements();
    }

protected:
    bool clipsContent() const override { return true; }
    void drawContent(const RenderContext& ctx) const override {
        const Path path = shape_.path(frame());
        if (!path.isFinite()) {
            reportNonFinite("clip path");
            return;
        }
        ctx.drawClipped([&](cairo_t* cr) { path.apply(cr); },
                        [&](const RenderContext& inner) { Effect::drawContent(inner); });
    }

private:
    Shape shape_;
};

} // namespace

Ptr clip(Init init, Ptr child, Shape shape) {
    return std::make_unique<ClipElement>(std::move(init), std::move(child), std::move(shape));
}

} // namespace qv::platform::ui::elements
