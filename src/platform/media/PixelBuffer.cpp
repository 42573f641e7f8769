#include "platform/media/PixelBuffer.hpp"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace qv::platform {

namespace {
constexpr std::size_t rowAlignment = 64;
} // namespace

void PixelBuffer::FreeAligned::operator()(std::byte* p) const {
    std::free(p);
}

std::shared_ptr<PixelBuffer> PixelBuffer::make(std::size_t width, std::size_t height,
                                               FourCharCode format) {
    const std::size_t pixelBytes = bytesPerPixel(format);
    constexpr std::size_t maxSide = std::size_t{1} << 20;
    if (pixelBytes == 0 || width == 0 || height == 0 || width > maxSide || height > maxSide) {
        return nullptr;
    }
    const std::size_t rowBytes =
        (width * pixelBytes + rowAlignment - 1) / rowAlignment * rowAlignment;
    if (height > std::numeric_limits<std::size_t>::max() / rowBytes) {
        return nullptr;
    }
    auto* memory = static_cast<std::byte*>(std::aligned_alloc(rowAlignment, rowBytes * height));
    if (!memory) {
        return nullptr;
    }
    std::memset(memory, 0, rowBytes * height);
    return std::shared_ptr<PixelBuffer>(new PixelBuffer(
        width, height, rowBytes, format, std::unique_ptr<std::byte[], FreeAligned>(memory)));
}

PixelBuffer::PixelBuffer(std::size_t width, std::size_t height, std::size_t bytesPerRow,
                         FourCharCode pixelFormat, std::unique_ptr<std::byte[], FreeAligned> memory)
    : w(width), h(height), rowBytes(bytesPerRow), format(pixelFormat), data(std::move(memory)) {}

void PixelBuffer::lock(bool) {
    locks.fetch_add(1, std::memory_order_relaxed);
}

void PixelBuffer::unlock(bool) {
    locks.fetch_sub(1, std::memory_order_relaxed);
}

std::string PixelBuffer::description() const {
    return "<PixelBuffer " + std::to_string(w) + "x" + std::to_string(h) + " '" +
           fourCharCodeText(format) + "' bytesPerRow " + std::to_string(rowBytes) + ">";
}

} // namespace qv::platform
