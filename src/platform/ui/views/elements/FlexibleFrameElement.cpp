// Flexible frames: the content's answer held within minimum and maximum lengths.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Wrapper.hpp"

namespace qv::platform::ui::elements {
namespace {

class FlexibleFrameElement final : public ProposingWrapper {
public:
    FlexibleFrameElement(Init init, Ptr child, FrameLimits limits)
        : ProposingWrapper(std::move(init), std::move(child), limits.alignment),
          l_(std::move(limits)) {}

protected:
    // The child is offered the proposal clamped to the limits (the ideal length
    // when there is no proposal); the frame then takes the child's answer,
    // grown towards the proposal up to the maximum and at least the minimum.
    static std::optional<double> childProposal(std::optional<double> p, std::optional<double> mn,
                                               std::optional<double> ideal,
                                               std::optional<double> mx) {
        if (!p) {
            return ideal;
        }
        double v = *p;
        if (mx) {
            v = std::min(v, *mx);
        }
        if (mn) {
            v = std::max(v, *mn);
        }
        return v;
    }
    static double result(double child, std::optional<double> p, std::optional<double> mn,
                         std::optional<double> ideal, std::optional<double> mx) {
        if (!mn && !mx) {
            return ideal && !p ? *ideal : child;
        }
        double proposed = p ? *p : ideal.value_or(child);
        double r = child;
        if (mn) {
            r = std::max(*mn, std::min(r, proposed));
        }
        if (mx) {
            r = std::min(*mx, std::max(r, proposed));
        }
        return r;
    }
    ProposedSize proposalFor(ProposedSize p) const override {
        return {childProposal(p.width, l_.minWidth, l_.idealWidth, l_.maxWidth),
                childProposal(p.height, l_.minHeight, l_.idealHeight, l_.maxHeight)};
    }
    Size measure(ProposedSize p) override {
        Size c = content().sizeThatFits(proposalFor(p));
        return {result(c.width, p.width, l_.minWidth, l_.idealWidth, l_.maxWidth),
                result(c.height, p.height, l_.minHeight, l_.idealHeight, l_.maxHeight)};
    }

private:
    FrameLimits l_;
};

} // namespace

Ptr flexibleFrame(Init init, Ptr child, FrameLimits limits) {
    return std::make_unique<FlexibleFrameElement>(std::move(init), std::move(child),
                                                  std::move(limits));
}

} // namespace qv::platform::ui::elements
