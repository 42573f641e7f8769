#pragma once
// How a view comes in and goes out when its presence changes in an animated
// transaction.

#include "platform/ui/geometry/Geometry.hpp"

namespace qv::platform::ui {

struct Transition {
    enum class Kind { identity, opacity, scale };
    Kind kind = Kind::identity;
    /// The scale a `scale` transition starts from (and ends at on the way out).
    double scale = 1;
    UnitPoint anchor{};

    static Transition identity() { return {}; }
    static Transition opacity() { return {Kind::opacity, 1, {}}; }
    static Transition scaleFrom(double scale, UnitPoint anchor = {}) {
        return {Kind::scale, scale, anchor};
    }
};

} // namespace qv::platform::ui
