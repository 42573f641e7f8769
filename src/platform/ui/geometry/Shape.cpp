#include "platform/ui/geometry/Shape.hpp"

#include <algorithm>

namespace qv::platform::ui {

Path Shape::path(const Rect& in) const {
    Path p = builder_ ? builder_(in) : Path{};
    return p.trimmed(trimFrom_, trimTo_);
}

Shape Shape::trim(double from, double to) const {
    Shape s = *this;
    // Trims compose: trimming a trimmed shape takes a part of the kept part.
    double span = trimTo_ - trimFrom_;
    s.trimFrom_ = trimFrom_ + span * std::clamp(from, 0.0, 1.0);
    s.trimTo_ = trimFrom_ + span * std::clamp(to, 0.0, 1.0);
    return s;
}

Shape Shape::inset(double amount) const {
    Shape s = *this;
    Builder inner = builder_;
    s.builder_ = [inner, amount](const Rect& r) { return inner(r.insetBy(amount, amount)); };
    return s;
}

} // namespace qv::platform::ui
