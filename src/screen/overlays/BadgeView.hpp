#pragma once

#include "platform/ui/views/View.hpp"
#include "screen/Metrics.hpp"

#include <string>

namespace qv {

// One pill-shaped badge over the preview (the mode badge, the format badge): the label
// in a rounded outline 4.5 x 3/1.3 layout units, white when active and gray otherwise,
// both with the overlays' shadow, on a black backdrop at 60 % of 6 x 4/1.3 units. On a
// phone with one camera a second, larger backdrop (8 x 4/0.75 units) lies under it at 1 %,
// invisible but part of the badge. Sizes are in layout units (u): with u = 0 the badge has
// no size. Badges do not turn with the phone.
struct BadgeView {
    std::string label;
    bool isActive = false;
    double unitSize = 0;
    bool hasCameraBackdrop = false; // the phone has exactly one camera
    bool fitsLabel = false;         // the label is scaled to fit (the format badge)

    platform::ui::View body() const; // the outline is tagged "badge outline", the
                                     // backdrops "badge backdrop" and "badge camera backdrop"
};

} // namespace qv
