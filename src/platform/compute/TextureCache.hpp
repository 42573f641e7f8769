#pragma once

#include "platform/compute/Device.hpp"
#include "platform/compute/Texture.hpp"
#include "platform/media/PixelBuffer.hpp"

#include <cstddef>
#include <memory>
#include <optional>

namespace qv::platform::compute {

// Makes textures that view a pixel buffer's memory without copying it: a
// kernel that writes such a texture changes the buffer's pixels. The texture
// keeps the buffer alive.
class TextureCache {
public:
    // Nothing when no cache can be made (fault switch textureCacheFailure).
    static std::optional<TextureCache> make(const Device& device);

    // A texture of `format`, width x height texels, over plane `plane` of the
    // buffer, honouring its bytes per row. Nothing when the buffer is null,
    // the plane is not 0, the size exceeds the buffer, or the format does not
    // fit the buffer's pixel format (see fitsPixelFormat).
    std::optional<Texture> makeTexture(const std::shared_ptr<PixelBuffer>& buffer,
                                       TextureFormat format, std::size_t width, std::size_t height,
                                       std::size_t plane) const;

    // Lets go of textures no longer in use. Textures here own nothing beyond
    // their buffer, so this only counts the calls (tests read flushCount).
    void flush();
    int flushCount() const { return flushes_; }

private:
    TextureCache() = default;
    int flushes_ = 0;
};

} // namespace qv::platform::compute
