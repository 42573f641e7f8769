#include "screen/overlays/FocusTargetView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/overlays/LineShape.hpp"

#include <algorithm>

namespace qv {

using namespace platform::ui;

namespace {

ShapeView circle(Point center, double radius) {
    return PathShape([center, radius](const Rect& frame) {
        Path path;
        path.addArc({frame.minX() + center.x, frame.minY() + center.y}, radius, 0, 2 * kPi, true);
        return path;
    });
}

View sight(Size size) {
    const Point c{size.width * 0.5, size.height * 0.5};
    const double m = std::min(size.width, size.height) * 0.5;
    const double r = m * 0.75;
    const double lw = r * 0.03;
    StrokeStyle tick;
    tick.lineWidth = lw;
    tick.lineCap = LineCap::round;
    const ShapeStyle foreground = ShapeStyle::primary();
    return ZStack({circle(c, r).stroke(foreground, 2 * lw),
                   circle(c, 0.85 * r).stroke(foreground, lw),
                   circle(c, 0.5 * r).stroke(foreground, lw), circle(c, 0.1 * r),
                   LineShape({c.x - 0.2 * m, c.y}, {c.x - m, c.y}).stroke(foreground, tick),
                   LineShape({c.x + 0.2 * m, c.y}, {c.x + m, c.y}).stroke(foreground, tick),
                   LineShape({c.x, c.y - 0.2 * m}, {c.x, c.y - m}).stroke(foreground, tick),
                   LineShape({c.x, c.y + 0.2 * m}, {c.x, c.y + m}).stroke(foreground, tick)});
}

} // namespace

View FocusTargetView::body() const {
    return GeometryReader([](const GeometryProxy& proxy) { return sight(proxy.size); })
        .testTag("focus target");
}

} // namespace qv
