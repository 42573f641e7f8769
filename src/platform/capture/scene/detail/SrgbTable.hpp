#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace qv::platform::detail {

// Linear 0...1 to 8-bit sRGB, through a table of 4096 steps. The bytes are kept in 32-bit
// words, so a row's encoding loop can gather them.
struct SrgbTable {
    std::array<std::uint32_t, 4097> values{};

    SrgbTable() {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double v = double(i) / 4096.0;
            const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
            values[i] = std::uint32_t(std::lround(std::clamp(e, 0.0, 1.0) * 255));
        }
    }

    std::uint8_t operator()(float linear) const {
        const float clamped = std::clamp(linear, 0.0f, 1.0f);
        return std::uint8_t(values[std::size_t(clamped * 4096.0f + 0.5f)]);
    }

    static const SrgbTable& shared() {
        static const SrgbTable table;
        return table;
    }
};

} // namespace qv::platform::detail
