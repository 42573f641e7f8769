#pragma once

// The splat loop, a template over the mosaic's colour lookup (included by LightSplat.hpp).

#include <algorithm>
#include <cmath>
#include <numbers>

namespace qv::platform::detail {

inline double LightSplat::top() const {
    return std::min(from.y, to.y) - 3 * sigma;
}

inline double LightSplat::bottom() const {
    return std::max(from.y, to.y) + 3 * sigma;
}

template <class ColorAt>
void addSplat(const LightSplat& splat, float* signal, std::size_t width, std::size_t firstRow,
              std::size_t rows, int channels, ColorAt colorAt) {
    const double reach = 3 * splat.sigma;
    const double x0 = std::min(splat.from.x, splat.to.x) - reach;
    const double x1 = std::max(splat.from.x, splat.to.x) + reach;
    const double y0 = std::max(splat.top(), double(firstRow));
    const double y1 = std::min(splat.bottom(), double(firstRow + rows) - 1);
    if (x1 < 0 || x0 > double(width) - 1 || y1 < y0) {
        return;
    }
    const auto columnFrom = std::size_t(std::max(0.0, std::floor(x0)));
    const auto columnTo = std::size_t(std::min(double(width) - 1, std::ceil(x1)));
    const auto rowFrom = std::size_t(std::ceil(y0));
    const auto rowTo = std::size_t(std::floor(y1));

    const double dx = splat.to.x - splat.from.x;
    const double dy = splat.to.y - splat.from.y;
    const double length = std::sqrt(dx * dx + dy * dy);
    const double s = splat.sigma;
    const double inv2s2 = 1.0 / (2 * s * s);
    const bool moving = length > 0.25 * s;
    const double ux = moving ? dx / length : 0;
    const double uy = moving ? dy / length : 0;
    // A still point: the 2D Gaussian. A path: the Gaussian across it times the share of the
    // path's Gaussian along it that reaches this pixel, spread over its length.
    const double pointNorm = 1.0 / (2 * std::numbers::pi * s * s);
    const double lineNorm = 1.0 / (std::sqrt(2 * std::numbers::pi) * s * std::max(length, 1e-9));
    const double erfScale = 1.0 / (std::sqrt(2.0) * s);

    for (std::size_t y = rowFrom; y <= rowTo; ++y) {
        float* row = signal + (y - firstRow) * width * std::size_t(channels);
        const double py = double(y) + 0.5 - splat.from.y;
        for (std::size_t x = columnFrom; x <= columnTo; ++x) {
            const double px = double(x) + 0.5 - splat.from.x;
            double weight = 0;
            if (moving) {
                const double along = px * ux + py * uy;
                const double across = px * uy - py * ux;
                const double share =
                    0.5 * (std::erf(along * erfScale) - std::erf((along - length) * erfScale));
                weight = lineNorm * share * std::exp(-across * across * inv2s2);
            } else {
                weight = pointNorm * std::exp(-(px * px + py * py) * inv2s2);
            }
            if (weight < 1e-7) {
                continue;
            }
            if (channels == 3) {
                row[x] += float(weight) * splat.flux[0];
                row[width + x] += float(weight) * splat.flux[1];
                row[2 * width + x] += float(weight) * splat.flux[2];
            } else {
                row[x] += float(weight) * splat.flux[std::size_t(colorAt(x, y))];
            }
        }
    }
}

} // namespace qv::platform::detail
