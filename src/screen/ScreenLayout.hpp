#pragma once

#include "platform/ui/geometry/Geometry.hpp"
#include "screen/Metrics.hpp"

namespace qv {

// The camera screen's frame, from the size of its safe area (w x h): the preview region w
// wide and w x a high at the top, the lower region w x (h - w x a) under it, and the square
// of the exposure selectors over the bottom w x w. Every control is sized in the layout unit
// u = min(w / 31, (h - w x a) / 16). Before the screen has measured itself the size is zero
// and so are u and every region; a safe area lower than the preview (no phone is) leaves
// the lower region and u at zero.
struct ScreenLayout {
    platform::ui::Size safeScreenSize;
    double cameraAspectRatio = metrics::cameraAspectRatio; // height to width of the preview

    double width() const { return safeScreenSize.width; }
    double height() const { return safeScreenSize.height; }
    double unitSize() const;
    platform::ui::Size previewRegion() const;
    platform::ui::Size lowerRegion() const;
    // The selectors' square in the safe area's points.
    platform::ui::Rect selectorSquare() const;
};

} // namespace qv
