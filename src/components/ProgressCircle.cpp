#include "components/ProgressCircle.hpp"

#include "platform/ui/views/Views.hpp"

#include <algorithm>
#include <cmath>

namespace qv {

using namespace platform::ui;

namespace {
constexpr double kLineWidth = 10;
constexpr double kTrackOpacity = 0.4;
constexpr double kArcWhite = 0.75;
} // namespace

double ProgressCircle::fraction(double remainingTime, double totalTime) {
    if (!(totalTime > 0)) {
        return 0;
    }
    const double f = remainingTime / totalTime;
    return std::isfinite(f) ? std::clamp(f, 0.0, 1.0) : 0;
}

View ProgressCircle::body() const {
    const double f = fraction(remainingTime.get(), totalTime);
    StrokeStyle round;
    round.lineWidth = kLineWidth;
    round.lineCap = LineCap::round;
    round.lineJoin = LineJoin::round;
    // Without time left no arc is drawn: a round cap would leave a dot at 12 o'clock.
    return ZStack({Circle()
                       .stroke(Color::gray(), kLineWidth)
                       .opacity(kTrackOpacity)
                       .testTag("progress track"),
                   If(f > 0,
                      [&] {
                          return Circle()
                              .trim(0, f)
                              .stroke(Color::white(kArcWhite), round)
                              .rotationEffect(3 * kPi / 2)
                              .testTag("progress arc");
                      })})
        .padding();
}

} // namespace qv
