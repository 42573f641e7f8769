#pragma once
// Whether a Cairo clip falls on whole device pixels.

typedef struct _cairo cairo_t;

namespace qv::platform::ui {

/// Whether the current clip of `cr` is a set of whole device pixels (no clip at all is).
/// Under any other clip Cairo cuts what it fills at the clip's outline, anti-aliased.
bool clipOnWholePixels(cairo_t* cr);

} // namespace qv::platform::ui
