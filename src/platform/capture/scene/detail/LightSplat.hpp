#pragma once

#include "platform/capture/scene/detail/ViewGeometry.hpp"

#include <array>

namespace qv::platform::detail {

// A point of light as the sensor records it over an exposure: it moves from `from` to `to`
// (the same point for a still light), blurred by a Gaussian of `sigma` pixels, and leaves
// `flux` in all (red, green, blue signal summed over the pixels it covers).
struct LightSplat {
    FramePoint from;
    FramePoint to;
    double sigma = 0.8;
    std::array<float, 3> flux{};

    // The rows it reaches (inclusive), three sigmas beyond its path.
    double top() const;
    double bottom() const;
};

// Adds the splat's light to rows [firstRow, firstRow + rows) of a signal buffer of `width`
// pixels a row: with 3 channels a row holds a plane of red, then of green, then of blue; with
// 1 it holds the colour of each photosite, given by colorAt(x, y).
template <class ColorAt>
void addSplat(const LightSplat& splat, float* signal, std::size_t width, std::size_t firstRow,
              std::size_t rows, int channels, ColorAt colorAt);

} // namespace qv::platform::detail

#include "platform/capture/scene/detail/LightSplatImpl.hpp"
