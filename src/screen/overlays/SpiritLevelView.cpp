#include "screen/overlays/SpiritLevelView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/overlays/LineShape.hpp"
#include "screen/overlays/OrientationAngle.hpp"

#include <algorithm>
#include <cmath>

namespace qv {

using namespace platform::ui;
using platform::DeviceOrientation;

namespace {

// Degrees added to the roll for how the phone is held: upright, the roll reads 0 when
// level; on its side or upside down, it reads the quarter or half turn away.
double rollOffset(DeviceOrientation orientation) {
    switch (orientation) {
    case DeviceOrientation::portraitUpsideDown:
        return 180;
    case DeviceOrientation::landscapeLeft:
        return 90;
    case DeviceOrientation::landscapeRight:
        return -90;
    default:
        return 0;
    }
}

bool isFlat(DeviceOrientation orientation) {
    return orientation == DeviceOrientation::faceUp || orientation == DeviceOrientation::faceDown;
}

// Within the tolerance of level; false for a value that is not a number.
bool within(double degrees, double tolerance) {
    return std::abs(degrees) <= tolerance;
}

Color levelColor(bool level) {
    return level ? Color::green() : Color::white();
}

ShapeView circle(Point center, double radius) {
    return PathShape([center, radius](const Rect& frame) {
        Path path;
        path.addArc({frame.minX() + center.x, frame.minY() + center.y}, radius, 0, 2 * kPi, true);
        return path;
    });
}

struct Layout {
    double w, h, r;
    Point c;
};

} // namespace

bool SpiritLevelView::isRollLevel() const {
    return within(std::remainder(angleXY.degrees() + rollOffset(deviceOrientation), 180),
                  tolerance);
}

View SpiritLevelView::body() const {
    const SpiritLevelView level = *this;
    return GeometryReader([level](const GeometryProxy& proxy) {
               const Layout l{proxy.size.width,
                              proxy.size.height,
                              proxy.size.width / 4,
                              {proxy.size.width / 2, proxy.size.height / 2}};
               const auto shadowed = [&level](View part) {
                   return part.shadow(metrics::overlayShadowColor(), level.shadowRadius);
               };
               const auto line = [&](Point from, Point to, const Color& color) {
                   return shadowed(LineShape(from, to).stroke(color, level.lineWidth));
               };
               const double turn = orientationAngle(level.deviceOrientation);
               std::vector<View> parts;
               if (isFlat(level.deviceOrientation)) {
                   const double f = level.deviceOrientation == DeviceOrientation::faceUp ? 1 : -1;
                   const double ax = level.angleXZ.degrees();
                   const double ay = level.angleYZ.degrees();
                   const double dx = std::abs(ax) > level.tolerance ? ax / 45 * l.r : 0;
                   const double dy = std::abs(ay) > level.tolerance ? ay / 45 * l.r : 0;
                   const double o = rollOffset(level.deviceOrientation);
                   const bool centred =
                       within(ax + o, level.tolerance) && within(ay + o, level.tolerance);
                   parts.push_back(shadowed(
                       View(
                           circle({l.c.x + f * dx, l.c.y - f * dy}, l.r / 5.5).fill(Color::white()))
                           .testTag("level bubble")));
                   parts.push_back(shadowed(
                       View(circle(l.c, l.r / 5 + 2).stroke(levelColor(centred), level.lineWidth))
                           .testTag("level ring")));
               } else {
                   const double a = level.levelAngle;
                   const bool pitchLevel = within(a, level.tolerance);
                   const double x0 = l.w / 4, x1 = 3 * l.w / 4, y = l.c.y, s = x1 - x0;
                   const double t = pitchLevel ? 0 : std::clamp(a, -45.0, 45.0);
                   const double d = s * 0.9 * 0.5 * (t / 45);
                   const double k = 0.1 * s;
                   const double g = std::abs(2 * d / 3);
                   const Color pitchColor = levelColor(pitchLevel);
                   parts.push_back(ZStack({line({x0, y}, {x1, y}, pitchColor)
                                               .opacity(metrics::levelReferenceOpacity),
                                           line({x0, y}, {x0 + k, y}, pitchColor),
                                           line({x1 - k, y}, {x1, y}, pitchColor),
                                           If(std::abs(a) < 60,
                                              [&] {
                                                  return line({x0 + k + g, y - d},
                                                              {x1 - k - g, y - d}, pitchColor)
                                                      .testTag("level moving line");
                                              })})
                                       .rotationEffect(turn)
                                       .testTag("level pitch"));
                   const bool rollLevel = level.isRollLevel();
                   const double roll =
                       std::isfinite(level.angleXY.radians) ? level.angleXY.radians : 0;
                   const Color rollColor = levelColor(rollLevel);
                   parts.push_back(ZStack({line({0, y}, {l.w / 4, y}, rollColor),
                                           line({3 * l.w / 4, y}, {l.w, y}, rollColor)})
                                       .rotationEffect(rollLevel ? turn : roll)
                                       .testTag("level roll"));
               }
               parts.push_back(
                   shadowed(View(circle(l.c, l.r).stroke(Color::white(), level.lineWidth))
                                .testTag("level circle")));
               return ZStack(std::move(parts));
           })
        .opacity(metrics::levelOpacity)
        .testTag("spirit level");
}

} // namespace qv
