#include "screen/controls/FocusStepperView.hpp"

#include "platform/formatting/FloatText.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/controls/IconButton.hpp"

#include <cmath>

namespace qv {

using namespace platform::ui;

std::string FocusStepperView::lensPositionText(float position) {
    return platform::floatText(std::round(position * 100.0f) / 100.0f);
}

View FocusStepperView::body() const {
    const double side = metrics::outlinedLabelUnits * unitSize;
    const auto step = [&](const char* symbol, double amount, const char* tag) {
        return View(IconButton{Image::system(symbol), metrics::activeColor(),
                               Font::system(side * metrics::focusStepFontShare), 0, unitSize})
            .contentShape(Rectangle())
            .onTapGesture([onStep = onStep, amount] { onStep(amount); })
            .testTag(tag);
    };
    const View readout = Text(lensPositionText(lensPosition))
                             .font(Font::system(side * metrics::lensReadoutFontShare))
                             .foregroundColor(isAdjustingFocus ? metrics::adjustingFocusColor()
                                                               : metrics::activeColor())
                             .frame(side, side)
                             .rotationEffect(rotation)
                             .testTag("lens readout");
    return HStack({step("backward", -0.1, "focus step -0.1"),
                   step("arrowtriangle.backward", -0.01, "focus step -0.01"), readout,
                   step("arrowtriangle.forward", 0.01, "focus step 0.01"),
                   step("forward", 0.1, "focus step 0.1")},
                  VerticalAlignment::center, 0);
}

} // namespace qv
