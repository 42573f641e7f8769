#pragma once

#include "platform/ui/views/View.hpp"
#include "screen/controls/ExposureReadings.hpp"

#include <functional>

namespace qv {

// The strip of four readouts at the top of the lower region: ISO, shutter speed, the
// exposure offset in EV and the total time, spread over the width with equal gaps, on
// black, 4 layout units high and 5 points below the preview. White marks what the user set,
// gray what the camera chose; each readout opens its selector (the screen's readout
// actions). The panel does not turn with the phone.
struct ExposurePanelView {
    ExposureReadings readings;
    double width = 0;
    double unitSize = 0;
    std::function<void()> onISO;
    std::function<void()> onShutter;
    std::function<void()> onEV;
    std::function<void()> onTotalTime;

    platform::ui::View body() const; // the readouts are tagged "ISO readout", "shutter
                                     // readout", "EV readout" and "total time readout"
};

} // namespace qv
