#pragma once

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/drawing/Font.hpp"
#include "platform/ui/views/View.hpp"

namespace qv {

// A button of the control bar or the shutter row: a symbol or drawn image over the button
// ground, in the colour of its state (white on, gray off), turned about its centre with the
// phone where the caller asks. The caller adds the tap.
struct IconButton {
    platform::ui::View icon; // an Image
    platform::ui::Color color;
    platform::ui::Font font = platform::ui::Font::title();
    double rotation = 0; // radians
    double unitSize = 0;

    platform::ui::View body() const;
};

} // namespace qv
