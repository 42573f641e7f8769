// Depth stacks: children on top of each other, as large as the largest.

#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui::elements {
namespace {

class ZStackElement final : public Element {
public:
    // Lays out only: draws nothing of its own.
    bool drawsLike(const Element&) const override { return true; }
    Rect ownDamageBounds() const override { return {}; }
    ZStackElement(Init init, Alignment alignment, ElementList children)
        : Element(std::move(init.kind), std::move(init.identity), std::move(init.environment)),
          alignment_(alignment) {
        for (auto& c : children) {
            addChild(std::move(c));
        }
    }
    bool paintsOpaque(const Rect& area) const override { return firstDrawnChildPaintsOpaque(area); }

protected:
    Size measure(ProposedSize p) override {
        Size out{};
        for (auto& c : children_) {
            Size s = c->sizeThatFits(p);
            out.width = std::max(out.width, s.width);
            out.height = std::max(out.height, s.height);
        }
        return out;
    }
    void placeChildren() override {
        for (auto& c : children_) {
            placeChild(*c, frame(), alignment_);
        }
    }

private:
    Alignment alignment_;
};

} // namespace

Ptr zstack(Init init, Alignment alignment, ElementList children) {
    return std::make_unique<ZStackElement>(std::move(init), alignment, std::move(children));
}

} // namespace qv::platform::ui::elements
