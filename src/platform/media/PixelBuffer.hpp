#pragma once

#include "platform/media/PixelFormat.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qv::platform {

// One image in memory: a single plane of rows, bytesPerRow apart, in one
// pixel format. Rows are padded to 64 bytes so passes can run over them with
// wide loads. Photos, textures and encoders share a buffer, so it lives in a
// shared_ptr; the pixels start at zero.
//
// The CPU touches the pixels only between lock() and unlock(); lockCount()
// lets callers and tests check that they are balanced. Locking does not copy
// or synchronise: readers and writers on different threads order their work
// themselves (a photo's buffer is written by one queue at a time).
class PixelBuffer {
public:
    // Null when the format is unknown, a side is zero, or the size overflows.
    static std::shared_ptr<PixelBuffer> make(std::size_t width, std::size_t height,
                                             FourCharCode format);

    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    std::size_t width() const { return w; }
    std::size_t height() const { return h; }
    std::size_t bytesPerRow() const { return rowBytes; }
    std::size_t dataSize() const { return rowBytes * h; }
    FourCharCode pixelFormat() const { return format; }

    void lock(bool readOnly = false);
    void unlock(bool readOnly = false);
    int lockCount() const { return locks.load(std::memory_order_relaxed); }

    std::byte* baseAddress() { return data.get(); }
    const std::byte* baseAddress() const { return data.get(); }

    template <class T>
    T* row(std::size_t y) {
        return reinterpret_cast<T*>(data.get() + y * rowBytes);
    }
    template <class T>
    const T* row(std::size_t y) const {
        return reinterpret_cast<const T*>(data.get() + y * rowBytes);
    }

    // For logs: "<PixelBuffer 4032x3024 'qRGG' bytesPerRow 8064>".
    std::string description() const;

private:
    struct FreeAligned {
        void operator()(std::byte* p) const;
    };

    PixelBuffer(std::size_t width, std::size_t height, std::size_t bytesPerRow, FourCharCode format,
                std::unique_ptr<std::byte[], FreeAligned> data);

    std::size_t w;
    std::size_t h;
    std::size_t rowBytes;
    FourCharCode format;
    std::unique_ptr<std::byte[], FreeAligned> data;
    std::atomic<int> locks{0}; // any thread may lock; the count is only bookkeeping
};

} // namespace qv::platform
