#include "screen/preview/PreviewStackView.hpp"

#include "platform/ui/views/Views.hpp"
#include "screen/Metrics.hpp"
#include "screen/overlays/CameraPreviewView.hpp"
#include "screen/overlays/FocusTargetView.hpp"
#include "screen/overlays/GridOverlayView.hpp"
#include "screen/overlays/HistogramView.hpp"
#include "screen/overlays/MessageView.hpp"
#include "screen/preview/PreviewBox.hpp"

namespace qv {

using namespace platform::ui;
using platform::DeviceOrientation;

namespace {

bool isLandscape(DeviceOrientation orientation) {
    return orientation == DeviceOrientation::landscapeLeft ||
           orientation == DeviceOrientation::landscapeRight;
}

} // namespace

double PreviewStackView::histogramLift(DeviceOrientation orientation, Size screen, bool covered) {
    if (!covered || orientation == DeviceOrientation::portraitUpsideDown) {
        return 0;
    }
    const double lift = screen.height - 7 * screen.width / 3;
    return isLandscape(orientation) ? lift * 0.5 : lift;
}

View PreviewStackView::body() const {
    const bool showsHistogram =
        activeOverlayViews.contains(ActiveOverlayViews::histogram) && histogram.has_value();
    std::optional<double> histogramWidth;
    if (isLandscape(orientation) && isCoveredByExposureSelector) {
        histogramWidth = safeScreenSize.height - safeScreenSize.width;
    }

    const bool busy = cameraState == CameraState::countdown || cameraState == CameraState::shooting;
    return ZStack({If(previewLayer != nullptr,
                      [&] {
                          return View(CameraPreviewView{previewLayer})
                              .opacity(busy ? metrics::previewBusyOpacity : 1)
                              .blur(blurRadius);
                      }),
                   If(cameraState == CameraState::shooting && !isSingleFrame,
                      [&] { return progress; }),
                   badgeRow,
                   If(activeOverlayViews.contains(ActiveOverlayViews::grid) &&
                          cameraState == CameraState::ready,
                      [&] {
                          return GridOverlayView{gridOverlayType, metrics::gridColor(),
                                                 metrics::gridLineWidth};
                      }),
                   If(activeOverlayViews.contains(ActiveOverlayViews::spiritLevel),
                      [&] { return spiritLevel; }),
                   If(showsHistogram,
                      [&] {
                          return View(PreviewBox{HistogramView{histogram}, orientation,
                                                 histogramWidth,
                                                 histogramLift(orientation, safeScreenSize,
                                                               isCoveredByExposureSelector)})
                              .testTag("histogram place");
                      }),
                   If(isShowingMessageOverlay,
                      [&] {
                          return View(PreviewBox{MessageView{messageToShow}, orientation,
                                                 std::nullopt, 0})
                              .testTag("message place");
                      }),
                   If(activeOverlayViews.contains(ActiveOverlayViews::magnifier),
                      [&] { return magnifierBox; }),
                   If(isAutoFocusing,
                      [&] {
                          return View(FocusTargetView{})
                              .foregroundColor(metrics::focusTargetColor())
                              .frame(metrics::focusTargetSize, metrics::focusTargetSize)
                              .position(focusPoint.x, focusPoint.y);
                      }),
                   If(isShowingSequenceModeSelector,
                      [&] {
                          return sequenceModeSelector.frame(
                              FrameLimits{}.withMaxWidth(safeScreenSize.width));
                      })})
        .frame(FrameLimits::infinite())
        .contentShape(Rectangle())
        .onTapGesture(2, onDoubleTap)
        .gesture(
            DragGesture(0, CoordinateSpace::local).onChanged(onDragChanged).onEnded(onDragEnded))
        .testTag("preview");
}

} // namespace qv
