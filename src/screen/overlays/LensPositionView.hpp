#pragma once

#include "model/Enumerations.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/View.hpp"
#include "screen/Metrics.hpp"

#include <functional>
#include <optional>

namespace qv {

// The manual-focus scale: "0" (near) and the infinity symbol (far) either side of a ruler
// of `majorDividers` major intervals of `minorDividers` minor ones each, with a small
// triangle hanging from the top at the lens position, on black at 20 % in a rounded box.
// The text and symbol are 0.4 of the view's height; the ruler is the bottom 0.9 of the
// scale's height, major ticks (2 points) rising to 0.4 of it, minor ticks (1 point) to 0.5.
//
// Dragging along the scale (from 1 point on) moves the marker with the finger and asks
// for the position under it, location x over the scale's width within 0...1: at every
// move, or in star trails only when the finger lifts. While a drag lasts the marker
// ignores the published position; after it the marker shows the published one again. A
// scale without width gives no position and asks for nothing.
struct LensPositionView {
    float lensPosition = 0; // the camera's published position, 0 near ... 1 far
    SequenceMode sequenceMode = SequenceMode::frameAveraging;
    std::function<void(float)> setLensPosition; // the "lens scale drag" action
    double cornerRadius = metrics::cornerRadius;
    int majorDividers = 10; // at least 1
    int minorDividers = 3;  // at least 1

    platform::ui::State<bool> isUpdating{false};
    platform::ui::State<float> steadyLensPosition{0.5f};

    platform::ui::View body() const; // the scale area is tagged "lens scale", the marker
                                     // "lens marker"

    // The position at `x` on a scale `width` wide, within 0...1; none when that is not a
    // finite number (a scale without width).
    static std::optional<float> position(double x, double width);
};

} // namespace qv
