#pragma once
// The base of elements without children. Internal to the view layer.

#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui::elements {

// The colour a one-operation leaf draws in: its own, or the context's tint
// with its own alpha, faded by the context's opacity.
inline Color::Rgba colorFor(const RenderContext& ctx, Color::Rgba own) {
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

} // namespace qv::platform::ui::elements
