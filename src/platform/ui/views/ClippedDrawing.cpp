// Drawing under a clip, in a part of a frame as in the whole frame.

#include "platform/ui/drawing/ClipPixels.hpp"
#include "platform/ui/views/Element.hpp"

#include <cairo.h>
#include <cmath>

namespace qv::platform::ui {

void RenderContext::drawClipped(const std::function<void(cairo_t*)>& addPath,
                                const std::function<void(const RenderContext&)>& content) const {
    cairo_save(cr);
    addPath(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    RenderContext inner = clippedToPath();
    cairo_clip(cr);
    // The whole frame, and a part whose clip lies on whole pixels, draw in place: the
    // part's rectangles cut nothing Cairo would anti-alias.
    if (!partialClip || clipOnWholePixels(cr)) {
        content(inner);
        cairo_restore(cr);
        return;
    }
    cairo_restore(cr);
    const Rect window = *inner.partialClip; // the clip's extents, in whole device pixels
    if (window.width <= 0 || window.height <= 0) {
        return;
    }
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(window.width), int(window.height));
    // The copy lies where the window lies in the device space of `cr`, so the clip and the
    // shapes are rasterized at the same pixel positions as in the whole frame.
    cairo_surface_set_device_offset(surface, -window.x, -window.y);
    cairo_t* off = cairo_create(surface);
    // Pixels outside the part are copied back nowhere; inside it they start as the part
    // drawn so far, so what is drawn over them blends as it does in the whole frame.
    cairo_set_source_surface(off, cairo_get_group_target(cr), 0, 0);
    cairo_set_operator(off, CAIRO_OPERATOR_SOURCE);
    cairo_paint(off);
    cairo_set_operator(off, CAIRO_OPERATOR_OVER);
    cairo_set_tolerance(off, cairo_get_tolerance(cr));
    cairo_set_antialias(off, cairo_get_antialias(cr));
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    cairo_set_matrix(off, &ctm);
    addPath(off);
    cairo_set_fill_rule(off, CAIRO_FILL_RULE_WINDING);
    cairo_clip(off);
    inner.cr = off;
    // Under this clip alone the content is drawn as the whole frame draws it.
    inner.partialClip.reset();
    content(inner);
    cairo_destroy(off);
    cairo_surface_flush(surface);
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_rectangle(cr, window.x, window.y, window.width, window.height);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

} // namespace qv::platform::ui
