#pragma once
// The look of the camera screen in one place: the sizes of its regions, controls and
// overlays, over the look it shares with the app's screens (components/Metrics.hpp).
// Lengths are points; opacities 0...1.

#include "components/Metrics.hpp"
#include "platform/ui/drawing/Color.hpp"

namespace qv::metrics {

using platform::ui::Color;

// Outlines of the screen's controls.
inline constexpr double cornerRadius = 5;
inline constexpr double stroke = 1;

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

// The camera screen's frame: the preview is as wide as the safe area and cameraAspectRatio
// times as high; the layout unit is the smaller of a 31st of the width and a 16th of the
// height under it.
inline constexpr double unitsAcross = 31;
inline constexpr double unitsBelowPreview = 16;
inline constexpr double inactivityBlurRadius = 75;    // the preview while in the background
inline constexpr double unblurDelaySeconds = 1;       // back from the background
inline constexpr double previewBusyOpacity = 0.01;    // countdown and shooting: the progress
                                                      // shows on black, the picture still hit
inline constexpr double lowerRegionVeilOpacity = 0.8; // while the mode selector is open

// Exposure panel (lengths in layout units where named so).
inline constexpr double panelHeightUnits = 4;
inline constexpr double panelTopInset = 5;
inline constexpr double panelSpacing = 2;

// Control bar and shutter row, in layout units.
inline constexpr double controlRowHeightUnits = 4;
inline constexpr double buttonBackgroundUnits = 4;
inline constexpr double outlinedLabelUnits = 3;
inline constexpr double settingsIconUnits = 3;         // the settings screen's close button
inline constexpr double outlinedLabelFontShare = 0.5;  // of outlinedLabelUnits
inline constexpr double focusStepFontShare = 0.8;      // of outlinedLabelUnits
inline constexpr double lensReadoutFontShare = 0.45;   // of outlinedLabelUnits
inline constexpr double lensScaleWidthInsetUnits = 12; // the scale is the width less this
inline constexpr double lensScaleHeightUnits = 3;
inline constexpr int lensScaleMajorDividers = 10;
inline constexpr int lensScaleMinorDividers = 3;
inline constexpr double gridIconHeightUnits = 3;
inline constexpr double shutterRowMinimumUnits = 6;
inline constexpr double shutterRowIdealUnits = 11;
inline constexpr double thumbnailLargestUnits = 8;
inline constexpr double thumbnailPaddingUnits = 0.5;
inline constexpr double thumbnailCornerRadius = 2 * cornerRadius;
inline Color adjustingFocusColor() {
    return Color::yellow();
}

// Shutter release button: a ring over 80 % of the shorter side, the disc 85 % of it.
inline constexpr double shutterMinimumSize = 20;
inline constexpr double shutterIdealSize = 70;
inline constexpr double shutterLargestSize = 100;
inline constexpr double shutterRingShare = 0.8;
inline constexpr double shutterDiscShare = 0.85;
inline constexpr double shutterRingWidth = 4;
inline constexpr double shutterFontShare = 1.2;        // of the disc's radius
inline constexpr double shutterDigitSquareShare = 1.6; // of the disc's radius
inline constexpr double shutterDigitPadding = 10;
inline constexpr double shutterDigitMinimumScale = 0.5;
inline constexpr double shutterStopCornerRadius = 5;
inline Color shutterReadyColor() { // ready, countdown, shooting
    return Color::lightGray();
}
inline Color shutterBusyColor() { // every other state
    return Color::darkGray();
}

// Progress while shooting; the button and the progress copy the controller's time on
// this tick.
inline constexpr double progressTickSeconds = 0.2;
inline constexpr double progressTimeFontSize = 40;
inline constexpr double progressSeriesFontSize = 20;

// Boxes at the bottom of the preview (histogram, message): 85 % of its width and a quarter
// of it high, raised by 15 % of the width in landscape.
inline constexpr double previewBoxWidthShare = 0.85;
inline constexpr double previewBoxHeightShare = 0.25;
inline constexpr double previewBoxLandscapeRaise = 0.15;

// Magnifier box.
inline constexpr double magnifierBoxSize = 130;
inline constexpr double magnifierCornerRadius = 20;
inline constexpr double magnifierOutlineWidth = 2;
inline constexpr double magnifierOutlineOpacity = 0.5;
inline constexpr double magnifierTravel = 0.4; // of the preview's width and height
inline constexpr double magnifierDragMinimum = 5;

// Gestures on the preview: 80 points of drag are one stop of exposure bias; a drag
// within 1 point on either axis changes no bias, and within 1 point on both it is a tap.
inline constexpr double pointsPerStop = 80;
inline constexpr double dragSlop = 1;

// Selectors: three columns, one for the lists of durations.
inline constexpr int selectorColumns = 3;
inline constexpr int durationSelectorColumns = 1;

} // namespace qv::metrics
