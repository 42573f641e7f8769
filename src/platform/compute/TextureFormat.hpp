#pragma once

#include "platform/media/PixelFormat.hpp"

#include <cstddef>
#include <string_view>

namespace qv::platform::compute {

// Texel formats of compute textures. Integer formats are read and written as
// unsigned integers, RGBA16Unorm as 16-bit values standing for 0...1,
// the float formats as IEEE half or single floats.
enum class TextureFormat {
    r16Uint,
    r32Uint,
    rgba8Uint,
    rgba32Uint,
    rgba16Unorm,
    rgba16Float,
    rgba32Float,
};

std::size_t channelCount(TextureFormat format);
std::size_t bytesPerTexel(TextureFormat format);
std::string_view formatName(TextureFormat format);

// Whether a texture in this format may view the memory of a pixel buffer in
// the given pixel format: same bytes per pixel and the same kind of sample
// (Bayer samples as R16Uint, 8-bit BGRA as RGBA8Uint, 64-bit RGBA as RGBA16Unorm).
bool fitsPixelFormat(TextureFormat format, FourCharCode pixelFormat);

} // namespace qv::platform::compute
