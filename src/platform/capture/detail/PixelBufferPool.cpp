#include "platform/capture/detail/PixelBufferPool.hpp"

namespace qv::platform::detail {

std::shared_ptr<PixelBuffer> PixelBufferPool::get(std::size_t width, std::size_t height,
                                                  FourCharCode format) {
    std::lock_guard guard(mutex_);
    std::erase_if(buffers_, [&](const auto& b) {
        return b->width() != width || b->height() != height || b->pixelFormat() != format;
    });
    for (const auto& buffer : buffers_) {
        // Only the pool holds it: no one else can take a reference meanwhile.
        if (buffer.use_count() == 1) {
            return buffer;
        }
    }
    auto made = PixelBuffer::make(width, height, format);
    if (made && buffers_.size() < capacity_) {
        buffers_.push_back(made);
    }
    return made;
}

} // namespace qv::platform::detail
