#pragma once
// Paths: drawing commands in points, their stroke settings, and the tests of
// whether a point lies on what a path paints.

#include "platform/ui/geometry/Geometry.hpp"

#include <vector>

typedef struct _cairo cairo_t;

namespace qv::platform::ui {

class Path {
public:
    enum class Op { move, line, curve, close };
    struct Element {
        Op op;
        Point p[3]; // line/move: p[0]; curve: control 1, control 2, end
        friend bool operator==(const Element&, const Element&) = default;
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
    /// Whether every point of the path is finite (see isFinite in Geometry.hpp).
    bool isFinite() const;

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
    friend bool operator==(const StrokeStyle&, const StrokeStyle&) = default;
};

/// Whether the width, miter limit and dashes are finite numbers.
bool isFinite(const StrokeStyle& stroke);
/// How far a stroke of `path` reaches beyond the path's points: half the width, out to a
/// square cap's corners, and at a miter join out to its tip (a join whose tip would pass
/// the miter limit is bevelled and stays within half the width). The path's bounds grown
/// by this hold everything the stroke paints.
double strokeReach(const Path& path, const StrokeStyle& stroke);
/// Sets the line width, caps, joins and dashes of `stroke` on `cr`.
void applyStroke(cairo_t* cr, const StrokeStyle& stroke);
/// Whether `point` lies inside the path (non-zero rule) or, with a stroke, on its line.
bool pathContains(const Path& path, Point point);
bool strokeContains(const Path& path, const StrokeStyle& stroke, Point point);

/// A rounded rectangle path; continuous corners blend curvature smoothly into
/// the straight edges, circular ones are quarter circles.
Path roundedRectPath(const Rect& r, double radiusX, double radiusY, RoundedCornerStyle style);

} // namespace qv::platform::ui
