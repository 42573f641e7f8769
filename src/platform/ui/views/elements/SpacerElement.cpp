// Spacers: flexible space along the enclosing stack's axis.

#include "platform/ui/views/elements/LayoutElement.hpp"

namespace qv::platform::ui::elements {
namespace {

class SpacerElement final : public LayoutElement {
public:
    SpacerElement(Init init, double minLength)
        : LayoutElement(std::move(init)), minLength_(minLength) {}
    bool isSpacer() const override { return true; }

protected:
    Size measure(ProposedSize p) override {
        auto along = [&](const std::optional<double>& v) {
            return std::max(minLength_, v.value_or(minLength_));
        };
        const auto& axis = environment().stackAxis;
        if (!axis) {
            return {along(p.width), along(p.height)};
        }
        return *axis == Axis::horizontal ? Size{along(p.width), 0} : Size{0, along(p.height)};
    }

private:
    double minLength_;
};

} // namespace

Ptr spacer(Init init, double minLength) {
    return std::make_unique<SpacerElement>(std::move(init), minLength);
}

} // namespace qv::platform::ui::elements
