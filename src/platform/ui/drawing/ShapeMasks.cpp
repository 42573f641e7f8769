#include "platform/ui/drawing/ShapeMasks.hpp"

#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/drawing/ClipPixels.hpp"
#include "platform/ui/drawing/RectangleFill.hpp"
#include "platform/ui/drawing/detail/LruCache.hpp"

#include <cairo.h>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace qv::platform::ui {
namespace {

using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// A coverage mask and where its top-left pixel lies relative to the whole
// pixel its key's coordinates are measured from.
struct Mask {
    SurfacePtr surface{nullptr, cairo_surface_destroy};
    int x = 0, y = 0;
    size_t bytes = 0;
};

using MaskCache = LruCache<Mask>; // cost: bytes of mask pixels

MaskCache& maskCache() {
    thread_local MaskCache cache(kDefaultShapeMaskCacheBytes);
    return cache;
}

// Larger masks are drawn directly: they rarely repeat and would crowd the cache.
constexpr double kMaxMaskPixels = 1 << 20;
// Sub-pixel positions closer than this share a mask (coverage differs by less
// than one level in 255).
constexpr double kQuantum = 1024;

void setSource(cairo_t* cr, const Color::Rgba& c) {
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

// Fills or strokes the current path of `cr`.
void paintPath(cairo_t* cr, const StrokeStyle* stroke) {
    if (stroke != nullptr) {
        applyStroke(cr, *stroke);
        cairo_stroke(cr);
    } else {
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
    }
}

void drawDirect(cairo_t* cr, const Path& path, const StrokeStyle* stroke, const Color::Rgba& c) {
    cairo_save(cr);
    path.apply(cr);
    setSource(cr, c);
    paintPath(cr, stroke);
    cairo_restore(cr);
}

Point toDevice(const cairo_matrix_t& m, Point p) {
    return {m.xx * p.x + m.xy * p.y + m.x0, m.yx * p.x + m.yy * p.y + m.y0};
}

// Whether every segment of the path runs along a device pixel axis: Cairo fills
// such paths as boxes, faster than any mask.
bool rectilinear(const Path& path, const std::vector<Point>& device) {
    Point previous{}, start{};
    size_t i = 0;
    for (const auto& e : path.elements()) {
        switch (e.op) {
        case Path::Op::move:
            previous = start = device[i++];
            break;
        case Path::Op::line: {
            Point p = device[i++];
            if (p.x != previous.x && p.y != previous.y) {
                return false;
            }
            previous = p;
            break;
        }
        case Path::Op::curve:
            return false;
        case Path::Op::close:
            if (start.x != previous.x && start.y != previous.y) {
                return false;
            }
            previous = start;
            break;
        }
    }
    return true;
}

// Whether the path is one rectangle along the device pixel axes, [x0, x1] x [y0, y1]: four
// distinct corners of those bounds joined by lines along the axes.
bool axisAlignedRectangle(const Path& path, const std::vector<Point>& device, double x0, double y0,
                          double x1, double y1) {
    const auto& e = path.elements();
    if (e.empty() || e[0].op != Path::Op::move || !rectilinear(path, device)) {
        return false;
    }
    for (size_t k = 1; k < e.size(); ++k) {
        if (e[k].op != Path::Op::line && !(e[k].op == Path::Op::close && k + 1 == e.size())) {
            return false;
        }
    }
    size_t n = device.size();
    if (n == 5 && device[4].x == device[0].x && device[4].y == device[0].y) {
        n = 4;
    }
    if (n != 4 || x0 == x1 || y0 == y1 || !std::isfinite(x0 + y0 + x1 + y1)) {
        return false;
    }
    bool seen[4] = {};
    for (size_t k = 0; k < n; ++k) {
        const bool left = device[k].x == x0, top = device[k].y == y0;
        if ((!left && device[k].x != x1) || (!top && device[k].y != y1)) {
            return false;
        }
        seen[(left ? 0 : 1) + (top ? 0 : 2)] = true;
    }
    return seen[0] && seen[1] && seen[2] && seen[3];
}

template <typename T>
void append(std::string& key, const T& v) {
    key.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// The mask of the path drawn with transform `m`, its top-left pixel at device
// pixel (`left`, `top`) of the target; empty when nothing is covered.
Mask renderMask(cairo_t* cr, const Path& path, const StrokeStyle* stroke, const cairo_matrix_t& m,
                int originX, int originY) {
    // Extents in user space, mapped to device pixels with a pixel to spare.
    double ux0, uy0, ux1, uy1;
    path.apply(cr);
    if (stroke != nullptr) {
        cairo_save(cr);
        applyStroke(cr, *stroke);
        cairo_stroke_extents(cr, &ux0, &uy0, &ux1, &uy1);
        cairo_restore(cr);
    } else {
        cairo_fill_extents(cr, &ux0, &uy0, &ux1, &uy1);
    }
    cairo_new_path(cr);
    Mask mask;
    if (ux1 <= ux0 || uy1 <= uy0) {
        return mask;
    }
    double dx0 = INFINITY, dy0 = INFINITY, dx1 = -INFINITY, dy1 = -INFINITY;
    for (Point corner : {Point{ux0, uy0}, Point{ux1, uy0}, Point{ux0, uy1}, Point{ux1, uy1}}) {
        Point d = toDevice(m, corner);
        dx0 = std::min(dx0, d.x);
        dy0 = std::min(dy0, d.y);
        dx1 = std::max(dx1, d.x);
        dy1 = std::max(dy1, d.y);
    }
    int left = saturatingCast<int>(std::floor(dx0)) - 1,
        top = saturatingCast<int>(std::floor(dy0)) - 1;
    int w = saturatingCast<int>(std::ceil(dx1)) + 1 - left,
        h = saturatingCast<int>(std::ceil(dy1)) + 1 - top;
    mask.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h));
    cairo_t* mc = cairo_create(mask.surface.get());
    cairo_matrix_t shifted = m;
    shifted.x0 -= left;
    shifted.y0 -= top;
    cairo_set_matrix(mc, &shifted);
    cairo_set_tolerance(mc, cairo_get_tolerance(cr));
    cairo_set_antialias(mc, cairo_get_antialias(cr));
    path.apply(mc);
    paintPath(mc, stroke);
    cairo_destroy(mc);
    cairo_surface_flush(mask.surface.get());
    mask.x = left - originX;
    mask.y = top - originY;
    mask.bytes = static_cast<size_t>(cairo_image_surface_get_stride(mask.surface.get())) *
                 static_cast<size_t>(h);
    return mask;
}

} // namespace

