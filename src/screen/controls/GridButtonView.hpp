#pragma once

#include "platform/ui/views/View.hpp"

#include <functional>

namespace qv {

// The grid button of the shutter row: a rounded outline 3 layout units high and 3 / (4/3)
// wide, white while the grid overlay is on, over the button ground. A tap switches the
// grid, a long press (0.5 s, moving at most 10 points) picks the next grid. It does not
// turn with the phone.
struct GridButtonView {
    bool isActive = false; // the grid overlay is on
    double unitSize = 0;
    std::function<void()> onTap;       // "grid tap"
    std::function<void()> onLongPress; // "grid long press"

    platform::ui::View body() const; // tagged "grid button", the outline "grid icon"
};

} // namespace qv
