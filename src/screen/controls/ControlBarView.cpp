#include "screen/controls/ControlBarView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/controls/FocusStepperView.hpp"
#include "screen/controls/IconButton.hpp"
#include "screen/controls/OutlinedLabel.hpp"
#include "screen/overlays/LensPositionView.hpp"

namespace qv {

using namespace platform::ui;

namespace {

Color shown(bool isOn) {
    return isOn ? metrics::activeColor() : metrics::inActiveColor();
}

View tappable(View button, std::function<void()> action) {
    return ZStack({std::move(button)}).onTapGesture(std::move(action));
}

} // namespace

std::string ControlBarView::focusModeText(platform::FocusMode mode) {
    switch (mode) {
    case platform::FocusMode::locked:
        return "MF";
    case platform::FocusMode::autoFocus:
        return "AF";
    case platform::FocusMode::continuousAutoFocus:
        return "AFc";
    }
    return "";
}

View ControlBarView::body() const {
    const double u = unitSize;
    const bool magnifierOn = activeOverlayViews.contains(ActiveOverlayViews::magnifier);
    const auto icon = [&](Image image, ActiveOverlayViews overlay) {
        return IconButton{std::move(image), shown(activeOverlayViews.contains(overlay)),
                          Font::title(), rotation, u};
    };

    std::vector<View> children{
        tappable(OutlinedLabel{focusModeText(focusMode), isAutoFocusSupported,
                               metrics::inActiveColor(), rotation, u},
                 onFocusBadge)
            .padding(Edges::leading, u)
            .testTag("focus badge"),
        Spacer()};
    if (!magnifierOn) {
        children.push_back(
            tappable(icon(Image::system("level"), ActiveOverlayViews::spiritLevel), onLevel)
                .testTag("level button"));
        children.push_back(Spacer());
        if (cameraCount > 1) {
            children.push_back(tappable(OutlinedLabel{zoomFactorLabel, true,
                                                      metrics::inActiveColor(), rotation, u},
                                        onLensBadge)
                                   .testTag("lens badge"));
            children.push_back(Spacer());
        }
        children.push_back(
            tappable(icon(Image::named("histogram"), ActiveOverlayViews::histogram), onHistogram)
                .testTag("histogram button"));
    } else if (isAutoFocusSupported) {
        if (sequenceMode == SequenceMode::starTrails) {
            children.push_back(
                HStack({FocusStepperView{lensPosition, isAdjustingFocus, rotation, u, onFocusStep}},
                       VerticalAlignment::center, 0)
                    .testTag("focus stepper"));
        } else {
            children.push_back(
                View(LensPositionView{.lensPosition = lensPosition,
                                      .sequenceMode = sequenceMode,
                                      .setLensPosition = onLensPosition,
                                      .majorDividers = metrics::lensScaleMajorDividers,
                                      .minorDividers = metrics::lensScaleMinorDividers})
                    .frame(width - metrics::lensScaleWidthInsetUnits * u,
                           metrics::lensScaleHeightUnits * u)
                    .testTag("lens scale place"));
        }
    }
    children.push_back(Spacer());
    children.push_back(
        tappable(icon(Image::system("plus.magnifyingglass"), ActiveOverlayViews::magnifier),
                 onMagnifier)
            .padding(Edges::trailing, u)
            .testTag("magnifier button"));

    return ZStack(
               {View(metrics::backgroundColor()),
                HStack(std::move(children), VerticalAlignment::center, 0).testTag("control bar")})
        .frame(width, metrics::controlRowHeightUnits * u)
        .fixedSize();
}

} // namespace qv
