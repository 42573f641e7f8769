#include "platform/ui/graph/detail/AnimatedValue.hpp"

#include <algorithm>

namespace qv::platform::ui::detail {
namespace {

// Progress along a cubic timing curve from (0,0) to (1,1) with control points
// (x1,y1) and (x2,y2), at time fraction t.
double cubicTiming(double x1, double y1, double x2, double y2, double t) {
    auto bez = [](double a, double b, double s) {
        const double u = 1 - s;
        return 3 * u * u * s * a + 3 * u * s * s * b + s * s * s;
    };
    double lo = 0, hi = 1, s = t;
    for (int i = 0; i < 30; ++i) {
        s = (lo + hi) / 2;
        if (bez(x1, x2, s) < t) {
            lo = s;
        } else {
            hi = s;
        }
    }
    return bez(y1, y2, s);
}

double ease(const Animation& a, double t) {
    t = std::clamp(t, 0.0, 1.0);
    switch (a.kind) {
    case Animation::Kind::linear:
        return t;
    case Animation::Kind::easeIn:
        return cubicTiming(0.42, 0, 1, 1, t);
    case Animation::Kind::easeOut:
    case Animation::Kind::spring:
        return cubicTiming(0, 0, 0.58, 1, t);
    case Animation::Kind::defaultCurve:
    case Animation::Kind::easeInOut:
        return cubicTiming(0.42, 0, 0.58, 1, t);
    }
    return t;
}

} // namespace

double AnimatedValue::valueAt(double now) const {
    if (!running || animation.duration <= 0) {
        return to;
    }
    const double t = (now - start) / animation.duration;
    return t >= 1 ? to : from + (to - from) * ease(animation, t);
}

} // namespace qv::platform::ui::detail
