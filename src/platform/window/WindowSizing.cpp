#include "platform/window/WindowSizing.hpp"

#include <algorithm>
#include <cmath>

namespace qv::platform::window {

double WindowSizing::scaleFor(double dpi, double usableHeightPixels) const {
    double scale = 1.0;
    if (dpi > 0) {
        scale = std::max(1.0, std::round(dpi / 96.0 * 2.0) / 2.0);
    }
    if (usableHeightPixels > 0 && points.height * scale > usableHeightPixels) {
        // A window taller than the screen would lose its bottom controls.
        scale = usableHeightPixels / points.height;
    }
    return scale;
}

PointSize WindowSizing::pointsForPixels(double widthPixels, double heightPixels,
                                        double scale) const {
    const double s = scale > 0 ? scale : 1.0;
    return {std::clamp(widthPixels / s, minimum.width, maximum.width),
            std::clamp(heightPixels / s, minimum.height, maximum.height)};
}

} // namespace qv::platform::window
