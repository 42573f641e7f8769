#pragma once
// How a Cairo clip or path lies on the device pixels.

#include "platform/ui/geometry/Geometry.hpp"

typedef struct _cairo cairo_t;

namespace qv::platform::ui {

/// Whether the current clip of `cr` is a set of whole device pixels (no clip at all is).
/// Under any other clip Cairo cuts what it fills at the clip's outline, anti-aliased.
bool clipOnWholePixels(cairo_t* cr);

/// Whether the current path of `cr`, filled, covers whole device pixels only: straight
/// lines along the pixel axes between whole device pixel positions.
bool pathOnWholePixels(cairo_t* cr);

/// Whether one rectangle of the current clip of `cr` holds `device` (a rectangle in
/// device pixels), so that clipping to it cuts nothing inside `device`.
bool clipHolds(cairo_t* cr, const Rect& device);

} // namespace qv::platform::ui
