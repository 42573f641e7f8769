#include "platform/imaging/AutoAdjustment.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace qv::platform::imaging {

namespace {

constexpr std::size_t bins = 1024;
constexpr double clipShare = 0.001;

double luminance(const RgbaImage& image, std::size_t x, std::size_t y) {
    return 0.2126 * image.normalized(x, y, 0) + 0.7152 * image.normalized(x, y, 1) +
           0.0722 * image.normalized(x, y, 2);
}

// The luminance below which `share` of the pixels lie, and the one above
// which `share` lie, from a histogram of `bins` steps.
std::pair<double, double> luminanceBounds(const RgbaImage& image) {
    std::vector<std::size_t> histogram(bins, 0);
    for (std::size_t y = 0; y < image.height(); ++y) {
        for (std::size_t x = 0; x < image.width(); ++x) {
            const double l = std::clamp(luminance(image, x, y), 0.0, 1.0);
            ++histogram[std::min(bins - 1, saturatingCast<std::size_t>(l * (bins - 1) + 0.5))];
        }
    }
    const auto total = static_cast<double>(image.width() * image.height());
    const auto clip = saturatingCast<std::size_t>(total * clipShare);
    std::size_t low = 0;
    for (std::size_t seen = 0; low < bins - 1 && seen + histogram[low] <= clip; ++low) {
        seen += histogram[low];
    }
    std::size_t high = bins - 1;
    for (std::size_t seen = 0; high > 0 && seen + histogram[high] <= clip; --high) {
        seen += histogram[high];
    }
    return {double(low) / (bins - 1), double(high) / (bins - 1)};
}

RgbaImage stretched(const RgbaImage& image, double black, double white) {
    RgbaImage out(image.width(), image.height(), image.bitsPerChannel(), image.colorSpace);
    out.scale = image.scale;
    out.orientation = image.orientation;
    const double gain = 1.0 / (white - black);
    const double top = image.bitsPerChannel() == 8 ? 255.0 : 65535.0;
    for (std::size_t y = 0; y < image.height(); ++y) {
        for (std::size_t x = 0; x < image.width(); ++x) {
            for (std::size_t c = 0; c < 4; ++c) {
                double v = image.normalized(x, y, c);
                if (c < 3) {
                    v = std::clamp((v - black) * gain, 0.0, 1.0);
                }
                const double sample = std::round(v * top);
                if (image.bitsPerChannel() == 8) {
                    out.row8(y)[x * 4 + c] = saturatingCast<std::uint8_t>(sample);
                } else {
                    out.row16(y)[x * 4 + c] = saturatingCast<std::uint16_t>(sample);
                }
            }
        }
    }
    return out;
}

} // namespace

std::vector<ImageFilter> autoAdjustmentFilters(const RgbaImage& image) {
    if (image.empty()) {
        return {};
    }
    const auto bounds = luminanceBounds(image);
    const double black = bounds.first;
    const double white = bounds.second;
    constexpr double minimumSpan = 1.0 / 64;
    const bool spansRange = black <= 0.0 && white >= 1.0;
    if (spansRange || white - black < minimumSpan) {
        return {};
    }
    ImageFilter levels{"levels",
                       [black, white](const RgbaImage& input) -> std::optional<RgbaImage> {
                           if (input.empty()) {
                               return std::nullopt;
                           }
                           return stretched(input, black, white);
                       }};
    return {std::move(levels)};
}

} // namespace qv::platform::imaging
