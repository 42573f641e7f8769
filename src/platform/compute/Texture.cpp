#include "platform/compute/Texture.hpp"

#include <utility>

namespace qv::platform::compute {

TextureDescriptor TextureDescriptor::texture2D(TextureFormat format, std::size_t width,
                                               std::size_t height, bool mipmapped) {
    TextureDescriptor descriptor;
    descriptor.pixelFormat = format;
    descriptor.width = width;
    descriptor.height = height;
    descriptor.mipmapped = mipmapped;
    return descriptor;
}

Texture::Texture(TextureFormat format, std::size_t width, std::size_t height,
                 std::size_t bytesPerRow, std::byte* texels, std::shared_ptr<const void> owner)
    : format_(format), width_(width), height_(height), bytesPerRow_(bytesPerRow), texels_(texels),
      owner_(std::move(owner)) {}

} // namespace qv::platform::compute
