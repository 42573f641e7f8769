#include "FramePicture.hpp"

#include <cairo.h>

namespace qv::testing {

bool FramePicture::write(const platform::window::WindowHost& host) const {
    const int w = host.frameWidth();
    const int h = host.frameHeight();
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(host.lastFrame().data())),
        CAIRO_FORMAT_ARGB32, w, h, w * 4);
    const bool ok =
        cairo_surface_write_to_png(surface, picture_.path().c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

bool FramePicture::writeCurrent(platform::window::WindowScene& scene,
                                platform::window::WindowHost& host) const {
    const int rebuilds = scene.rebuilds();
    for (int frame = 0; frame < 2; ++frame) {
        scene.invalidate();
        host.step();
    }
    return scene.rebuilds() == rebuilds + 2 && write(host);
}

} // namespace qv::testing
