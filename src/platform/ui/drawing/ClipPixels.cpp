#include "platform/ui/drawing/ClipPixels.hpp"

#include <cairo.h>
#include <cmath>

namespace qv::platform::ui {
namespace {

bool whole(double v) {
    return v == std::floor(v);
}

// The current clip's rectangles in device pixels.
cairo_rectangle_list_t* deviceClipRectangles(cairo_t* cr) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    cairo_identity_matrix(cr);
    cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(cr);
    cairo_set_matrix(cr, &m);
    return list;
}

} // namespace

bool clipOnWholePixels(cairo_t* cr) {
    cairo_rectangle_list_t* list = deviceClipRectangles(cr);
    bool on = list->status == CAIRO_STATUS_SUCCESS;
    for (int i = 0; on && i < list->num_rectangles; ++i) {
        const cairo_rectangle_t& r = list->rectangles[i];
        on = whole(r.x) && whole(r.y) && whole(r.width) && whole(r.height);
    }
    cairo_rectangle_list_destroy(list);
    return on;
}

bool pathOnWholePixels(cairo_t* cr) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    cairo_identity_matrix(cr);
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_set_matrix(cr, &m);
    bool on = path->status == CAIRO_STATUS_SUCCESS;
    double startX = 0, startY = 0, x = 0, y = 0;
    for (int i = 0; on && i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t& d = path->data[i];
        switch (d.header.type) {
        case CAIRO_PATH_MOVE_TO:
            startX = x = path->data[i + 1].point.x;
            startY = y = path->data[i + 1].point.y;
            on = whole(x) && whole(y);
            break;
        case CAIRO_PATH_LINE_TO: {
            const double nx = path->data[i + 1].point.x, ny = path->data[i + 1].point.y;
            on = whole(nx) && whole(ny) && (nx == x || ny == y);
            x = nx;
            y = ny;
            break;
        }
        case CAIRO_PATH_CLOSE_PATH:
            on = startX == x || startY == y;
            x = startX;
            y = startY;
            break;
        case CAIRO_PATH_CURVE_TO:
            on = false;
            break;
        }
    }
    cairo_path_destroy(path);
    return on;
}

bool clipHolds(cairo_t* cr, const Rect& device) {
    cairo_rectangle_list_t* list = deviceClipRectangles(cr);
    bool holds = false;
    if (list->status == CAIRO_STATUS_SUCCESS) {
        for (int i = 0; !holds && i < list->num_rectangles; ++i) {
            const cairo_rectangle_t& r = list->rectangles[i];
            holds = r.x <= device.minX() && r.y <= device.minY() &&
                    r.x + r.width >= device.maxX() && r.y + r.height >= device.maxY();
        }
    }
    cairo_rectangle_list_destroy(list);
    return holds;
}

} // namespace qv::platform::ui
