#pragma once
// The space offered to a screen, measured once (BaseGeometryReader), and the areas of a
// 4:3 camera preview and the controls around it derived from it.

#include "components/Metrics.hpp"
#include "platform/ui/geometry/Geometry.hpp"

#include <string>

namespace qv {

struct BaseGeometry {
    platform::ui::Size size;
    platform::ui::EdgeInsets safeAreaInsets;
    double cameraAspectRatio = metrics::cameraAspectRatio;

    bool hasBottomSafeArea() const { return safeAreaInsets.bottom > 0; }
    /// The full width, and that width times the aspect ratio high.
    platform::ui::Size cameraPreviewSize() const;
    /// The full width, and the height left under the preview (with a top inset added
    /// when there is no bottom inset); never negative.
    platform::ui::Size controlsAreaSize() const;
    /// The full width, and the top inset high (a twenty-fifth of the height without one).
    platform::ui::Size topBarSize() const;

    /// "BaseGeometry(size: (390.0, 844.0), safeAreaInsets: EdgeInsets(top: 47.0,
    /// leading: 0.0, bottom: 34.0, trailing: 0.0), cameraAspectRatio: 1.3333333333333333)"
    std::string description() const;
    friend bool operator==(const BaseGeometry&, const BaseGeometry&) = default;
};

} // namespace qv
