#include "screen/preview/MagnifierBoxView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/overlays/OptionalImage.hpp"

#include <algorithm>

namespace qv {

using namespace platform::ui;

View MagnifierBoxView::body() const {
    const double side = metrics::magnifierBoxSize;
    const auto box =
        RoundedRectangle(metrics::magnifierCornerRadius, RoundedCornerStyle::continuous);
    return View(OptionalImage{previewUIImage, imageOffset})
        .scaleEffect(fitScale)
        .blur(blurRadius)
        .frame(side, side)
        .clipShape(box)
        .overlay(box.stroke(Color::gray().opacity(metrics::magnifierOutlineOpacity),
                            metrics::magnifierOutlineWidth)
                     .frame(side, side))
        .shadow(metrics::overlayShadowColor(), metrics::overlayShadowRadius)
        .contentShape(box)
        .testTag("magnifier box")
        .offset(offset.x, offset.y)
        .gesture(DragGesture(metrics::magnifierDragMinimum, CoordinateSpace::global)
                     .onChanged(onDragChanged)
                     .onEnded(onDragEnded))
        .onTapGesture(onTap);
}

Point MagnifierBoxView::clampedOffset(Point steady, Point drag, double previewWidth,
                                      double aspectRatio) {
    const double across = metrics::magnifierTravel * previewWidth;
    const double along = across * aspectRatio;
    return {std::clamp(steady.x + drag.x, -across, across),
            std::clamp(steady.y + drag.y, -along, along)};
}

Point MagnifierBoxView::pictureOffset(Point boxOffset, double displayScale,
                                      std::optional<double> previewImageScale) {
    const double liveScale = previewImageScale && *previewImageScale > 0 ? *previewImageScale : 1.0;
    const double scale = displayScale / liveScale;
    return {-boxOffset.x * scale, -boxOffset.y * scale};
}

} // namespace qv
