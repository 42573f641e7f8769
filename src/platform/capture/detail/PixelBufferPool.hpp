#pragma once

#include "platform/media/PixelBuffer.hpp"

#include <memory>
#include <mutex>
#include <vector>

namespace qv::platform::detail {

// Reuses the memory of live frames: a buffer comes back once no one else holds it. Keeps
// at most `capacity` buffers; a size or format change drops the old ones. Safe from any
// thread.
class PixelBufferPool {
public:
    explicit PixelBufferPool(std::size_t capacity = 4) : capacity_(capacity) {}

    // A buffer of that size and format (contents undefined), null when none can be made.
    std::shared_ptr<PixelBuffer> get(std::size_t width, std::size_t height, FourCharCode format);

private:
    std::mutex mutex_; // guards buffers_
    std::vector<std::shared_ptr<PixelBuffer>> buffers_;
    std::size_t capacity_;
};

} // namespace qv::platform::detail
