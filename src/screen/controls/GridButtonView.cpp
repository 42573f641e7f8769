#include "screen/controls/GridButtonView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/controls/ButtonBackground.hpp"
#include "screen/overlays/GridOverlayView.hpp"

namespace qv {

using namespace platform::ui;

View GridButtonView::body() const {
    const double height = metrics::gridIconHeightUnits * unitSize;
    const View icon =
        ZStack({RoundedRectangle(metrics::cornerRadius, RoundedCornerStyle::continuous)
                    .stroke(isActive ? metrics::activeColor() : metrics::inActiveColor(),
                            2 * metrics::stroke)
                    .testTag("grid icon"),
                GridOverlayView{gridType, metrics::inActiveColor(), metrics::gridLineWidth}});
    return ZStack({ButtonBackground{unitSize},
                   ZStack({icon}).frame(height / metrics::cameraAspectRatio, height)})
        .onTapGesture(onTap)
        .onLongPressGesture(0.5, 10, onLongPress)
        .testTag("grid button");
}

} // namespace qv
