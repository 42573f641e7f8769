#pragma once

#include "platform/ui/views/View.hpp"
#include "screen/Metrics.hpp"

#include <string>

namespace qv {

// The content of the camera screen's message box: the controller's message, shown as it
// is (never looked up as a key), in light gray over a translucent black ground that fills
// whatever space the box gives. A long message wraps inside the box, its lines on the
// leading edge and the block centred; an empty one leaves the ground alone. The screen
// sizes, clips, shadows, places and turns the box.
struct MessageView {
    std::string messageToShow;
    double opacity = metrics::messageOpacity; // of the black ground

    platform::ui::View body() const; // the text is tagged "message"
};

} // namespace qv
