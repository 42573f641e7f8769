#pragma once

#include "model/ActiveOverlayViews.hpp"
#include "model/Enumerations.hpp"
#include "model/GridOverlayType.hpp"
#include "model/Histogram.hpp"
#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/sensors/DeviceOrientation.hpp"
#include "platform/ui/views/View.hpp"
#include "platform/ui/views/ViewInput.hpp"
#include "screen/overlays/BadgeRowView.hpp"
#include "screen/overlays/SpiritLevelView.hpp"
#include "screen/preview/MagnifierBoxView.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace qv {

// The preview region and everything over it, bottom to top: the live picture (nearly
// transparent during a countdown or a run, so the progress stands on black), the progress
// while a run of more than one frame shoots, the badge row, the overlays the user switched
// on (the grid only while the camera is ready), the message box, the magnifier box, the
// focus target while the camera focuses on a tapped point, and the mode selector.
//
// The histogram and the message lie in boxes at the bottom of the preview, turned with the
// phone; while the ISO or shutter selector covers the bottom of the screen the histogram
// box moves up above it (in landscape, half as far and no wider than the screen's height
// less its width).
//
// Gestures on the whole region: a double tap, and a drag from 0 points whose changes and
// end are the screen's "preview drag" and "preview tap" actions.
struct PreviewStackView {
    std::shared_ptr<platform::CaptureVideoPreviewLayer> previewLayer; // none: no picture
    CameraState cameraState = CameraState::starting;
    double blurRadius = 0;       // of the live picture and the magnified one
    platform::ui::View progress; // a ProgressViewQV
    bool isSingleFrame = false;  // the run has one frame: no progress
    BadgeRowView badgeRow;
    ActiveOverlayViews activeOverlayViews;
    GridOverlayType gridOverlayType = GridOverlayType::rectangular(3, 3);
    SpiritLevelView spiritLevel; // the controller's tilts, as the level shows them
    std::optional<Histogram> histogram;
    bool isShowingMessageOverlay = false;
    std::string messageToShow;
    MagnifierBoxView magnifierBox;
    bool isAutoFocusing = false;
    platform::ui::Point focusPoint; // in the preview's points
    bool isShowingSequenceModeSelector = false;
    platform::ui::View sequenceModeSelector; // the app's picker, no wider than the screen
    platform::DeviceOrientation orientation = platform::DeviceOrientation::portrait;
    platform::ui::Size safeScreenSize;
    bool isCoveredByExposureSelector = false; // the ISO or the shutter selector is open
    std::function<void()> onDoubleTap;
    std::function<void(const platform::ui::DragValue&)> onDragChanged;
    std::function<void(const platform::ui::DragValue&)> onDragEnded;

    platform::ui::View body() const; // tagged "preview"; the boxes' places "histogram
                                     // place" and "message place"

    // How far the histogram box moves down (negative: up) to stay above the bottom
    // square of a screen of w x h: h - 7w/3 (landscape: half of it, upside down: 0) while
    // an ISO or shutter selector is open, else 0.
    static double histogramLift(platform::DeviceOrientation orientation,
                                platform::ui::Size safeScreenSize, bool covered);
};

} // namespace qv
