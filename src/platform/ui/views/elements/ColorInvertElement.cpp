// Colour inversion: the content drawn offscreen with every colour inverted, its
// alpha kept.

#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/OffscreenEffect.hpp"

#include <cairo.h>
#include <cstddef>
#include <cstdint>

namespace qv::platform::ui::elements {
namespace {

class ColorInvertElement final : public OffscreenEffect {
public:
    ColorInvertElement(Init init, Ptr child)
        : OffscreenEffect(std::move(init), std::move(child), 0, 0, 0) {}

protected:
    // Premultiplied, the inverse of a channel c under alpha a is a - c.
    void composite(cairo_t* cr, cairo_surface_t* content, double x, double y, double, double,
                   double) const override {
        auto* data = cairo_image_surface_get_data(content);
        const int width = cairo_image_surface_get_width(content);
        const int height = cairo_image_surface_get_height(content);
        const int stride = cairo_image_surface_get_stride(content);
        for (int row = 0; row < height; ++row) {
            auto* px =
                reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
            for (int i = 0; i < width; ++i) {
                const std::uint32_t a = px[i] >> 24;
                const std::uint32_t r = a - ((px[i] >> 16) & 0xff);
                const std::uint32_t g = a - ((px[i] >> 8) & 0xff);
                const std::uint32_t b = a - (px[i] & 0xff);
                px[i] = (a << 24) | (r << 16) | (g << 8) | b;
            }
        }
        cairo_surface_mark_dirty(content);
        cairo_set_source_surface(cr, content, x, y);
        cairo_paint(cr);
    }
};

} // namespace

Ptr colorInvert(Init init, Ptr child) {
    return std::make_unique<ColorInvertElement>(std::move(init), std::move(child));
}

} // namespace qv::platform::ui::elements
