#pragma once
// Paths and shapes. A Path records drawing commands in points; a Shape makes a
// path for a given rectangle and may be trimmed to a fraction of its length.

#include "platform/ui/Geometry.hpp"

#include <functional>
#include <vector>

typedef struct _cairo cairo_t;

namespace qv::platform::ui {

class Path {
public:
    enum class Op { move, line, curve, close };
    struct Element {
        Op op;
        Point p[3]; // line/move: p[0]; curve: control 1, control 2, end
    };

    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point end, Point control1, Point control2);
    void quadCurveTo(Point end, Point control);
    /// Circular arc about `center`, from `start` to `end` radians (y down, so
    /// positive angles turn clockwise on screen); joins the current point with a line.
    void addArc(Point center, double radius, double start, double end, bool clockwise);
    void closeSubpath();
    void addRect(const Rect& r);
    void addEllipse(const Rect& r);
    void addLines(const std::vector<Point>& points);

    const std::vector<Element>& elements() const { return elements_; }
    bool empty() const { return elements_.empty(); }
    /// Control-point bounding box.
    Rect boundingRect() const;
    Path transformed(const Transform& t) const;
    /// The part of the path between fractions `from` and `to` of its length
    /// (curves are flattened first).
    Path trimmed(double from, double to) const;
    /// Replaces the current path of `cr` with this one.
    void apply(cairo_t* cr) const;

private:
    std::vector<Element> elements_;
    Point current_{}, subpathStart_{};
};

enum class RoundedCornerStyle { circular, continuous };
enum class LineCap { butt, round, square };
enum class LineJoin { miter, round, bevel };

struct StrokeStyle {
    double lineWidth = 1;
    LineCap lineCap = LineCap::butt;
    LineJoin lineJoin = LineJoin::miter;
    double miterLimit = 10;
    std::vector<double> dash{};
    double dashPhase = 0;
};

/// Sets the line width, caps, joins and dashes of `stroke` on `cr`.
void applyStroke(cairo_t* cr, const StrokeStyle& stroke);
/// Whether `point` lies inside the path (non-zero rule) or, with a stroke, on its line.
bool pathContains(const Path& path, Point point);
bool strokeContains(const Path& path, const StrokeStyle& stroke, Point point);

/// A rounded rectangle path; continuous corners blend curvature smoothly into
/// the straight edges, circular ones are quarter circles.
Path roundedRectPath(const Rect& r, double radiusX, double radiusY, RoundedCornerStyle style);

/// A shape: a function of the rectangle it fills, plus a trim range.
class Shape {
public:
    using Builder = std::function<Path(const Rect&)>;
    explicit Shape(Builder builder) : builder_(std::move(builder)) {}

    Path path(const Rect& in) const;
    Shape trim(double from, double to) const;
    /// The kept fractions of the outline (0 and 1 when untrimmed), and the same shape
    /// keeping another range (animations move the range).
    double trimFrom() const { return trimFrom_; }
    double trimTo() const { return trimTo_; }
    Shape withTrimRange(double from, double to) const {
        Shape s = *this;
        s.trimFrom_ = from;
        s.trimTo_ = to;
        return s;
    }
    /// The shape drawn inside a rectangle inset by `amount` on each edge.
    Shape inset(double amount) const;

private:
    Builder builder_;
    double trimFrom_ = 0, trimTo_ = 1;
};

} // namespace qv::platform::ui
