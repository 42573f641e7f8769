#include "platform/ui/drawing/ClipPixels.hpp"

#include <cairo.h>
#include <cmath>

namespace qv::platform::ui {

bool clipOnWholePixels(cairo_t* cr) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    cairo_identity_matrix(cr);
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
    cairo_set_matrix(cr, &m);
    bool whole = list->status == CAIRO_STATUS_SUCCESS;
    for (int i = 0; whole && i < list->num_rectangles; ++i) {
        const cairo_rectangle_t& r = list->rectangles[i];
        whole = r.x == std::floor(r.x) && r.y == std::floor(r.y) &&
                r.width == std::floor(r.width) && r.height == std::floor(r.height);
    }
    cairo_rectangle_list_destroy(list);
    return whole;
}

} // namespace qv::platform::ui
