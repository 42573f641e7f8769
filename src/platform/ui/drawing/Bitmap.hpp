#pragma once
// A bitmap image for the view layer: premultiplied ARGB pixels in native byte
// order (Cairo's ARGB32), shared and never written after construction.

#include <cstdint>
#include <memory>
#include <vector>

namespace qv::platform::ui {

class Bitmap {
public:
    Bitmap() = default;
    /// From straight-alpha RGBA bytes, row after row without padding.
    static Bitmap fromRgba(int width, int height, const std::uint8_t* rgba, double scale = 1.0);

    int width() const { return width_; }
    int height() const { return height_; }
    /// Pixels per point.
    double scale() const { return scale_; }
    bool empty() const { return width_ <= 0 || height_ <= 0; }
    const std::uint32_t* pixels() const { return pixels_ ? pixels_->data() : nullptr; }

private:
    int width_ = 0, height_ = 0;
    double scale_ = 1;
    std::shared_ptr<const std::vector<std::uint32_t>> pixels_;
};

} // namespace qv::platform::ui
