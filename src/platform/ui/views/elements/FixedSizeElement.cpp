// Fixed size: the content at its ideal size along chosen axes.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/Wrapper.hpp"

namespace qv::platform::ui::elements {
namespace {

class FixedSizeElement final : public ProposingWrapper {
public:
    FixedSizeElement(Init init, Ptr child, bool h, bool v)
        : ProposingWrapper(std::move(init), std::move(child), Alignment::center()), h_(h), v_(v) {}

protected:
    ProposedSize proposalFor(ProposedSize p) const override {
        return {h_ ? std::nullopt : p.width, v_ ? std::nullopt : p.height};
    }

private:
    bool h_, v_;
};

} // namespace

Ptr fixedSize(Init init, Ptr child, bool horizontal, bool vertical) {
    return std::make_unique<FixedSizeElement>(std::move(init), std::move(child), horizontal,
                                              vertical);
}

} // namespace qv::platform::ui::elements
