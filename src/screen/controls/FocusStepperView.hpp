#pragma once

#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>

namespace qv {

// Manual focus in star trails: the lens position to two decimals between four step
// buttons, "backward" -0.1, "arrowtriangle.backward" -0.01, "arrowtriangle.forward" +0.01
// and "forward" +0.1, in white. The readout turns with the phone and is yellow while the
// lens moves; the buttons do not turn.
struct FocusStepperView {
    float lensPosition = 0; // 0 near ... 1 far
    bool isAdjustingFocus = false;
    double rotation = 0; // radians
    double unitSize = 0;
    std::function<void(double step)> onStep; // the "focus stepper" action

    platform::ui::View body() const; // the buttons are tagged "focus step <step>" ("focus
                                     // step -0.1"), the readout "lens readout"

    // The position rounded to two decimals in single precision (halves away from zero) and
    // written in the shortest form that reads back alike: 0.837 "0.84", 0.5 "0.5", 0.004
    // "0.0", 1 "1.0".
    static std::string lensPositionText(float position);
};

} // namespace qv