void drawShape(cairo_t* cr, const Path& path, const StrokeStyle* stroke, const Color::Rgba& color,
               ShapeDrawing mode) {
    if (path.empty()) {
        return;
    }
    if (mode == ShapeDrawing::direct) {
        drawDirect(cr, path, stroke, color);
        return;
    }
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    thread_local std::vector<Point> device;
    device.clear();
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const auto& e : path.elements()) {
        int n = e.op == Path::Op::curve ? 3 : e.op == Path::Op::close ? 0 : 1;
        for (int k = 0; k < n; ++k) {
            Point d = toDevice(m, e.p[k]);
            x0 = std::min(x0, d.x);
            y0 = std::min(y0, d.y);
            x1 = std::max(x1, d.x);
            y1 = std::max(y1, d.y);
            device.push_back(d);
        }
    }
    // A rectangle on the pixel axes is filled by whole-pixel boxes: fast, and the same
    // under any clip on whole pixels (Cairo's own fill of it is not where a clip cuts it).
    if (stroke == nullptr && cairo_get_operator(cr) == CAIRO_OPERATOR_OVER &&
        cairo_get_antialias(cr) != CAIRO_ANTIALIAS_NONE &&
        axisAlignedRectangle(path, device, x0, y0, x1, y1)) {
        fillRectangleByPixels(cr, Rect{x0, y0, x1 - x0, y1 - y0}, color);
        return;
    }
    // Beyond what the pen adds, an oversized or non-finite path is drawn directly, and so is
    // one under a clip that cuts through pixels: Cairo intersects the shape with the clip's
    // outline, which multiplying the clip's coverage with a mask does not reproduce where
    // they cross.
    if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1)) ||
        (x1 - x0 + 2) * (y1 - y0 + 2) > kMaxMaskPixels ||
        (stroke == nullptr && rectilinear(path, device)) || !clipOnWholePixels(cr)) {
        drawDirect(cr, path, stroke, color);
        return;
    }
    const double originX = std::floor(x0), originY = std::floor(y0);

    thread_local std::string key;
    key.clear();
    append(key, stroke != nullptr);
    append(key, m.xx);
    append(key, m.yx);
    append(key, m.xy);
    append(key, m.yy);
    append(key, cairo_get_tolerance(cr));
    append(key, cairo_get_antialias(cr));
    if (stroke != nullptr) {
        append(key, stroke->lineWidth);
        append(key, stroke->lineCap);
        append(key, stroke->lineJoin);
        append(key, stroke->miterLimit);
        append(key, stroke->dashPhase);
        append(key, stroke->dash.size());
        for (double d : stroke->dash) {
            append(key, d);
        }
    }
    size_t i = 0;
    for (const auto& e : path.elements()) {
        append(key, e.op);
        int n = e.op == Path::Op::curve ? 3 : e.op == Path::Op::close ? 0 : 1;
        for (int k = 0; k < n; ++k, ++i) {
            append(key, saturatingRound<std::int32_t>((device[i].x - originX) * kQuantum));
            append(key, saturatingRound<std::int32_t>((device[i].y - originY) * kQuantum));
        }
    }

    MaskCache& cache = maskCache();
    const Mask* mask = cache.find(key);
    Mask fresh;
    if (mask == nullptr) {
        fresh = renderMask(cr, path, stroke, m, saturatingCast<int>(originX),
                           saturatingCast<int>(originY));
        mask = &fresh;
    }
    if (mask->surface) {
        cairo_save(cr);
        cairo_identity_matrix(cr);
        setSource(cr, color);
        cairo_mask_surface(cr, mask->surface.get(), originX + mask->x, originY + mask->y);
        cairo_restore(cr);
    }
    if (mask == &fresh) {
        size_t bytes = fresh.bytes;
        cache.insert(key, std::move(fresh), bytes);
    }
}

ShapeMaskCacheStats shapeMaskCacheStats() {
    const MaskCache& cache = maskCache();
    return {cache.size(), cache.used(), cache.hits(), cache.misses()};
}

void resetShapeMaskCache(size_t capacityBytes) {
    maskCache().reset(capacityBytes);
}

} // namespace qv::platform::ui
