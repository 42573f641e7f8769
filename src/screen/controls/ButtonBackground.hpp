#pragma once

#include "platform/ui/views/View.hpp"

namespace qv {

// The ground of every button of the control bar and the shutter row: a black rounded
// square of 4 layout units, held at that size.
struct ButtonBackground {
    double unitSize = 0;

    platform::ui::View body() const;
};

} // namespace qv
