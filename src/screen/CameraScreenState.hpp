#pragma once

#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/graph/State.hpp"
#include "screen/Metrics.hpp"

#include <cstdint>

namespace qv {

// The camera screen's own state: its measured size, which covers and selectors are open,
// and the bookkeeping of its gestures. It lives in the view graph, kept by the screen's
// identity; everything that outlives the screen is the controller's. Copies made while the
// screen is built (the actions' closures) refer to the same values.
struct CameraScreenState {
    template <class T>
    using State = platform::ui::State<T>;
    using Point = platform::ui::Point;

    State<double> cameraPreviewBlurRadius{0};
    State<platform::ui::Size> safeScreenSize{platform::ui::Size{}}; // measured on appearing
    // The magnifier box: where it rests, the running drag, and the shift of the magnified
    // picture inside it.
    State<Point> imageOffset{Point{}};
    State<Point> steadyMagnifierOffset{Point{}};
    State<Point> gestureMagnifierOffest{Point{}};
    // Covers and selectors.
    State<bool> isPresentedSettingView{false};
    State<bool> isShowingISOSelector{false};
    State<bool> isShowingShutterSpeedSelector{false};
    State<bool> isShowingDurationSelector{false};
    State<bool> isShowingOffsetSelector{false};
    State<bool> isShowingSequenceModeSelector{false};
    // An exposure-bias drag on the preview is under way, from this bias position.
    State<bool> dragActive{false};
    State<std::int64_t> gestureStartEvOffsetIndex{0};

    bool isShowingExposureSelector() const {
        return *isShowingISOSelector || *isShowingShutterSpeedSelector ||
               *isShowingDurationSelector || *isShowingOffsetSelector;
    }
};

} // namespace qv
