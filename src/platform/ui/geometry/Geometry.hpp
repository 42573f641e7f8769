#pragma once
// Points, sizes, rectangles, insets, alignment and 2D affine transforms of the
// view layer. All lengths are in points; angles are radians held as doubles.

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace qv::platform::ui {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

/// Degrees to radians and back; the view layer takes radians everywhere.
constexpr double degrees(double deg) {
    return deg * kPi / 180.0;
}
constexpr double toDegrees(double rad) {
    return rad * 180.0 / kPi;
}

struct Point {
    double x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }
    Point center() const { return {midX(), midY()}; }
    bool contains(Point p) const { return p.x >= x && p.x <= maxX() && p.y >= y && p.y <= maxY(); }
    Rect insetBy(double dx, double dy) const {
        return {x + dx, y + dy, width - 2 * dx, height - 2 * dy};
    }
    /// Smallest rectangle holding both; an empty (zero-area, origin 0) rectangle is ignored.
    Rect united(const Rect& o) const;
    /// The common part of both; zero-sized (at the nearer corner) when they do not meet.
    Rect intersected(const Rect& o) const;
    friend bool operator==(const Rect&, const Rect&) = default;
};

/// A rectangle of whole pixels of a frame buffer.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct EdgeInsets {
    double top = 0, leading = 0, bottom = 0, trailing = 0;
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

/// A set of edges, as used by padding and ignoresSafeArea.
enum class Edges : unsigned {
    none = 0,
    top = 1,
    leading = 2,
    bottom = 4,
    trailing = 8,
    horizontal = leading | trailing,
    vertical = top | bottom,
    all = 15
};
constexpr Edges operator|(Edges a, Edges b) {
    return static_cast<Edges>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool contains(Edges set, Edges e) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(e)) == static_cast<unsigned>(e);
}

enum class HorizontalAlignment { leading, center, trailing };
/// The text baselines align rows of text (horizontal stacks); frames and depth
/// stacks place a child by them as by `bottom`.
enum class VerticalAlignment { top, center, bottom, firstTextBaseline, lastTextBaseline };

struct Alignment {
    HorizontalAlignment horizontal = HorizontalAlignment::center;
    VerticalAlignment vertical = VerticalAlignment::center;

    static constexpr Alignment center() { return {}; }
    static constexpr Alignment topLeading() {
        return {HorizontalAlignment::leading, VerticalAlignment::top};
    }
    static constexpr Alignment top() {
        return {HorizontalAlignment::center, VerticalAlignment::top};
    }
    static constexpr Alignment topTrailing() {
        return {HorizontalAlignment::trailing, VerticalAlignment::top};
    }
    static constexpr Alignment leading() {
        return {HorizontalAlignment::leading, VerticalAlignment::center};
    }
    static constexpr Alignment trailing() {
        return {HorizontalAlignment::trailing, VerticalAlignment::center};
    }
    static constexpr Alignment bottomLeading() {
        return {HorizontalAlignment::leading, VerticalAlignment::bottom};
    }
    static constexpr Alignment bottom() {
        return {HorizontalAlignment::center, VerticalAlignment::bottom};
    }
    static constexpr Alignment bottomTrailing() {
        return {HorizontalAlignment::trailing, VerticalAlignment::bottom};
    }
};

/// Where a child of size `child` stands inside `container` for the alignment.
Point aligned(Size child, const Rect& container, Alignment alignment);

/// A unit point: (0,0) top-leading, (1,1) bottom-trailing; anchors of effects.
struct UnitPoint {
    double x = 0.5, y = 0.5;
    static constexpr UnitPoint center() { return {}; }
    static constexpr UnitPoint topLeading() { return {0, 0}; }
    static constexpr UnitPoint bottomTrailing() { return {1, 1}; }
};

/// The size a parent proposes: an absent dimension asks for the child's ideal size.
struct ProposedSize {
    std::optional<double> width, height;

    static ProposedSize unspecified() { return {}; }
    static ProposedSize zero() { return {0.0, 0.0}; }
    static ProposedSize infinity() { return {kInfinity, kInfinity}; }
    static ProposedSize of(Size s) { return {s.width, s.height}; }
    friend bool operator==(const ProposedSize&, const ProposedSize&) = default;
};

/// 2D affine transform mapping (x, y) to (a x + c y + tx, b x + d y + ty).
struct Transform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static Transform translation(double dx, double dy) { return {1, 0, 0, 1, dx, dy}; }
    static Transform scaling(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static Transform rotation(double radians);
    /// `inner` applied first, then this.
    Transform concat(const Transform& inner) const;
    Transform inverted() const;
    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    /// Bounding box of the transformed rectangle.
    Rect apply(const Rect& r) const;
    bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0; }
    /// Whether it maps the plane onto a line or a point (a scale of zero): drawn
    /// through it, nothing shows.
    bool isSingular() const { return a * d - b * c == 0; }
    friend bool operator==(const Transform&, const Transform&) = default;
};

/// Whether every number is finite: Cairo cannot draw through a NaN or an infinity (a
/// non-finite matrix puts its context into a lasting error, a non-finite point draws a
/// stray line).
inline bool isFinite(const Transform& t) {
    return std::isfinite(t.a) && std::isfinite(t.b) && std::isfinite(t.c) && std::isfinite(t.d) &&
           std::isfinite(t.tx) && std::isfinite(t.ty);
}
inline bool isFinite(const Rect& r) {
    return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) &&
           std::isfinite(r.height);
}

} // namespace qv::platform::ui
