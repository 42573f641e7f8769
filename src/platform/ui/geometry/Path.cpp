#include "platform/ui/geometry/Path.hpp"

#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <initializer_list>
#include <optional>

namespace qv::platform::ui {

void Path::moveTo(Point p) {
    elements_.push_back({Op::move, {p, {}, {}}});
    current_ = subpathStart_ = p;
}

void Path::lineTo(Point p) {
    if (elements_.empty()) {
        moveTo(p);
        return;
    }
    elements_.push_back({Op::line, {p, {}, {}}});
    current_ = p;
}

void Path::curveTo(Point end, Point c1, Point c2) {
    if (elements_.empty()) {
        moveTo(current_);
    }
    elements_.push_back({Op::curve, {c1, c2, end}});
    current_ = end;
}

void Path::quadCurveTo(Point end, Point c) {
    Point c1{current_.x + 2.0 / 3.0 * (c.x - current_.x),
             current_.y + 2.0 / 3.0 * (c.y - current_.y)};
    Point c2{end.x + 2.0 / 3.0 * (c.x - end.x), end.y + 2.0 / 3.0 * (c.y - end.y)};
    curveTo(end, c1, c2);
}

void Path::addArc(Point center, double radius, double start, double end, bool clockwise) {
    // Split into pieces of at most a quarter turn, each one cubic Bezier.
    double sweep = end - start;
    if (clockwise && sweep < 0) {
        sweep += 2 * kPi * std::ceil(-sweep / (2 * kPi));
    } else if (!clockwise && sweep > 0) {
        sweep -= 2 * kPi * std::ceil(sweep / (2 * kPi));
    }
    Point first{center.x + radius * std::cos(start), center.y + radius * std::sin(start)};
    if (elements_.empty()) {
        moveTo(first);
    } else {
        lineTo(first);
    }
    int pieces = std::max(1, saturatingCast<int>(std::ceil(std::abs(sweep) / (kPi / 2) - 1e-9)));
    double step = sweep / pieces;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    double a0 = start;
    for (int i = 0; i < pieces; ++i) {
        double a1 = a0 + step;
        Point p0{center.x + radius * std::cos(a0), center.y + radius * std::sin(a0)};
        Point p1{center.x + radius * std::cos(a1), center.y + radius * std::sin(a1)};
        Point c1{p0.x - k * radius * std::sin(a0), p0.y + k * radius * std::cos(a0)};
        Point c2{p1.x + k * radius * std::sin(a1), p1.y - k * radius * std::cos(a1)};
        curveTo(p1, c1, c2);
        a0 = a1;
    }
}

void Path::closeSubpath() {
    if (!elements_.empty()) {
        elements_.push_back({Op::close, {}});
        current_ = subpathStart_;
    }
}

void Path::addRect(const Rect& r) {
    moveTo({r.minX(), r.minY()});
    lineTo({r.maxX(), r.minY()});
    lineTo({r.maxX(), r.maxY()});
    lineTo({r.minX(), r.maxY()});
    closeSubpath();
}

void Path::addEllipse(const Rect& r) {
    // Four quarter arcs of a unit circle, scaled into the rectangle.
    Path unit;
    unit.moveTo({1, 0});
    unit.addArc({0, 0}, 1, 0, 2 * kPi, true);
    unit.closeSubpath();
    Transform t{r.width / 2, 0, 0, r.height / 2, r.midX(), r.midY()};
    Path placed = unit.transformed(t);
    elements_.insert(elements_.end(), placed.elements_.begin(), placed.elements_.end());
    current_ = subpathStart_ = {r.maxX(), r.midY()};
}

void Path::addLines(const std::vector<Point>& points) {
    for (size_t i = 0; i < points.size(); ++i) {
        if (i == 0) {
            moveTo(points[i]);
        } else {
            lineTo(points[i]);
        }
    }
}

Rect Path::boundingRect() const {
    if (elements_.empty()) {
        return {};
    }
    double x0 = kInfinity, y0 = kInfinity, x1 = -kInfinity, y1 = -kInfinity;
    for (const auto& e : elements_) {
        int n = e.op == Op::curve ? 3 : e.op == Op::close ? 0 : 1;
        for (int i = 0; i < n; ++i) {
            x0 = std::min(x0, e.p[i].x);
            y0 = std::min(y0, e.p[i].y);
            x1 = std::max(x1, e.p[i].x);
            y1 = std::max(y1, e.p[i].y);
        }
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

Path Path::transformed(const Transform& t) const {
    Path out = *this;
    for (auto& e : out.elements_) {
        for (auto& p : e.p) {
            p = t.apply(p);
        }
    }
    out.current_ = t.apply(current_);
    out.subpathStart_ = t.apply(subpathStart_);
    return out;
}

namespace {

Point lerp(Point a, Point b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}
double distance(Point a, Point b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

// Polylines of the path, curves flattened; closed subpaths end at their start.
std::vector<std::vector<Point>> flatten(const std::vector<Path::Element>& elements) {
    std::vector<std::vector<Point>> lines;
    Point cur{};
    for (const auto& e : elements) {
        switch (e.op) {
        case Path::Op::move:
            lines.push_back({e.p[0]});
            cur = e.p[0];
            break;
        case Path::Op::line:
            lines.back().push_back(e.p[0]);
            cur = e.p[0];
            break;
        case Path::Op::curve: {
            double len =
                distance(cur, e.p[0]) + distance(e.p[0], e.p[1]) + distance(e.p[1], e.p[2]);
            int steps = std::clamp(saturatingCast<int>(len / 2), 4, 64);
            for (int i = 1; i <= steps; ++i) {
                double t = static_cast<double>(i) / steps;
                Point a = lerp(cur, e.p[0], t), b = lerp(e.p[0], e.p[1], t),
                      c = lerp(e.p[1], e.p[2], t);
                lines.back().push_back(lerp(lerp(a, b, t), lerp(b, c, t), t));
            }
            cur = e.p[2];
            break;
        }
        case Path::Op::close:
            lines.back().push_back(lines.back().front());
            cur = lines.back().front();
            break;
        }
    }
    return lines;
}

} // namespace

Path Path::trimmed(double from, double to) const {
    from = std::clamp(from, 0.0, 1.0);
    to = std::clamp(to, 0.0, 1.0);
    if (from <= 0 && to >= 1) {
        return *this;
    }
    Path out;
    if (to <= from) {
        return out;
    }
    auto lines = flatten(elements_);
    double total = 0;
    for (const auto& l : lines) {
        for (size_t i = 1; i < l.size(); ++i) {
            total += distance(l[i - 1], l[i]);
        }
    }
    double start = from * total, end = to * total, walked = 0;
    for (const auto& l : lines) {
        bool drawing = false;
        for (size_t i = 1; i < l.size(); ++i) {
            double seg = distance(l[i - 1], l[i]);
            double s0 = walked, s1 = walked + seg;
            walked = s1;
            if (s1 < start || s0 > end || seg == 0) {
                continue;
            }
            Point a = lerp(l[i - 1], l[i], std::max(0.0, (start - s0) / seg));
            Point b = lerp(l[i - 1], l[i], std::min(1.0, (end - s0) / seg));
            if (!drawing) {
                out.moveTo(a);
                drawing = true;
            }
            out.lineTo(b);
        }
    }
    return out;
}

void Path::apply(cairo_t* cr) const {
    cairo_new_path(cr);
    for (const auto& e : elements_) {
        switch (e.op) {
        case Op::move:
            cairo_move_to(cr, e.p[0].x, e.p[0].y);
            break;
        case Op::line:
            cairo_line_to(cr, e.p[0].x, e.p[0].y);
            break;
        case Op::curve:
            cairo_curve_to(cr, e.p[0].x, e.p[0].y, e.p[1].x, e.p[1].y, e.p[2].x, e.p[2].y);
            break;
        case Op::close:
            cairo_close_path(cr);
            break;
        }
    }
}

bool Path::isFinite() const {
    const auto finite = [](Point p) { return std::isfinite(p.x) && std::isfinite(p.y); };
    for (const auto& e : elements_) {
        const int points = e.op == Op::curve ? 3 : e.op == Op::close ? 0 : 1;
        for (int i = 0; i < points; ++i) {
            if (!finite(e.p[i])) {
                return false;
            }
        }
    }
    return true;
}

bool isFinite(const StrokeStyle& s) {
    return std::isfinite(s.lineWidth) && std::isfinite(s.miterLimit) &&
           std::isfinite(s.dashPhase) &&
           std::all_of(s.dash.begin(), s.dash.end(), [](double d) { return std::isfinite(d); });
}

namespace {

// The miter tip of a join between a segment arriving along `in` and one leaving along
// `out`, in half widths: 1 / cos(theta / 2) for a turn of theta; 1 when the limit bevels it.
double miterRatio(Point in, Point out, double limit) {
    const double lengths = std::hypot(in.x, in.y) * std::hypot(out.x, out.y);
    const double cosTurn = std::clamp((in.x * out.x + in.y * out.y) / lengths, -1.0, 1.0);
    const double halfTurnCos = std::sqrt((1 + cosTurn) / 2);
    const double ratio = halfTurnCos > 0 ? 1 / halfTurnCos : kInfinity;
    return ratio <= limit ? ratio : 1;
}

// The first of the directions that is not zero; zero when all are.
Point firstDirection(std::initializer_list<Point> directions) {
    for (const Point d : directions) {
        if (d.x != 0 || d.y != 0) {
            return d;
        }
    }
    return {};
}

Point minus(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}

} // namespace

double strokeReach(const Path& path, const StrokeStyle& stroke) {
    const double half = std::abs(stroke.lineWidth) / 2;
    double ratio = stroke.lineCap == LineCap::square ? std::sqrt(2.0) : 1.0;
    if (stroke.lineJoin != LineJoin::miter) {
        return half * ratio; // round and bevelled joins stay within half the width
    }
    // Walks the segments, joining each to the one before; a closed subpath also joins its
    // last segment to its first. Zero-length segments have no direction and join nothing.
    Point current{}, start{}, incoming{}, first{};
    bool hasIncoming = false, hasFirst = false;
    const auto segment = [&](Point in, Point out) {
        if (in.x != 0 || in.y != 0) {
            if (hasIncoming) {
                ratio = std::max(ratio, miterRatio(incoming, in, stroke.miterLimit));
            } else if (!hasFirst) {
                first = in;
                hasFirst = true;
            }
        }
        if (out.x != 0 || out.y != 0) {
            incoming = out;
            hasIncoming = true;
        }
    };
    using Op = Path::Op;
    for (const auto& e : path.elements()) {
        switch (e.op) {
        case Op::move:
            current = start = e.p[0];
            hasIncoming = hasFirst = false;
            break;
        case Op::line: {
            const Point d = minus(e.p[0], current);
            segment(d, d);
            current = e.p[0];
            break;
        }
        case Op::curve: {
            const Point end = e.p[2];
            segment(firstDirection(
                        {minus(e.p[0], current), minus(e.p[1], current), minus(end, current)}),
                    firstDirection({minus(end, e.p[1]), minus(end, e.p[0]), minus(end, current)}));
            current = end;
            break;
        }
        case Op::close: {
            const Point d = minus(start, current);
            segment(d, d);
            if (hasFirst && hasIncoming) {
                ratio = std::max(ratio, miterRatio(incoming, first, stroke.miterLimit));
            }
            current = start;
            hasIncoming = hasFirst = false;
            break;
        }
        }
    }
    return half * ratio;
}

void applyStroke(cairo_t* cr, const StrokeStyle& s) {
    cairo_set_line_width(cr, s.lineWidth);
    cairo_set_line_cap(cr, s.lineCap == LineCap::butt    ? CAIRO_LINE_CAP_BUTT
                           : s.lineCap == LineCap::round ? CAIRO_LINE_CAP_ROUND
                                                         : CAIRO_LINE_CAP_SQUARE);
    cairo_set_line_join(cr, s.lineJoin == LineJoin::miter   ? CAIRO_LINE_JOIN_MITER
                            : s.lineJoin == LineJoin::round ? CAIRO_LINE_JOIN_ROUND
                                                            : CAIRO_LINE_JOIN_BEVEL);
    cairo_set_miter_limit(cr, s.miterLimit);
    cairo_set_dash(cr, s.dash.data(), static_cast<int>(s.dash.size()), s.dashPhase);
}

namespace {
// A context on a one-pixel surface, for containment tests (the surface's size does
// not limit them).
bool testPoint(const Path& path, const StrokeStyle* stroke, Point point) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    path.apply(cr);
    bool inside = false;
    if (stroke != nullptr) {
        applyStroke(cr, *stroke);
        inside = cairo_in_stroke(cr, point.x, point.y) != 0;
    } else {
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        inside = cairo_in_fill(cr, point.x, point.y) != 0;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return inside;
}
} // namespace

bool pathContains(const Path& path, Point point) {
    return testPoint(path, nullptr, point);
}

bool strokeContains(const Path& path, const StrokeStyle& stroke, Point point) {
    return testPoint(path, &stroke, point);
}

Path roundedRectPath(const Rect& r, double rx, double ry, RoundedCornerStyle style) {
    Path p;
    double half = std::min(r.width, r.height) / 2;
    rx = std::clamp(rx, 0.0, r.width / 2);
    ry = std::clamp(ry, 0.0, r.height / 2);
    if (rx <= 0 || ry <= 0) {
        p.addRect(r);
        return p;
    }
    // Continuous corners start their bend 1.528665 radii from the corner; where
    // the rectangle is too small for that they fall back to circular corners.
    constexpr double kReach = 1.52866483;
    if (style == RoundedCornerStyle::continuous && rx == ry && rx * kReach <= half) {
        double c = rx;
        // One corner in a unit frame: (0,0) is the corner, x along the edge
        // towards it, y along the next edge; mirrored into the four corners.
        struct Seg {
            Point c1, c2, end;
        };
        static const Seg kCorner[3] = {
            {{1.08849323, 0.0}, {0.86840689, 0.0}, {0.63149399, 0.07491176}},
            {{0.37282392, 0.16905806}, {0.16905806, 0.37282392}, {0.07491176, 0.63149399}},
            {{0.0, 0.86840689}, {0.0, 1.08849323}, {0.0, kReach}}};
        // Each corner maps (u, v) to a point: u measured back along the incoming
        // edge from the corner, v along the outgoing edge.
        auto corner = [&](Point at, Point inDir, Point outDir) {
            auto map = [&](Point uv) {
                return Point{at.x - inDir.x * uv.x * c + outDir.x * uv.y * c,
                             at.y - inDir.y * uv.x * c + outDir.y * uv.y * c};
            };
            p.lineTo(map({kReach, 0}));
            for (const auto& s : kCorner) {
                p.curveTo(map(s.end), map(s.c1), map(s.c2));
            }
        };
        p.moveTo({r.minX() + kReach * c, r.minY()});
        corner({r.maxX(), r.minY()}, {1, 0}, {0, 1});
        corner({r.maxX(), r.maxY()}, {0, 1}, {-1, 0});
        corner({r.minX(), r.maxY()}, {-1, 0}, {0, -1});
        corner({r.minX(), r.minY()}, {0, -1}, {1, 0});
        p.closeSubpath();
        return p;
    }
    if (style == RoundedCornerStyle::continuous && rx == ry) {
        rx = ry = std::min(rx, half);
    }
    // Circular (elliptical) corners: quarter arcs of a unit circle, scaled.
    auto arc = [&](double cx, double cy, double a0) {
        Path unit;
        unit.addArc({0, 0}, 1, a0, a0 + kPi / 2, true);
        Transform t{rx, 0, 0, ry, cx, cy};
        Path placed = unit.transformed(t);
        for (const auto& e : placed.elements()) {
            if (e.op == Path::Op::move) {
                p.lineTo(e.p[0]);
            } else {
                p.curveTo(e.p[2], e.p[0], e.p[1]);
            }
        }
    };
    p.moveTo({r.minX() + rx, r.minY()});
    arc(r.maxX() - rx, r.minY() + ry, -kPi / 2);
    arc(r.maxX() - rx, r.maxY() - ry, 0);
    arc(r.minX() + rx, r.maxY() - ry, kPi / 2);
    arc(r.minX() + rx, r.minY() + ry, kPi);
    p.closeSubpath();
    return p;
}

} // namespace qv::platform::ui
