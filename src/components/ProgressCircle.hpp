#pragma once
// The countdown ring: a gray track circle with a light arc over it, from 12 o'clock
// clockwise, whose length is the share of time still left. It starts no timer and
// keeps no state: its host keeps `remainingTime` current (changed inside withAnimation,
// the arc moves over the animation).

#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"

namespace qv {

struct ProgressCircle {
    platform::Binding<double> remainingTime; // read only, in the unit of totalTime
    double totalTime = 0;

    platform::ui::View body() const; // the track is tagged "progress track", the arc
                                     // "progress arc"

    /// The share of the circle the arc covers: remaining / total within 0 ... 1; 0 (the
    /// track alone) for a total of 0 or less or a share that is not a number.
    static double fraction(double remainingTime, double totalTime);
};

} // namespace qv
