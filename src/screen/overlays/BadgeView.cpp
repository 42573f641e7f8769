#include "screen/overlays/BadgeView.hpp"

#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

namespace {

ShapeView pill() {
    return RoundedRectangle(metrics::cornerRadius, RoundedCornerStyle::continuous);
}

View backdrop(double opacity, double width, double height, const std::string& tag) {
    return pill()
        .fill(metrics::backgroundColor().opacity(opacity))
        .frame(width, height)
        .clipped()
        .fixedSize()
        .testTag(tag);
}

} // namespace

View BadgeView::body() const {
    const double u = unitSize;
    const View background =
        ZStack({If(hasCameraBackdrop,
                   [&] {
                       return backdrop(metrics::badgeCameraBackdropOpacity, 8 * u, 4 * u / 0.75,
                                       "badge camera backdrop");
                   }),
                backdrop(metrics::badgeBackgroundOpacity, 6 * u, 4 * u / 1.3, "badge backdrop")});
    const Color color = isActive ? metrics::activeColor() : metrics::inActiveColor();
    View text = Text(label).font(Font::system(3 * u * 0.5));
    if (fitsLabel) {
        text = text.scaledToFit();
    }
    const View labelled =
        ZStack({pill()
                    .stroke(color, metrics::stroke)
                    .shadow(metrics::overlayShadowColor(), metrics::overlayShadowRadius)
                    .testTag("badge outline"),
                text.foregroundColor(color).shadow(metrics::overlayShadowColor(),
                                                   metrics::overlayShadowRadius)})
            .frame(4.5 * u, 3 * u / 1.3);
    return ZStack({ZStack({background}), labelled});
}

} // namespace qv
