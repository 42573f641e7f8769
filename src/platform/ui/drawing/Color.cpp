#include "platform/ui/drawing/Color.hpp"

namespace qv::platform::ui {

Color Color::opacity(double opacity) const {
    Color c = *this;
    c.light_.alpha *= opacity;
    c.dark_.alpha *= opacity;
    return c;
}

Color Color::black() {
    return white(0.0);
}
Color Color::white() {
    return white(1.0);
}
Color Color::gray() {
    return white(0.5);
}
Color Color::lightGray() {
    return white(2.0 / 3.0);
}
Color Color::darkGray() {
    return white(1.0 / 3.0);
}
Color Color::clear() {
    return Color(0, 0, 0, 0);
}
// The system hues differ slightly between schemes, brighter in the dark one.
Color Color::red() {
    return dynamic({1.0, 0.231, 0.188, 1}, {1.0, 0.271, 0.227, 1});
}
Color Color::green() {
    return dynamic({0.204, 0.78, 0.349, 1}, {0.188, 0.82, 0.345, 1});
}
Color Color::blue() {
    return dynamic({0.0, 0.478, 1.0, 1}, {0.039, 0.518, 1.0, 1});
}
Color Color::yellow() {
    return dynamic({1.0, 0.8, 0.0, 1}, {1.0, 0.839, 0.039, 1});
}
Color Color::accent() {
    return blue();
}
Color Color::systemBackground() {
    return dynamic({1, 1, 1, 1}, {0, 0, 0, 1});
}
Color Color::label() {
    return dynamic({0, 0, 0, 1}, {1, 1, 1, 1});
}

std::optional<Color> ShapeStyle::color() const {
    if (const auto* c = std::get_if<Color>(&value_)) {
        return *c;
    }
    return std::nullopt;
}

std::optional<HierarchicalStyle> ShapeStyle::level() const {
    if (const auto* l = std::get_if<HierarchicalStyle>(&value_)) {
        return *l;
    }
    return std::nullopt;
}

Color ShapeStyle::resolve(const Color& foreground) const {
    if (const auto* c = std::get_if<Color>(&value_)) {
        return *c;
    }
    return std::get<HierarchicalStyle>(value_) == HierarchicalStyle::primary
               ? foreground
               : foreground.opacity(0.6);
}

} // namespace qv::platform::ui
