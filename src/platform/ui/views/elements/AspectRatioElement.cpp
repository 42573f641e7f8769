// Aspect ratio: the content offered the largest or smallest size of a ratio.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Wrapper.hpp"

namespace qv::platform::ui::elements {
namespace {

bool finite(const std::optional<double>& v) {
    return v && std::isfinite(*v);
}

class AspectRatioElement final : public ProposingWrapper {
public:
    AspectRatioElement(Init init, Ptr child, std::optional<double> ratio, ContentMode mode)
        : ProposingWrapper(std::move(init), std::move(child), Alignment::center()), ratio_(ratio),
          mode_(mode) {}

protected:
    // The largest (fit) or smallest (fill) size of the ratio for the proposal;
    // the child is offered that size and the drawing is not scaled.
    ProposedSize proposalFor(ProposedSize p) const override {
        double r = ratio_.value_or(0);
        if (!ratio_) {
            Size ideal = content().sizeThatFits(ProposedSize::unspecified());
            r = ideal.height > 0 ? ideal.width / ideal.height : 1.0;
        }
        if (!(r > 0) || !std::isfinite(r)) {
            return p;
        }
        if (finite(p.width) && finite(p.height)) {
            double w = *p.width, h = *p.height;
            bool wider = w / std::max(h, 1e-12) > r;
            if ((mode_ == ContentMode::fit) == wider) {
                return {h * r, h};
            }
            return {w, w / r};
        }
        if (finite(p.width)) {
            return {*p.width, *p.width / r};
        }
        if (finite(p.height)) {
            return {*p.height * r, *p.height};
        }
        if (!p.width && !p.height) {
            Size ideal = content().sizeThatFits(ProposedSize::unspecified());
            return {ideal.width, ideal.width / r};
        }
        return p;
    }

private:
    std::optional<double> ratio_;
    ContentMode mode_;
};

} // namespace

Ptr aspectRatio(Init init, Ptr child, std::optional<double> ratio, ContentMode mode) {
    return std::make_unique<AspectRatioElement>(std::move(init), std::move(child), ratio, mode);
}

} // namespace qv::platform::ui::elements
