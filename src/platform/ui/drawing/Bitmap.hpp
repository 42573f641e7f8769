#pragma once
// A bitmap image for the view layer: premultiplied ARGB pixels in native byte
// order (Cairo's ARGB32), shared and never written after construction.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace qv::platform::ui {

class Bitmap {
public:
    Bitmap() = default;
    /// From straight-alpha RGBA bytes, row after row without padding.
    static Bitmap fromRgba(int width, int height, const std::uint8_t* rgba, double scale = 1.0);
    /// Takes premultiplied ARGB32 pixels, `width` x `height`, rows without padding.
    static Bitmap fromArgb(int width, int height, std::vector<std::uint32_t> pixels,
                           double scale = 1.0);

    int width() const { return width_; }
    int height() const { return height_; }
    /// Pixels per point.
    double scale() const { return scale_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    const std::uint32_t* pixels() const { return storage_ ? storage_->pixels.data() : nullptr; }

    /// The picture reduced to `width` x `height` pixels, each the average of the area
    /// it covers: what to draw into that many device pixels. This bitmap itself when
    /// it is not larger on either side. The two latest reductions stay with the pixels,
    /// so a picture drawn at one size frame after frame is reduced once. Any thread.
    Bitmap reducedTo(int width, int height) const;

private:
    struct Storage {
        std::vector<std::uint32_t> pixels;
        std::mutex mutex;               // guards reductions: views draw on several threads
        std::vector<Bitmap> reductions; // most recent first
    };
    int width_ = 0, height_ = 0;
    double scale_ = 1;
    std::shared_ptr<Storage> storage_;
};

} // namespace qv::platform::ui
