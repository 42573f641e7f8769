#pragma once
// A value on its way from one build's target to the next over an animation.

#include "platform/state/Transaction.hpp"

namespace qv::platform::ui::detail {

/// A value moving from `from` to `to` over an animation that started at `start`.
struct AnimatedValue {
    double from = 0, to = 0;
    double start = 0; // seconds on the dispatch clock
    Animation animation;
    bool running = false;
    /// The value at `now` (seconds on the dispatch clock): `to` once the animation
    /// has run or when none runs; in between, along the animation's timing curve.
    double valueAt(double now) const;
};

} // namespace qv::platform::ui::detail
