#pragma once
// The base of modifier elements with one child. Internal to the view layer.

#include "platform/ui/views/elements/LayoutElement.hpp"

namespace qv::platform::ui::elements {

// A modifier element with one child.
class Wrapper : public LayoutElement {
public:
    Wrapper(Init init, Ptr child) : LayoutElement(std::move(init)) { addChild(std::move(child)); }
    // Layout modifiers draw nothing of their own.
    bool paintsOpaque(const Rect& area) const override { return content().paintsOpaque(area); }

protected:
    Element& content() const { return child(0); }
};

// A wrapper that offers its child a proposal of its own making, both when it is
// measured and when the child is placed within the wrapper's frame.
class ProposingWrapper : public Wrapper {
public:
    ProposingWrapper(Init init, Ptr child, Alignment alignment)
        : Wrapper(std::move(init), std::move(child)), alignment_(alignment) {}

protected:
    virtual ProposedSize proposalFor(ProposedSize p) const = 0;
    Size measure(ProposedSize p) override { return content().sizeThatFits(proposalFor(p)); }
    void placeChildren() override {
        placeChild(content(), frame(), alignment_, proposalFor(ProposedSize::of(frame().size())));
    }

private:
    Alignment alignment_;
};

} // namespace qv::platform::ui::elements
