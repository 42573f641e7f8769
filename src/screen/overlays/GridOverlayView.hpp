#pragma once

#include "model/GridOverlayType.hpp"
#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/views/View.hpp"

namespace qv {

// The composition grid: the lines of `gridType` for the frame the view is given, each
// stroked `lineWidth` wide in `foreGroundColor` (butt caps); the frame's border is never
// drawn. The screen draws it over the preview in white at 60 %, 1 point wide; the grid
// button draws it small as its icon.
struct GridOverlayView {
    GridOverlayType gridType;
    platform::ui::Color foreGroundColor;
    double lineWidth = 1;

    platform::ui::View body() const; // tagged "grid"
};

} // namespace qv
