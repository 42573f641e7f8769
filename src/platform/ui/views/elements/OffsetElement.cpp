// Offset: the content drawn moved; its layout stays.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Wrapper.hpp"

namespace qv::platform::ui::elements {
namespace {

class OffsetElement final : public Wrapper {
public:
    OffsetElement(Init init, Ptr child, double x, double y)
        : Wrapper(std::move(init), std::move(child)), x_(x), y_(y) {}

protected:
    Size measure(ProposedSize p) override { return content().sizeThatFits(p); }
    Transform effect() const override { return Transform::translation(x_, y_); }

private:
    double x_, y_;
};

} // namespace

Ptr offset(Init init, Ptr child, double x, double y) {
    return std::make_unique<OffsetElement>(std::move(init), std::move(child), x, y);
}

} // namespace qv::platform::ui::elements
