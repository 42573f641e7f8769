#pragma once

#include "model/ActiveOverlayViews.hpp"
#include "model/Enumerations.hpp"
#include "platform/capture/CaptureTypes.hpp"
#include "platform/ui/views/View.hpp"

#include <cstddef>
#include <functional>
#include <string>

namespace qv {

// The control row under the exposure panel, W x 4 layout units on black. Left to right:
// the focus-mode label ("MF", "AF", "AFc"; only the ground without auto focus), and at the
// right end the magnifier button. Between them, with the magnifier off, the level button,
// the lens label (two or more cameras) and the histogram button, spread with equal gaps;
// with the magnifier on and auto focus, manual focus: the stepper in star trails, else the
// lens position scale (W - 12 units wide). The labels are always gray; a button is white
// while its overlay is on. Labels and icons turn with the phone.
struct ControlBarView {
    ActiveOverlayViews activeOverlayViews;
    std::size_t cameraCount = 0;
    bool isAutoFocusSupported = false;
    SequenceMode sequenceMode = SequenceMode::frameAveraging;
    platform::FocusMode focusMode = platform::FocusMode::continuousAutoFocus;
    std::string zoomFactorLabel;
    float lensPosition = 0;
    bool isAdjustingFocus = false;
    double rotation = 0; // radians
    double width = 0;
    double unitSize = 0;
    // The screen's actions: "focus badge", "level", "lens badge", "histogram",
    // "magnifier", "focus stepper" and "lens scale drag".
    std::function<void()> onFocusBadge;
    std::function<void()> onLevel;
    std::function<void()> onLensBadge;
    std::function<void()> onHistogram;
    std::function<void()> onMagnifier;
    std::function<void(double step)> onFocusStep;
    std::function<void(float position)> onLensPosition;

    platform::ui::View body() const; // the row is tagged "control bar", its children
                                     // "focus badge", "level button", "lens badge",
                                     // "histogram button", "focus stepper", "lens scale
                                     // place" and "magnifier button"

    // "MF" locked, "AF" auto focus, "AFc" continuous auto focus.
    static std::string focusModeText(platform::FocusMode mode);
};

} // namespace qv
