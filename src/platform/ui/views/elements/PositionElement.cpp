// Position: the content centred at a point of the space offered.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Wrapper.hpp"

namespace qv::platform::ui::elements {
namespace {

class PositionElement final : public Wrapper {
public:
    PositionElement(Init init, Ptr child, Point center)
        : Wrapper(std::move(init), std::move(child)), center_(center) {}

protected:
    Size measure(ProposedSize p) override {
        if (p.width && p.height) {
            return {*p.width, *p.height};
        }
        Size ideal = content().sizeThatFits(p);
        return {p.width.value_or(ideal.width), p.height.value_or(ideal.height)};
    }
    void placeChildren() override {
        Size s = content().sizeThatFits(ProposedSize::of(frame().size()));
        placeChildAt(content(), {frame().x + center_.x - s.width / 2,
                                 frame().y + center_.y - s.height / 2, s.width, s.height});
    }

private:
    Point center_;
};

} // namespace

Ptr position(Init init, Ptr child, Point center) {
    return std::make_unique<PositionElement>(std::move(init), std::move(child), center);
}

} // namespace qv::platform::ui::elements
