// Rotation and scale effects about an anchor: drawing only, never layout.

#include "platform/ui/views/elements/Effect.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui::elements {
namespace {

class TransformElement final : public Effect {
public:
    TransformElement(Init init, Ptr child, Transform t, UnitPoint anchor)
        : Effect(std::move(init), std::move(child)), transform_(t), anchor_(anchor) {}

protected:
    Transform effect() const override {
        Point a = anchorPoint(anchor_);
        return Transform::translation(a.x, a.y)
            .concat(transform_)
            .concat(Transform::translation(-a.x, -a.y));
    }

private:
    Transform transform_;
    UnitPoint anchor_;
};

} // namespace

Ptr rotation(Init init, Ptr child, double radians, UnitPoint anchor) {
    return std::make_unique<TransformElement>(std::move(init), std::move(child),
                                              Transform::rotation(radians), anchor);
}
Ptr scale(Init init, Ptr child, double x, double y, UnitPoint anchor) {
    return std::make_unique<TransformElement>(std::move(init), std::move(child),
                                              Transform::scaling(x, y), anchor);
}

} // namespace qv::platform::ui::elements
