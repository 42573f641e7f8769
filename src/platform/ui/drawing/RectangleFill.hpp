#pragma once
// Filling an axis-aligned rectangle by whole-pixel boxes. Internal to the drawing layer.
//
// Cairo fills a rectangle with edges between pixels as boxes, and where a clip box cuts
// one of them it samples the anti-aliasing of the rows and columns of the opposite edges
// differently: the same rectangle drawn under a smaller clip (a part of the frame drawn
// again) came out up to a dozen levels off along its far edge. Filled here as up to nine
// boxes on whole pixels, each in the colour weighted by the area it covers of those pixels,
// every pixel is the same under any clip on whole pixels.

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/geometry/Geometry.hpp"

typedef struct _cairo cairo_t;

namespace qv::platform::ui {

/// Fills `device` (a rectangle in device pixels) in `color` under the clip of `cr`, with its
/// operator, which must be OVER: the boxes of the edges are weighted through the colour's
/// alpha, which only OVER composites as coverage.
void fillRectangleByPixels(cairo_t* cr, const Rect& device, const Color::Rgba& color);

} // namespace qv::platform::ui
