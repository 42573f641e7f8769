#pragma once
// The look of the camera screen in one place: its colours, the shadow of what lies over
// the preview, and the sizes of the overlays. Lengths are points; opacities 0...1.

#include "platform/ui/drawing/Color.hpp"

namespace qv::metrics {

using platform::ui::Color;

// Colours of the screen's controls: white marks what is on or set by the user, gray what
// is off or chosen by the camera.
inline Color backgroundColor() {
    return Color::black();
}
inline Color activeColor() {
    return Color::white();
}
inline Color inActiveColor() {
    return Color::gray();
}
inline constexpr double cornerRadius = 5;
inline constexpr double stroke = 1;

// Boxes, badges and marks over the preview carry a faint black shadow.
inline Color overlayShadowColor() {
    return Color::white(0, 0.33);
}
inline constexpr double overlayShadowRadius = 3;

// Focus target: white at 60 % in a 75-point square.
inline constexpr double focusTargetSize = 75;
inline Color focusTargetColor() {
    return Color::white(1, 0.6);
}

// Grid over the preview.
inline Color gridColor() {
    return Color::white(1, 0.6);
}
inline constexpr double gridLineWidth = 1;

// Spirit level.
inline constexpr double levelLineWidth = 4;
inline constexpr double levelTolerance = 0.5; // degrees that count as level
inline constexpr double levelShadowRadius = 0.5;
inline constexpr double levelOpacity = 0.7;
inline constexpr double levelReferenceOpacity = 0.2;

// Histogram box.
inline constexpr double histogramOpacity = 0.5;
inline constexpr double histogramInset = 10;
inline constexpr double histogramOutlineWidth = 1;
inline Color histogramBorderColor() {
    return Color::white().opacity(0.3);
}

// Message box.
inline constexpr double messageOpacity = 0.7;

// Result cover.
inline constexpr double resultWaitingPadding = 50;
inline constexpr double resultPicturePadding = 10;
inline constexpr double resultCloseButtonUnits = 2.4; // the symbol's font size in layout units

// Lens position scale.
inline constexpr double lensBackgroundOpacity = 0.2;
inline constexpr double lensFontShare = 0.4; // of the scale's height
inline constexpr double lensRulerShare = 0.9;
inline constexpr double lensMajorTickTop = 0.4; // of the ruler's height, from its top
inline constexpr double lensMinorTickTop = 0.5;
inline constexpr double lensMajorTickWidth = 2;
inline constexpr double lensMinorTickWidth = 1;
inline constexpr double lensMarkerHalfWidth = 0.02; // of the scale's width
inline constexpr double lensMarkerHeight = 0.3;     // of the ruler's height

// Mode and format badges.
inline constexpr double badgeSlotWidth = 90;
inline constexpr double badgeSlotHeight = 25;
inline constexpr double badgeRowPadding = 12;
inline constexpr double badgeSpacing = 2;
inline constexpr double badgeBackgroundOpacity = 0.6;
inline constexpr double badgeCameraBackdropOpacity = 0.01; // nearly invisible, still hit

// A colour that cannot be seen but still takes a press.
inline constexpr double hitAreaOpacity = 0.01;

} // namespace qv::metrics
