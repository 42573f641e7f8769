#pragma once

#include "platform/media/RgbaImage.hpp"
#include "platform/sensors/DeviceOrientation.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>
#include <memory>

namespace qv {

// The content of the result cover, which the screen presents over itself while
// showResultImage is true: on dark gray, the last run's picture (ResultImageView), or
// while the controller still saves it (the picture is null) a line asking for patience;
// the picture replaces the line as soon as it is published. A close button (the
// "xmark.circle" symbol, 2.4 layout units, gray) stands above both, in the corner that is
// top right for the user: top trailing upright (and face up, face down, unknown), top
// leading in landscape right, bottom leading upside down, bottom trailing in landscape
// left. A tap on it runs `onClose` (the screen's "result close" action).
struct ResultCoverView {
    std::shared_ptr<const platform::RgbaImage> resultUIImage;
    platform::DeviceOrientation deviceOrientation = platform::DeviceOrientation::portrait;
    double unitSize = 0; // the screen's layout unit
    std::function<void()> onClose;

    platform::ui::View body() const; // the button is tagged "result close", the waiting
                                     // line "result waiting"

    enum class Corner { topLeading, topTrailing, bottomLeading, bottomTrailing };
    static Corner closeButtonCorner(platform::DeviceOrientation orientation);
};

} // namespace qv
