#pragma once

#include "platform/ui/views/View.hpp"
#include "screen/controls/GridButtonView.hpp"
#include "screen/controls/ResultThumbnailView.hpp"

#include <functional>

namespace qv {

// The bottom band of the screen on black: the library thumbnail at the left, the grid and
// settings buttons at the right, and the shutter release centred over the band, turned with
// the phone. The band is W wide and 6 to 11 layout units high (11 when it fits), scaled to
// fit what it is given.
struct ShutterRowView {
    ResultThumbnailView thumbnail;
    GridButtonView gridButton;
    platform::ui::View shutterButton; // a ShutterReleaseButtonView (its state is its own)
    std::function<void()> onGear;     // the "gear" action
    double rotation = 0;              // radians
    double width = 0;
    double unitSize = 0;

    platform::ui::View body() const; // the settings button is tagged "gear"
};

} // namespace qv
