#pragma once

#include "platform/media/PixelFormat.hpp"

#include <array>
#include <cstdint>

namespace qv {

// The colours of a Bayer format's 2x2 cell (top-left, top-right, bottom-left,
// bottom-right; 0 red, 1 green, 2 blue), as the per-colour kernels take them
// in a 4-byte parameter buffer. RGGB for a format that is not Bayer.
inline std::array<std::uint8_t, 4> bayerCell(platform::FourCharCode format) {
    std::array<std::uint8_t, 4> cell{0, 1, 1, 2};
    if (const auto pattern = platform::bayerPattern(format)) {
        for (std::size_t i = 0; i < cell.size(); ++i) {
            cell[i] = static_cast<std::uint8_t>((*pattern)[i]);
        }
    }
    return cell;
}

} // namespace qv
