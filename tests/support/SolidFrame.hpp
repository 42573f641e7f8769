#pragma once
// A live frame of one colour, as a camera hands its preview layer one ('BGRA', landscape).

#include "platform/media/PixelBuffer.hpp"
#include "platform/media/PixelFormat.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace qv::testing {

inline std::shared_ptr<platform::PixelBuffer> solidFrame(std::size_t width, std::size_t height,
                                                         std::uint32_t colour) {
    auto frame = platform::PixelBuffer::make(width, height, platform::pixelformat::bgra32);
    for (std::size_t y = 0; y < height; ++y) {
        std::fill_n(frame->row<std::uint32_t>(y), width, colour);
    }
    return frame;
}

} // namespace qv::testing
