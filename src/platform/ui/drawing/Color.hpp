#pragma once
// Colours (sRGB, straight alpha), the colour scheme, and the styles that shapes
// and text are painted with.

#include <optional>
#include <variant>

namespace qv::platform::ui {

enum class ColorScheme { light, dark };

/// An sRGB colour with straight alpha. A colour may carry a second value for the
/// dark scheme; `resolved` picks the one for the scheme in effect.
class Color {
public:
    struct Rgba {
        double red = 0, green = 0, blue = 0, alpha = 1;
        friend bool operator==(const Rgba&, const Rgba&) = default;
    };

    constexpr Color() = default;
    constexpr Color(double red, double green, double blue, double opacity = 1.0)
        : light_{red, green, blue, opacity}, dark_{red, green, blue, opacity} {}
    static constexpr Color white(double white, double opacity = 1.0) {
        return Color(white, white, white, opacity);
    }
    static constexpr Color dynamic(Rgba light, Rgba dark) {
        Color c;
        c.light_ = light;
        c.dark_ = dark;
        return c;
    }

    /// The same colour with its alpha multiplied by `opacity`.
    Color opacity(double opacity) const;
    Rgba resolved(ColorScheme scheme) const { return scheme == ColorScheme::dark ? dark_ : light_; }
    friend bool operator==(const Color&, const Color&) = default;

    // The named colours of the platform.
    static Color black();
    static Color white();
    static Color gray();      // white 0.5
    static Color lightGray(); // white 2/3
    static Color darkGray();  // white 1/3
    static Color red();
    static Color green();
    static Color blue();
    static Color yellow();
    static Color clear();
    static Color accent();
    static Color systemBackground();
    /// The colour of primary text and symbols: black in light, white in dark.
    static Color label();

private:
    Rgba light_{}, dark_{};
};

/// The hierarchical levels of the current foreground style.
enum class HierarchicalStyle { primary, secondary };

/// What a shape or text is painted with: a colour, or a level of the inherited
/// foreground style (`secondary` is the foreground at reduced opacity).
class ShapeStyle {
public:
    ShapeStyle(Color color) : value_(color) {}             // NOLINT: colours convert implicitly
    ShapeStyle(HierarchicalStyle level) : value_(level) {} // NOLINT
    static ShapeStyle primary() { return HierarchicalStyle::primary; }
    static ShapeStyle secondary() { return HierarchicalStyle::secondary; }

    /// The colour of a colour style; absent for a hierarchical level.
    std::optional<Color> color() const;
    std::optional<HierarchicalStyle> level() const;
    /// The colour this style paints with, given the inherited foreground.
    Color resolve(const Color& foreground) const;

private:
    std::variant<Color, HierarchicalStyle> value_;
};

} // namespace qv::platform::ui
