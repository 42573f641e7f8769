#pragma once
// The base of elements that lay out and draw nothing of their own (containers, layout
// modifiers, carriers of gestures). Internal to the view layer.

#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui::elements {

class LayoutElement : public Element {
public:
    using Element::Element;
    explicit LayoutElement(Init init)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)) {}

    // A change of layout shows in the children's frames, which are compared on their own.
    bool drawsLike(const Element&) const override { return true; }

protected:
    Rect ownDamageBounds() const override { return {}; }
};

} // namespace qv::platform::ui::elements
