#include "platform/ui/drawing/Bitmap.hpp"

namespace qv::platform::ui {

Bitmap Bitmap::fromRgba(int width, int height, const std::uint8_t* rgba, double scale) {
    Bitmap b;
    if (width <= 0 || height <= 0 || rgba == nullptr) {
        return b;
    }
    auto px = std::make_shared<std::vector<std::uint32_t>>(static_cast<size_t>(width) *
                                                           static_cast<size_t>(height));
    for (size_t i = 0; i < px->size(); ++i) {
        const std::uint8_t* s = rgba + 4 * i;
        std::uint32_t a = s[3];
        auto pre = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        (*px)[i] = (a << 24) | (pre(s[0]) << 16) | (pre(s[1]) << 8) | pre(s[2]);
    }
    b.width_ = width;
    b.height_ = height;
    b.scale_ = scale > 0 ? scale : 1.0;
    b.pixels_ = std::move(px);
    return b;
}

} // namespace qv::platform::ui
