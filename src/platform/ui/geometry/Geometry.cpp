#include "platform/ui/geometry/Geometry.hpp"

namespace qv::platform::ui {

Rect Rect::united(const Rect& o) const {
    auto empty = [](const Rect& r) {
        return r.width <= 0 && r.height <= 0 && r.x == 0 && r.y == 0;
    };
    if (empty(o)) {
        return *this;
    }
    if (empty(*this)) {
        return o;
    }
    double x0 = std::min(x, o.x), y0 = std::min(y, o.y);
    double x1 = std::max(maxX(), o.maxX()), y1 = std::max(maxY(), o.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::intersected(const Rect& o) const {
    const double x0 = std::max(x, o.x), y0 = std::max(y, o.y);
    const double x1 = std::max(x0, std::min(maxX(), o.maxX()));
    const double y1 = std::max(y0, std::min(maxY(), o.maxY()));
    return {x0, y0, x1 - x0, y1 - y0};
}

Point aligned(Size child, const Rect& container, Alignment alignment) {
    double x = container.x, y = container.y;
    switch (alignment.horizontal) {
    case HorizontalAlignment::leading:
        break;
    case HorizontalAlignment::center:
        x += (container.width - child.width) / 2;
        break;
    case HorizontalAlignment::trailing:
        x += container.width - child.width;
        break;
    }
    switch (alignment.vertical) {
    case VerticalAlignment::top:
        break;
    case VerticalAlignment::center:
        y += (container.height - child.height) / 2;
        break;
    case VerticalAlignment::bottom:
    case VerticalAlignment::firstTextBaseline:
    case VerticalAlignment::lastTextBaseline:
        y += container.height - child.height;
        break;
    }
    return {x, y};
}

Transform Transform::rotation(double radians) {
    double s = std::sin(radians), c = std::cos(radians);
    return {c, s, -s, c, 0, 0};
}

Transform Transform::concat(const Transform& m) const {
    return {a * m.a + c * m.b, b * m.a + d * m.b,        a * m.c + c * m.d,
            b * m.c + d * m.d, a * m.tx + c * m.ty + tx, b * m.tx + d * m.ty + ty};
}

Transform Transform::inverted() const {
    double det = a * d - b * c;
    if (det == 0) {
        return {};
    }
    double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    return {ia, ib, ic, id, -(ia * tx + ic * ty), -(ib * tx + id * ty)};
}

Rect Transform::apply(const Rect& r) const {
    Point p[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                  apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const auto& q : p) {
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace qv::platform::ui
