// The root of a scene, and the layers placed above everything (covers).

#include "platform/ui/views/elements/LayoutElement.hpp"

namespace qv::platform::ui::elements {
namespace {

class RootElement final : public LayoutElement {
public:
    RootElement(Init init, ElementList children) : LayoutElement(std::move(init)) {
        for (auto& c : children) {
            addChild(std::move(c));
        }
    }
    bool paintsOpaque(const Rect& area) const override { return firstDrawnChildPaintsOpaque(area); }

    void placeLayer(Ptr layer) {
        Element& e = *layer;
        adoptChild(std::move(layer));
        placeChild(e, frame(), Alignment::center());
    }

protected:
    Size measure(ProposedSize p) override { return {p.width.value_or(0), p.height.value_or(0)}; }
};

} // namespace

Ptr root(Init init, ElementList children) {
    return std::make_unique<RootElement>(std::move(init), std::move(children));
}
void placeRootLayer(Element& root, Ptr layer) {
    static_cast<RootElement&>(root).placeLayer(std::move(layer));
}

} // namespace qv::platform::ui::elements
