#include "platform/ui/views/Environment.hpp"

namespace qv::platform::ui {

Color::Rgba Environment::foregroundColor() const {
    Color base = foreground.value_or(Color::label());
    return ShapeStyle(foregroundLevel).resolve(base).resolved(colorScheme);
}

} // namespace qv::platform::ui
