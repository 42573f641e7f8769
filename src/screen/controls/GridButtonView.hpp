#pragma once

#include "model/GridOverlayType.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>

namespace qv {

// The grid button of the shutter row: a rounded outline 3 layout units high and 3 / (4/3)
// wide, white while the grid overlay is on, with the grid the overlay would draw inside it
// in gray, over the button ground. A tap switches the grid, a long press (0.5 s, moving at
// most 10 points) picks the next grid. It does not turn with the phone.
struct GridButtonView {
    GridOverlayType gridType = GridOverlayType::rectangular(3, 3);
    bool isActive = false; // the grid overlay is on
    double unitSize = 0;
    std::function<void()> onTap;       // "grid tap"
    std::function<void()> onLongPress; // "grid long press"

    platform::ui::View body() const; // tagged "grid button", the outline "grid icon"
};

} // namespace qv
