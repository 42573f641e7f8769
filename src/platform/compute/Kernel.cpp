#include "platform/compute/Kernel.hpp"

namespace qv::platform::compute {

std::optional<Buffer> Buffer::withBytes(const void* bytes, std::size_t length) {
    if (length > maxLength || (length > 0 && bytes == nullptr)) {
        return std::nullopt;
    }
    Buffer buffer;
    if (length > 0) {
        std::memcpy(buffer.bytes_.data(), bytes, length);
    }
    buffer.length_ = length;
    return buffer;
}

void PassArguments::setTexture(const Texture& texture, std::size_t index) {
    if (index < maxTextureBindings) {
        textures_[index] = texture;
    }
}

void PassArguments::setBuffer(const Buffer& buffer, std::size_t offset, std::size_t index) {
    if (index < maxBufferBindings) {
        buffers_[index] = Binding{buffer, offset};
    }
}

} // namespace qv::platform::compute
