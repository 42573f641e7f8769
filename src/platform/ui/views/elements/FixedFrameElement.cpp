// Fixed frames: a given width, height or both, the content aligned inside.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Wrapper.hpp"

namespace qv::platform::ui::elements {
namespace {

class FixedFrameElement final : public Wrapper {
public:
    FixedFrameElement(Init init, Ptr child, std::optional<double> w, std::optional<double> h,
                      Alignment a)
        : Wrapper(std::move(init), std::move(child)), width_(w), height_(h), alignment_(a) {}

protected:
    Size measure(ProposedSize p) override {
        if (width_ && height_) {
            return {*width_, *height_};
        }
        Size c = content().sizeThatFits({width_ ? width_ : p.width, height_ ? height_ : p.height});
        return {width_.value_or(c.width), height_.value_or(c.height)};
    }
    void placeChildren() override { placeChild(content(), frame(), alignment_); }

private:
    std::optional<double> width_, height_;
    Alignment alignment_;
};

} // namespace

Ptr fixedFrame(Init init, Ptr child, std::optional<double> width, std::optional<double> height,
               Alignment alignment) {
    return std::make_unique<FixedFrameElement>(std::move(init), std::move(child), width, height,
                                               alignment);
}

} // namespace qv::platform::ui::elements
