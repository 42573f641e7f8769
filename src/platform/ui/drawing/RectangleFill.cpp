#include "platform/ui/drawing/RectangleFill.hpp"

#include <cairo.h>
#include <cmath>

namespace qv::platform::ui {
namespace {

// A run of whole pixels along one axis and the share of each pixel the rectangle covers.
struct Span {
    double start = 0, end = 0, cover = 0;
};

// The runs of pixels [low, high) covers along one axis: a partly covered pixel at each end
// and the whole pixels between; one pixel when both ends fall inside it.
int spans(double low, double high, Span (&out)[3]) {
    const double first = std::floor(low), last = std::floor(high);
    if (first == last) {
        out[0] = {first, first + 1, high - low};
        return high > low ? 1 : 0;
    }
    int n = 0;
    double inner = first;
    if (low > first) {
        out[n++] = {first, first + 1, first + 1 - low};
        inner = first + 1;
    }
    if (last > inner) {
        out[n++] = {inner, last, 1};
    }
    if (high > last) {
        out[n++] = {last, last + 1, high - last};
    }
    return n;
}

} // namespace

void fillRectangleByPixels(cairo_t* cr, const Rect& device, const Color::Rgba& color) {
    Span columns[3], rows[3];
    const int across = spans(device.minX(), device.maxX(), columns);
    const int down = spans(device.minY(), device.maxY(), rows);
    cairo_save(cr);
    cairo_identity_matrix(cr);
    for (int r = 0; r < down; ++r) {
        for (int c = 0; c < across; ++c) {
            const Span& x = columns[c];
            const Span& y = rows[r];
            cairo_rectangle(cr, x.start, y.start, x.end - x.start, y.end - y.start);
            cairo_set_source_rgba(cr, color.red, color.green, color.blue,
                                  color.alpha * x.cover * y.cover);
            cairo_fill(cr);
        }
    }
    cairo_restore(cr);
}

} // namespace qv::platform::ui
