// Depth stacks: children on top of each other, as large as the largest.

#include "platform/ui/views/elements/LayoutElement.hpp"

namespace qv::platform::ui::elements {
namespace {

class ZStackElement final : public LayoutElement {
public:
    ZStackElement(Init init, Alignment alignment, ElementList children)
        : LayoutElement(std::move(init)), alignment_(alignment) {
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
