// Drawing under a clip, in a part of a frame as in the whole frame.

#include "platform/ui/drawing/ClipPixels.hpp"
#include "platform/ui/views/Element.hpp"

#include <cairo.h>

namespace qv::platform::ui {

void RenderContext::drawClipped(const std::function<void(cairo_t*)>& addPath,
                                const std::function<void(const RenderContext&)>& content) const {
    cairo_save(cr);
    addPath(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    RenderContext inner = clippedToPath();
    // Cairo cuts the outlines it fills at the boxes of its clip, and an edge that then
    // starts or ends inside a pixel row changes how it samples the coverage of that whole
    // row. Under a clip that cuts through pixels shapes are filled directly (not through
    // masks), so a part's rectangles cutting the clip's extents would move anti-aliased
    // edges there. The whole frame and a clip on whole pixels draw in place; a part that
    // holds the clip's extents draws in place everything under it, as the whole frame.
    const bool onPixels = !partialClip || pathOnWholePixels(cr);
    const bool held = !onPixels && clipHolds(cr, *inner.partialClip);
    if (onPixels || held) {
        if (held) {
            inner.partialClip.reset();
        }
        cairo_clip(cr);
        content(inner);
        cairo_restore(cr);
        return;
    }
    cairo_new_path(cr);
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
    // While a part is drawn, the clip of `cr` here lies on whole pixels (content under a
    // clip that cuts through them is drawn whole), so the copy lands on the part unchanged.
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
