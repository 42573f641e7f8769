#include "platform/compute/TextureCache.hpp"

#include "platform/compute/Faults.hpp"

namespace qv::platform::compute {

std::optional<TextureCache> TextureCache::make(const Device&) {
    if (faults::on(&Faults::textureCacheFailure)) {
        return std::nullopt;
    }
    return TextureCache();
}

std::optional<Texture> TextureCache::makeTexture(const std::shared_ptr<PixelBuffer>& buffer,
                                                 TextureFormat format, std::size_t width,
                                                 std::size_t height, std::size_t plane) const {
    if (faults::on(&Faults::cacheTextureFailure) || !buffer || plane != 0 || width == 0 ||
        height == 0 || width > buffer->width() || height > buffer->height() ||
        !fitsPixelFormat(format, buffer->pixelFormat()) ||
        width * bytesPerTexel(format) > buffer->bytesPerRow()) {
        return std::nullopt;
    }
    return Texture(format, width, height, buffer->bytesPerRow(), buffer->baseAddress(), buffer);
}

void TextureCache::flush() {
    ++flushes_;
}

} // namespace qv::platform::compute
