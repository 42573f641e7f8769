#include "screen/controls/ButtonBackground.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"

namespace qv {

using namespace platform::ui;

View ButtonBackground::body() const {
    const double side = metrics::buttonBackgroundUnits * unitSize;
    return RoundedRectangle(metrics::cornerRadius, RoundedCornerStyle::continuous)
        .fill(metrics::backgroundColor())
        .frame(side, side)
        .clipped()
        .fixedSize();
}

} // namespace qv
