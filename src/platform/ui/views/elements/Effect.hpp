#pragma once
// The base of drawing effects: one child, laid out as it is. Internal to the view layer.

#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui::elements {

class Effect : public Element {
public:
    Effect(Init init, Ptr child)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)) {
        addChild(std::move(child));
    }
    // What it draws is its child's (a transform shows in the frames drawn); effects that
    // draw otherwise compare their values.
    bool drawsLike(const Element&) const override { return true; }

protected:
    Size measure(ProposedSize p) override { return child(0).sizeThatFits(p); }
    void placeChildren() override { placeChildAt(child(0), frame()); }
    // An effect draws nothing of its own: what it shows is its child's.
    Rect ownVisualBounds() const override { return {}; }
    Point anchorPoint(UnitPoint a) const {
        return {frame().x + a.x * frame().width, frame().y + a.y * frame().height};
    }
};

} // namespace qv::platform::ui::elements
