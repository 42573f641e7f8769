#include "screen/preview/PreviewBox.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/overlays/OrientationAngle.hpp"

#include <algorithm>

namespace qv {

using namespace platform::ui;
using platform::DeviceOrientation;

View PreviewBox::body() const {
    const View box = content;
    const std::optional<double> limit = widthLimit;
    const bool landscape = orientation == DeviceOrientation::landscapeLeft ||
                           orientation == DeviceOrientation::landscapeRight;
    return GeometryReader([=](const GeometryProxy& proxy) {
               const double across = proxy.size.width;
               double width = metrics::previewBoxWidthShare * across;
               if (limit) {
                   width = std::min(*limit, width);
               }
               const View placed =
                   box.frame(width, metrics::previewBoxHeightShare * across, Alignment::bottom())
                       .clipShape(
                           RoundedRectangle(metrics::cornerRadius, RoundedCornerStyle::continuous))
                       .shadow(metrics::overlayShadowColor(), metrics::overlayShadowRadius)
                       .padding();
               return VStack({Spacer(), HStack({Spacer(), placed, Spacer()})})
                   .offset(0, landscape ? -metrics::previewBoxLandscapeRaise * across : 0)
                   .frame(proxy.size.width, proxy.size.height);
           })
        .offset(0, lift)
        .rotationEffect(orientationAngle(orientation));
}

} // namespace qv
