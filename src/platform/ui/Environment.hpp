#pragma once
// Values inherited down the view tree: a modifier sets one for its whole
// subtree, and a view reads the value in effect where it stands.

#include "platform/ui/Color.hpp"
#include "platform/ui/Font.hpp"

#include <optional>

namespace qv::platform::ui {

enum class TextAlignment { leading, center, trailing };
enum class Axis { horizontal, vertical };

struct Environment {
    ColorScheme colorScheme = ColorScheme::light;
    /// Foreground of text, symbols and unfilled shapes; absent means the label colour.
    std::optional<Color> foreground;
    /// Level of the foreground style (a `secondary` style dims the foreground).
    HierarchicalStyle foregroundLevel = HierarchicalStyle::primary;
    Font font = Font::body();
    std::optional<int> lineLimit;
    double minimumScaleFactor = 1.0;
    TextAlignment multilineTextAlignment = TextAlignment::leading;
    bool isEnabled = true;
    /// The axis of the nearest enclosing stack: the direction a spacer grows in.
    std::optional<Axis> stackAxis;

    /// The resolved foreground colour for the current scheme.
    Color::Rgba foregroundColor() const;
};

} // namespace qv::platform::ui
