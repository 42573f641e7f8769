#pragma once
// The look of the app shell's screens in one place: the access screen, the what's-new
// notice, the settings screen with its rows and pickers, and the sequence-mode selector,
// over the look they share with the camera screen (components/Metrics.hpp). Lengths are
// points.

#include "components/Metrics.hpp"
#include "platform/ui/drawing/Color.hpp"

namespace qv::appmetrics {

using platform::ui::Color;

// Access screen: white texts, symbols and button (metrics::activeColor); light gray
// explanations.
inline Color accessDisabledColor() {
    return Color::lightGray();
}
inline constexpr double accessInset = 40;      // the column, from every edge of the screen
inline constexpr double accessRowPadding = 20; // above and below each row
inline constexpr int accessExplanationLines = 3;
inline constexpr double accessButtonHeight = 50;
inline constexpr double accessButtonCornerRadius = 10;
inline constexpr double accessButtonTopPadding = 20;

// What's-new notice.
inline constexpr double whatsNewSidePadding = 30;
inline constexpr double whatsNewTextPadding = 20; // above and below the headline and the body

// Settings screen: white labels, values and steppers that can act (metrics::activeColor);
// dark gray steppers at their limit.
inline Color settingsDisabledColor() {
    return Color::darkGray();
}
inline constexpr double settingsListShare = 0.9; // of the screen's width and height
inline constexpr double settingsFontSize = 20;
inline constexpr double settingsSmallFontSize = 16; // "Lock Format Switch"
inline constexpr double toggleRowWidth = 200;
inline constexpr double toggleRowHeight = 50;
inline constexpr double toggleRowLeadingPadding = 27;
inline constexpr double sequenceRowLeadingPadding = 29;
inline constexpr double valueLineWidth = 200;
inline constexpr double valueLineHeight = 50;
inline constexpr double tallValueLineMaxHeight = 300; // "Interval Repetitions"
inline constexpr double stepperMinimumSize = 20;
inline constexpr double stepperIdealSize = 30;
inline constexpr double stepperMaximumSize = 40;
inline constexpr double pickerWidth = 200;
inline constexpr double pickerHeight = 50;
inline constexpr double formatPickerLeadingPadding = 27;
inline constexpr double linksTopPadding = 2;
inline constexpr double closeButtonScale = 0.8; // of the camera screen's icon size
inline constexpr double gridOpeningSeconds = 0.2;
inline constexpr double gridTransitionScale = 0.01;
inline constexpr int bracketLimit = 5; // EV steps of a parallel bracket: -5 ... +5

} // namespace qv::appmetrics
