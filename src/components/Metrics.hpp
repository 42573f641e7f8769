#pragma once
// The look the camera screen, the app's screens and the components share: their colours,
// the shadow of what lies over the preview, the invisible colour that still takes a press,
// and the preview's proportions. Each screen adds its own sizes in its own Metrics.hpp.
// Lengths are points; opacities 0...1.

#include "platform/ui/drawing/Color.hpp"

namespace qv::metrics {

using platform::ui::Color;

// White marks what is on, set by the user or able to act, gray what is off or chosen by the
// camera, on black.
inline Color backgroundColor() {
    return Color::black();
}
inline Color activeColor() {
    return Color::white();
}
inline Color inActiveColor() {
    return Color::gray();
}

// Boxes, badges, marks and chosen cells over the preview carry a faint black shadow.
inline Color overlayShadowColor() {
    return Color::white(0, 0.33);
}
inline constexpr double overlayShadowRadius = 3;

// A colour that cannot be seen but still takes a press.
inline constexpr double hitAreaOpacity = 0.01;

// Height over width of the camera preview.
inline constexpr double cameraAspectRatio = 4.0 / 3.0;

} // namespace qv::metrics
