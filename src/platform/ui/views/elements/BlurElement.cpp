// Blur: the content drawn offscreen and blurred.

#include "platform/ui/views/elements/BoxBlur.hpp"
#include "platform/ui/views/elements/ElementKinds.hpp"
#include "platform/ui/views/elements/OffscreenEffect.hpp"

#include <cairo.h>

namespace qv::platform::ui::elements {
namespace {

class BlurElement final : public OffscreenEffect {
public:
    BlurElement(Init init, Ptr child, double radius, bool opaque)
        : OffscreenEffect(std::move(init), std::move(child), radius, 0, 0), opaque_(opaque) {}
    std::optional<double> blurRadius() const override { return radius(); }
    bool drawsLike(const Element& other) const override {
        return OffscreenEffect::drawsLike(other) &&
               static_cast<const BlurElement&>(other).opaque_ == opaque_;
    }

protected:
    void composite(cairo_t* cr, cairo_surface_t* content, double x, double y, double sigma, double,
                   double) const override {
        boxBlur(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(content)),
                cairo_image_surface_get_width(content), cairo_image_surface_get_height(content),
                cairo_image_surface_get_stride(content), sigma, false, opaque_);
        cairo_surface_mark_dirty(content);
        cairo_set_source_surface(cr, content, x, y);
        cairo_paint(cr);
    }

private:
    bool opaque_;
};

} // namespace

Ptr blur(Init init, Ptr child, double radius, bool opaque) {
    return std::make_unique<BlurElement>(std::move(init), std::move(child), radius, opaque);
}

} // namespace qv::platform::ui::elements
