#pragma once
// Filling and stroking shapes through cached coverage masks.
//
// Cairo's anti-aliased scan conversion of a curved path costs far more than
// painting a colour through an 8-bit mask of the same size, and a screen draws
// the same shapes at the same places frame after frame. So a shape's coverage
// is rendered once into an A8 mask, kept in a size-capped least-recently-used
// cache per thread, and painted at whole-pixel offsets afterwards. The key is
// the path in device pixels relative to a whole pixel (sub-pixel offsets
// quantised to 1/1024 pixel), the drawing transform's linear part, the stroke
// settings, tolerance and anti-aliasing: a shape moved by whole pixels reuses
// its mask. Pixels match direct drawing within one level per channel.
// A rectangle along the pixel axes is filled by whole-pixel boxes instead (RectangleFill).

#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/geometry/Path.hpp"

#include <cstddef>

namespace qv::platform::ui {

enum class ShapeDrawing {
    cached, // through the per-thread mask cache where it pays off
    direct, // Cairo's fill or stroke every time
};

/// Fills `path` (non-zero rule) or, with `stroke`, strokes it on `cr` in `color`
/// with the current transform, clip and operator of `cr`.
void drawShape(cairo_t* cr, const Path& path, const StrokeStyle* stroke, const Color::Rgba& color,
               ShapeDrawing mode = ShapeDrawing::cached);

struct ShapeMaskCacheStats {
    size_t entries = 0;
    size_t bytes = 0; // mask pixels held
    size_t hits = 0;
    size_t misses = 0;
};
/// The calling thread's cache.
ShapeMaskCacheStats shapeMaskCacheStats();
/// Empties the calling thread's cache and sets its capacity in bytes of mask pixels.
void resetShapeMaskCache(size_t capacityBytes);
/// The default capacity of each thread's cache.
constexpr size_t kDefaultShapeMaskCacheBytes = size_t{16} << 20;

} // namespace qv::platform::ui
