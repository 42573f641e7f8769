#include "screen/CameraScreenActions.hpp"

#include "camera/CameraManager.hpp"
#include "model/AppVersion.hpp"
#include "model/PhotoFormatting.hpp"
#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/state/Transaction.hpp"
#include "screen/preview/MagnifierBoxView.hpp"

#include <algorithm>
#include <cmath>

namespace qv {

using platform::DeviceOrientation;
using platform::withAnimation;
using platform::ui::DragValue;
using platform::ui::Point;
using platform::ui::ScenePhase;
using platform::ui::Size;

namespace {

// Both components of the drag are within the slop: the drag was a tap.
bool isTap(Size translation) {
    return std::abs(translation.width) <= metrics::dragSlop &&
           std::abs(translation.height) <= metrics::dragSlop;
}

std::size_t biasCount(const CameraManager& camera) {
    const auto& limits = camera.currentsExposureLimits.get();
    return QVPhotoMath::exposureBiasValues(limits.minExposureTargetBias(),
                                           limits.maxExposureTargetBias())
        .size();
}

} // namespace

CameraScreenActions::CameraScreenActions(CameraManager& owner, CameraScreenState screenState,
                                         ScreenLayout screenLayout, double pixelsPerPoint)
    : camera(owner), state(std::move(screenState)), layout(screenLayout),
      displayScale(pixelsPerPoint) {}

bool CameraScreenActions::isBusy() const {
    return camera.isShootingWithTimeLeft();
}

void CameraScreenActions::ifNotBusy(const std::function<void()>& action) const {
    if (!isBusy()) {
        action();
    }
}

void CameraScreenActions::ifNotBusyAnimated(const std::function<void()>& action) const {
    if (!isBusy()) {
        withAnimation(action);
    }
}

void CameraScreenActions::toggle(const platform::ui::State<bool>& flag) const {
    withAnimation([&] { flag.set(!*flag); });
}

void CameraScreenActions::gridTap() const {
    ifNotBusyAnimated([this] { camera.toggleGrid(); });
}

void CameraScreenActions::gridLongPress() const {
    ifNotBusy([this] { camera.cycleGridOverlay(); });
}

void CameraScreenActions::gear() const {
    ifNotBusy([this] { state.isPresentedSettingView.set(true); });
}

void CameraScreenActions::focusBadge() const {
    ifNotBusy([this] { camera.focusAtCenter(); });
}

void CameraScreenActions::level() const {
    ifNotBusy([this] { camera.toggleSpiritLevel(); });
}

void CameraScreenActions::lensBadge() const {
    ifNotBusy([this] { camera.switchCamera(); });
}

void CameraScreenActions::histogram() const {
    ifNotBusyAnimated([this] { camera.toggleHistogram(); });
}

void CameraScreenActions::magnifier() const {
    ifNotBusyAnimated([this] { camera.toggleMagnifier(); });
}

void CameraScreenActions::focusStepper(double step) const {
    const double position = std::clamp(double(camera.lensPosition.get()) + step, 0.0, 1.0);
    camera.setLensPosition(float(position));
}

void CameraScreenActions::lensScaleDrag(float position) const {
    camera.setLensPosition(std::clamp(position, 0.0f, 1.0f));
}

void CameraScreenActions::shutter() const {
    camera.shutterReleasePressed();
}

void CameraScreenActions::thumbnail() const {
    if (camera.resultUIImage.get() && camera.cameraState.get() != CameraState::shooting) {
        withAnimation([this] { camera.showResultImage = !camera.showResultImage.get(); });
    }
}

void CameraScreenActions::resultClose() const {
    withAnimation([this] { camera.showResultImage = false; });
}

void CameraScreenActions::modeBadge() const {
    ifNotBusyAnimated([this] { toggle(state.isShowingSequenceModeSelector); });
}

void CameraScreenActions::formatBadge() const {
    ifNotBusy([this] {
        if (!camera.settings.lockFormat.get()) {
            camera.toggleFileFormat();
        }
    });
}

void CameraScreenActions::isoReadout() const {
    camera.setManualExposure();
    if (!camera.isManualExposure.get()) {
        camera.isManualExposure = true;
    }
    toggle(state.isShowingISOSelector);
}

void CameraScreenActions::shutterReadout() const {
    camera.setManualExposure();
    if (!camera.isManualExposure.get() && camera.sequenceMode.get() != SequenceMode::nightMode) {
        camera.isManualExposure = true;
    }
    toggle(state.isShowingShutterSpeedSelector);
}

void CameraScreenActions::evReadout() const {
    const SequenceMode mode = camera.sequenceMode.get();
    if (mode != SequenceMode::frameAveraging && mode != SequenceMode::lightTrails) {
        return;
    }
    if (camera.isManualExposure.get()) {
        resetExposureBias();
    }
    toggle(state.isShowingOffsetSelector);
    const auto& limits = camera.currentsExposureLimits.get();
    platform::print("toggle offset: ", *state.isShowingOffsetSelector ? "true" : "false");
    platform::print(QVPhotoMath::exposureBiasValues(limits.minExposureTargetBias(),
                                                    limits.maxExposureTargetBias()));
    platform::print(camera.selectedOffsetIndex.get());
    platform::print(QVPhotoMath::formattedEV(camera.selectedExposureBias()));
}

void CameraScreenActions::resetExposureBias() const {
    camera.isManualExposure = false;
    // The offset's observer applies the bias nearest 0 EV to the camera.
    const auto& limits = camera.currentsExposureLimits.get();
    camera.selectedOffsetIndex = std::int64_t(QVPhotoMath::closestExposureBiasIndex(
        0, limits.minExposureTargetBias(), limits.maxExposureTargetBias()));
}

void CameraScreenActions::durationReadout() const {
    if (camera.sequenceMode.get() != SequenceMode::nightMode) {
        toggle(state.isShowingDurationSelector);
    }
}

float CameraScreenActions::evDragStops(Size translation, DeviceOrientation orientation) {
    double distance = -translation.height;
    switch (orientation) {
    case DeviceOrientation::portraitUpsideDown:
        distance = translation.height;
        break;
    case DeviceOrientation::landscapeLeft:
        distance = translation.width;
        break;
    case DeviceOrientation::landscapeRight:
        distance = -translation.width;
        break;
    default:
        break;
    }
    // In single precision, every rounding half away from zero: thirds, then tenths of a stop.
    const float thirds = std::round(float(distance) / float(metrics::pointsPerStop) * 3.0f);
    return std::round(thirds * 10.0f / 3.0f) / 10.0f;
}

void CameraScreenActions::previewDrag(const DragValue& value) const {
    if (camera.isManualExposure.get() || camera.sequenceMode.get() == SequenceMode::nightMode) {
        return;
    }
    if (std::abs(value.translation.width) <= metrics::dragSlop ||
        std::abs(value.translation.height) <= metrics::dragSlop) {
        return;
    }
    if (!*state.dragActive) {
        state.gestureStartEvOffsetIndex.set(camera.selectedOffsetIndex.get());
        state.dragActive.set(true);
    }
    const float ev = evDragStops(value.translation, camera.deviceOrientation.get());
    const std::int64_t index =
        *state.gestureStartEvOffsetIndex + platform::saturatingRound<std::int64_t>(ev * 3.0f);
    const auto count = std::int64_t(biasCount(camera));
    // The offset's observer applies the chosen bias to the camera.
    camera.selectedOffsetIndex = index <= 0 ? 0 : std::min(count - 1, index);
    platform::print(ev, " ", QVPhotoMath::formattedEV(ev));
    platform::print("");
}

void CameraScreenActions::previewTap(const DragValue& value, double previewWidth) const {
    if (*state.dragActive) {
        state.dragActive.set(false);
        return;
    }
    if (!isTap(value.translation)) {
        platform::print("Long Drag end");
        return;
    }
    if (state.isShowingExposureSelector()) {
        withAnimation([this] { closeExposureSelectors(); });
        return;
    }
    const double previewHeight = previewWidth * CameraManager::cameraAspectRatio;
    camera.focusAtPoint(std::clamp(value.location.x, 0.0, std::max(0.0, previewWidth)),
                        std::clamp(value.location.y, 0.0, std::max(0.0, previewHeight)));
}

void CameraScreenActions::closeExposureSelectors() const {
    state.isShowingISOSelector.set(false);
    state.isShowingShutterSpeedSelector.set(false);
    state.isShowingDurationSelector.set(false);
    state.isShowingOffsetSelector.set(false);
}

void CameraScreenActions::previewDoubleTap() const {
    const SequenceMode mode = camera.sequenceMode.get();
    if (mode == SequenceMode::nightMode) {
        return;
    }
    if (state.isShowingExposureSelector() || *state.isShowingSequenceModeSelector) {
        closeExposureSelectors();
        state.isShowingSequenceModeSelector.set(false);
        return;
    }
    if (mode == SequenceMode::starTrails) {
        camera.settings.starEV = CameraSettings::defaultStarEV;
        camera.applyStarSettings();
    } else {
        camera.isManualExposure = false;
    }
}

Point CameraScreenActions::magnifierOffset() const {
    return MagnifierBoxView::clampedOffset(*state.steadyMagnifierOffset,
                                           *state.gestureMagnifierOffest, layout.width(),
                                           CameraManager::cameraAspectRatio);
}

void CameraScreenActions::refreshImageOffset() const {
    state.imageOffset.set(MagnifierBoxView::pictureOffset(magnifierOffset(), displayScale,
                                                          camera.previewImageScale.get()));
}

void CameraScreenActions::magnifierTap(Size preview) const {
    ifNotBusy([&] {
        const Point offset = magnifierOffset();
        camera.focusAtPoint(preview.width / 2 + offset.x, preview.height / 2 + offset.y);
    });
}

void CameraScreenActions::magnifierDragChanged(const DragValue& value) const {
    state.gestureMagnifierOffest.set({value.translation.width, value.translation.height});
    refreshImageOffset();
}

void CameraScreenActions::magnifierDragEnded(const DragValue&) const {
    state.steadyMagnifierOffset.set(magnifierOffset());
    state.gestureMagnifierOffest.set({});
    refreshImageOffset();
}

void CameraScreenActions::scenePhaseChanged(ScenePhase phase) const {
    switch (phase) {
    case ScenePhase::background: {
        camera.wasBackgoundedBefore = true;
        // Also in ready: a start without a countdown is pending there until its run begins.
        camera.finishSequence();
        recordLaunchedVersion();
        camera.motionManager().stopAccelerometerUpdates();
        camera.emptySmoothedAcceleration();
        withAnimation([this] {
            state.cameraPreviewBlurRadius.set(metrics::inactivityBlurRadius);
            if (camera.activeOverlayViews->contains(ActiveOverlayViews::magnifier)) {
                camera.toggleMagnifier();
            }
        });
        camera.disableVolumeShutter();
        break;
    }
    case ScenePhase::active:
        if (camera.wasBackgoundedBefore.get()) {
            platform::DispatchQueue::main().asyncAfter(
                platform::Seconds(metrics::unblurDelaySeconds),
                [blur = state.cameraPreviewBlurRadius] { withAnimation([&] { blur.set(0); }); });
            camera.startAccelerometerUpdates();
            camera.ensurePreviewLayer();
            camera.setupVolumeShutter();
        }
        break;
    case ScenePhase::inactive:
        break;
    }
}

} // namespace qv
