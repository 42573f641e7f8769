#pragma once

#include "platform/compute/TextureFormat.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qv::platform::compute {

enum TextureUsage : std::uint32_t {
    textureUsageShaderRead = 1,
    textureUsageShaderWrite = 2,
};

// What a device texture is made from: a 2D texture of one format and size.
struct TextureDescriptor {
    static TextureDescriptor texture2D(TextureFormat format, std::size_t width, std::size_t height,
                                       bool mipmapped);

    TextureFormat pixelFormat = TextureFormat::r32Uint;
    std::size_t width = 0;
    std::size_t height = 0;
    bool mipmapped = false;
    std::uint32_t usage = textureUsageShaderRead;
};

// A 2D texture: rows of texels, bytesPerRow apart, in memory it shares with
// whoever made it (the device, or a pixel buffer viewed through a texture
// cache). Texture is a handle: copies refer to the same texels, and the memory
// lives as long as any handle does. Copying a handle never allocates.
class Texture {
public:
    // Wraps memory that `owner` keeps alive. Rows must be at least
    // width * bytesPerTexel(format) bytes long.
    Texture(TextureFormat format, std::size_t width, std::size_t height, std::size_t bytesPerRow,
            std::byte* texels, std::shared_ptr<const void> owner);

    TextureFormat pixelFormat() const { return format_; }
    std::size_t width() const { return width_; }
    std::size_t height() const { return height_; }
    std::size_t bytesPerRow() const { return bytesPerRow_; }

    // Row y as texel channels of type T (uint8_t, uint16_t, uint32_t, float).
    template <class T>
    T* row(std::size_t y) const {
        return reinterpret_cast<T*>(texels_ + y * bytesPerRow_);
    }

    // True when both handles show the same memory.
    bool sharesMemoryWith(const Texture& other) const { return texels_ == other.texels_; }

private:
    TextureFormat format_;
    std::size_t width_;
    std::size_t height_;
    std::size_t bytesPerRow_;
    std::byte* texels_;
    std::shared_ptr<const void> owner_;
};

} // namespace qv::platform::compute
