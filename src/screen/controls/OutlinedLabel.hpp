#pragma once

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/views/View.hpp"

#include <string>

namespace qv {

// The focus-mode and lens labels of the control bar: a short text (half of 3 layout units)
// in a rounded outline of 3 x 3 units, turned with the phone, over the button ground. While
// `showsLabel` is false only the ground is drawn.
struct OutlinedLabel {
    std::string text; // shown as it is ("AF", "1x")
    bool showsLabel = true;
    platform::ui::Color color;
    double rotation = 0; // radians
    double unitSize = 0;

    platform::ui::View body() const;
};

} // namespace qv
