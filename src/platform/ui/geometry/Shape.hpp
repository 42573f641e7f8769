#pragma once
// A shape makes a path for the rectangle it is given and may be trimmed to a
// fraction of its outline or inset.

#include "platform/ui/geometry/Path.hpp"

#include <functional>

namespace qv::platform::ui {

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
