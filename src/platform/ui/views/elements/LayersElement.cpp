// Overlays and backgrounds: a secondary view drawn above or below the primary.

#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui::elements {
namespace {

class LayersElement final : public Element {
public:
    LayersElement(Init init, Ptr primary, Ptr secondary, Alignment alignment, bool onTop)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)),
          alignment_(alignment), onTop_(onTop) {
        addChild(std::move(primary));
        addChild(std::move(secondary));
    }
    bool paintsOpaque(const Rect& area) const override {
        return child(onTop_ ? 0 : 1).paintsOpaque(area);
    }
    bool drawsLike(const Element& other) const override {
        return static_cast<const LayersElement&>(other).onTop_ == onTop_;
    }
    Rect ownDamageBounds() const override { return {}; }

protected:
    Size measure(ProposedSize p) override { return child(0).sizeThatFits(p); }
    void placeChildren() override {
        placeChildAt(child(0), frame());
        placeChild(child(1), frame(), alignment_);
    }
    std::vector<const Element*> drawingOrder() const override {
        if (onTop_) {
            return {&child(0), &child(1)};
        }
        return {&child(1), &child(0)};
    }
    void drawContent(const RenderContext& context) const override {
        if (onTop_) {
            child(0).render(context);
            child(1).render(context);
        } else {
            child(1).render(context);
            child(0).render(context);
        }
    }

private:
    Alignment alignment_;
    bool onTop_;
};

} // namespace

Ptr layers(Init init, Ptr primary, Ptr secondary, Alignment alignment, bool secondaryOnTop) {
    return std::make_unique<LayersElement>(std::move(init), std::move(primary),
                                           std::move(secondary), alignment, secondaryOnTop);
}

} // namespace qv::platform::ui::elements
