#include "platform/ui/views/elements/BoxBlur.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace qv::platform::ui::elements {

// Blurs premultiplied ARGB pixels (or only their alpha) with three box passes
// per axis, close to a Gaussian of standard deviation `sigma` pixels.
void boxBlur(std::uint32_t* px, int w, int h, int stride, double sigma, bool alphaOnly,
             bool clampEdges) {
    if (sigma <= 0 || w <= 0 || h <= 0) {
        return;
    }
    int radius =
        std::max(1, saturatingRound<int>(std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0) / 2.0));
    std::vector<std::uint32_t> line(static_cast<size_t>(std::max(w, h)));
    auto pass = [&](std::uint32_t* start, int count, int step) {
        for (int i = 0; i < count; ++i) {
            line[static_cast<size_t>(i)] = start[static_cast<std::ptrdiff_t>(i) * step];
        }
        int channels = alphaOnly ? 1 : 4;
        for (int ch = 0; ch < channels; ++ch) {
            int shift = 24 - 8 * ch;
            auto at = [&](int i) -> int {
                if (i < 0 || i >= count) {
                    if (!clampEdges) {
                        return 0;
                    }
                    i = std::clamp(i, 0, count - 1);
                }
                return static_cast<int>((line[static_cast<size_t>(i)] >> shift) & 0xff);
            };
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) {
                sum += at(i);
            }
            int window = 2 * radius + 1;
            for (int i = 0; i < count; ++i) {
                std::uint32_t& out = start[static_cast<std::ptrdiff_t>(i) * step];
                auto v = static_cast<std::uint32_t>((sum + window / 2) / window);
                out = (out & ~(0xffu << shift)) | (v << shift);
                sum += at(i + radius + 1) - at(i - radius);
            }
        }
    };
    int rowStep = stride / 4;
    for (int round = 0; round < 3; ++round) {
        for (int y = 0; y < h; ++y) {
            pass(px + static_cast<std::ptrdiff_t>(y) * rowStep, w, 1);
        }
        for (int x = 0; x < w; ++x) {
            pass(px + x, h, rowStep);
        }
    }
}

} // namespace qv::platform::ui::elements
