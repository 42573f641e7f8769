// Padding: the content inset by edge lengths.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Wrapper.hpp"

namespace qv::platform::ui::elements {
namespace {

class PaddingElement final : public Wrapper {
public:
    PaddingElement(Init init, Ptr child, EdgeInsets insets)
        : Wrapper(std::move(init), std::move(child)), insets_(insets) {}

protected:
    Size measure(ProposedSize p) override {
        double h = insets_.leading + insets_.trailing, v = insets_.top + insets_.bottom;
        auto shrink = [](std::optional<double> x, double by) -> std::optional<double> {
            return x ? std::optional<double>(std::max(0.0, *x - by)) : std::nullopt;
        };
        Size s = content().sizeThatFits({shrink(p.width, h), shrink(p.height, v)});
        return {s.width + h, s.height + v};
    }
    void placeChildren() override {
        const Rect& f = frame();
        Rect inner{f.x + insets_.leading, f.y + insets_.top,
                   std::max(0.0, f.width - insets_.leading - insets_.trailing),
                   std::max(0.0, f.height - insets_.top - insets_.bottom)};
        placeChild(content(), inner, Alignment::center());
    }

private:
    EdgeInsets insets_;
};

} // namespace

Ptr padding(Init init, Ptr child, EdgeInsets insets) {
    return std::make_unique<PaddingElement>(std::move(init), std::move(child), insets);
}

} // namespace qv::platform::ui::elements
