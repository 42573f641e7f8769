#include "app/settings/StepperSymbol.hpp"

#include "app/Metrics.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;
using namespace appmetrics;

View StepperSymbol::body() const {
    const auto step = onStep;
    const auto square = FrameLimits{}
                            .withMinWidth(stepperMinimumSize)
                            .withIdealWidth(stepperIdealSize)
                            .withMaxWidth(stepperMaximumSize)
                            .withMinHeight(stepperMinimumSize)
                            .withIdealHeight(stepperIdealSize)
                            .withMaxHeight(stepperMaximumSize);
    return ZStack({View(Color::black()), Image::system(symbol)
                                             .font(Font::system(settingsFontSize))
                                             .foregroundColor(canStep ? metrics::activeColor()
                                                                      : settingsDisabledColor())})
        .frame(square)
        .onTapGesture([step] {
            if (step) {
                step();
            }
        })
        .testTag(tag);
}

} // namespace qv
