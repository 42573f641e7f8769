#pragma once

#include "platform/sensors/DeviceOrientation.hpp"
#include "platform/ui/views/View.hpp"

#include <optional>

namespace qv {

// A box at the bottom of the preview, centred (the histogram, the message): 85 % of the
// preview's width wide, or `widthLimit` where that is less, and a quarter of the width
// high; clipped round, with the overlays' shadow and the default padding. In landscape it
// is raised by 15 % of the width. The whole is moved down by `lift` (negative: up) and
// turned about its centre with the phone.
struct PreviewBox {
    platform::ui::View content;
    platform::DeviceOrientation orientation = platform::DeviceOrientation::portrait;
    std::optional<double> widthLimit;
    double lift = 0;

    platform::ui::View body() const;
};

} // namespace qv
