#pragma once
// A fast approximation of a Gaussian blur over pixels. Internal to the view layer.

#include <cstdint>

namespace qv::platform::ui::elements {

// Blurs premultiplied ARGB pixels (or only their alpha) with three box passes
// per axis, close to a Gaussian of standard deviation `sigma` pixels.
void boxBlur(std::uint32_t* px, int w, int h, int stride, double sigma, bool alphaOnly,
             bool clampEdges);

} // namespace qv::platform::ui::elements
