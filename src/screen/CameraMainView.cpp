#include "screen/CameraMainView.hpp"

#include "model/ValueSeries.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/controls/Controls.hpp"
#include "platform/ui/views/Views.hpp"
#include "screen/CameraScreenActions.hpp"
#include "screen/NoCameraMessage.hpp"
#include "screen/SelectorOverlaysView.hpp"
#include "screen/controls/LowerRegionView.hpp"
#include "screen/controls/ShutterReleaseButtonView.hpp"
#include "screen/overlays/OrientationAngle.hpp"
#include "screen/overlays/ResultCoverView.hpp"
#include "screen/preview/PreviewStackView.hpp"
#include "screen/preview/ProgressViewQV.hpp"

namespace qv {

using namespace platform::ui;
using platform::Binding;

namespace {

using Action = void (CameraScreenActions::*)() const;

// The action as a closure that outlives the build (the actions hold the screen's state by
// its shared storage and the controller by reference).
std::function<void()> run(const CameraScreenActions& actions, Action action) {
    return [actions, action] { (actions.*action)(); };
}

int asIndex(std::int64_t index) {
    return int(std::clamp<std::int64_t>(index, INT32_MIN, INT32_MAX));
}

// A selector position of the controller as the selector grid binds it.
Binding<int> indexBinding(platform::Published<std::int64_t>& position) {
    return Binding<int>([&position] { return asIndex(position.get()); },
                        [&position](int index) { position = index; });
}

// Built once per rebuild from the controller: what the screen places.
struct ScreenParts {
    const CameraScreenShell& shell;
    CameraManager& camera;
    const CameraScreenState& state;
    const ScreenLayout& layout;
    const CameraScreenActions& actions;
    double rotation;

    View previewRegion() const;
    View lowerRegion() const;
    View selectors() const;
    View progress() const;
    View resultCover() const;
    View settings() const;
};

View ScreenParts::progress() const {
    const auto sequence = camera.exposureSequence;
    const double left = sequence->remainingTime();
    const auto& model = ObservedObject<PreviewImageModel>(*camera.previewImageModel()).get();
    return ProgressViewQV{
        .remainingTime = [sequence] { return sequence->remainingTime(); },
        .totalDuration = sequence->totalDuration(),
        .isPreviewMode = camera.settings.showImagePreviewWhileShooting.get() &&
                         camera.sequenceMode.get() != SequenceMode::nightMode,
        .series = camera.seriesPosition(),
        .showsMergedPicture = camera.lastProgressFrameNumber.get() != 0,
        .previewImage = model.previewImage.get(),
        .rotation = rotation,
        .timeRemaining = State<std::string>(ProgressViewQV::timeText(left)),
        .remainingTimeInterval = State<double>(left),
    };
}

View ScreenParts::previewRegion() const {
    const CameraScreenActions a = actions;
    // Without a camera the box says why for as long as that lasts; a message of the
    // controller's own shows over it while it is up.
    const bool showsMessage = camera.isShowingMessageOverlay.get();
    const std::string absence = noCameraMessage(camera);
    const double previewWidth = layout.width();
    const Size preview = layout.previewRegion();
    return PreviewStackView{
        .previewLayer = camera.cameraPreviewLayer.get(),
        .cameraState = camera.cameraState.get(),
        .blurRadius = *state.cameraPreviewBlurRadius,
        .progress = progress(),
        .isSingleFrame = camera.exposureSequence->selectedDurationIndex() == 0,
        .badgeRow = BadgeRowView{camera.sequenceMode.get(), camera.settings.fileFormat.get(),
                                 camera.availableCameras().size(), layout.unitSize(),
                                 run(actions, &CameraScreenActions::modeBadge),
                                 run(actions, &CameraScreenActions::formatBadge)},
        .activeOverlayViews = camera.activeOverlayViews.get(),
        .gridOverlayType = camera.gridOverlayType.get(),
        .spiritLevel = SpiritLevelView{.levelAngle = camera.levelAngle(),
                                       .angleXY = camera.angleXY.get(),
                                       .angleXZ = camera.angleXZ.get(),
                                       .angleYZ = camera.angleYZ.get(),
                                       .deviceOrientation = camera.deviceOrientation.get()},
        .histogram = camera.histogram.get(),
        .isShowingMessageOverlay = showsMessage || !absence.empty(),
        .messageToShow = showsMessage ? camera.messageToShow.get() : absence,
        .magnifierBox =
            MagnifierBoxView{
                .previewUIImage = camera.previewUIImage.get(),
                .imageOffset = state.imageOffset.binding(),
                .fitScale = camera.previewImageFitScale(),
                .blurRadius = *state.cameraPreviewBlurRadius,
                .offset = actions.magnifierOffset(),
                .onDragChanged = [a](const DragValue& v) { a.magnifierDragChanged(v); },
                .onDragEnded = [a](const DragValue& v) { a.magnifierDragEnded(v); },
                .onTap = [a, preview] { a.magnifierTap(preview); },
            },
        .isAutoFocusing = camera.isAutoFocusing(),
        .focusPoint = {camera.focusPoint->x, camera.focusPoint->y},
        .isShowingSequenceModeSelector = *state.isShowingSequenceModeSelector,
        .sequenceModeSelector = shell.sequenceModeSelector && *state.isShowingSequenceModeSelector
                                    ? shell.sequenceModeSelector(
                                          state.isShowingSequenceModeSelector.binding(), rotation)
                                    : View(),
        .orientation = camera.deviceOrientation.get(),
        .safeScreenSize = layout.safeScreenSize,
        .isCoveredByExposureSelector =
            *state.isShowingISOSelector || *state.isShowingShutterSpeedSelector,
        .onDoubleTap = run(actions, &CameraScreenActions::previewDoubleTap),
        .onDragChanged = [a](const DragValue& v) { a.previewDrag(v); },
        .onDragEnded = [a, previewWidth](const DragValue& v) { a.previewTap(v, previewWidth); },
    };
}

View ScreenParts::lowerRegion() const {
    const CameraScreenActions a = actions;
    const double u = layout.unitSize();
    const double width = layout.width();
    const auto overlays = camera.activeOverlayViews.get();
    const auto countdown = [&camera = camera] { return camera.remainingCountdownSeconds(); };
    return LowerRegionView{
        .exposurePanel = ExposurePanelView{ExposureReadings::of(camera), width, u,
                                           run(actions, &CameraScreenActions::isoReadout),
                                           run(actions, &CameraScreenActions::shutterReadout),
                                           run(actions, &CameraScreenActions::evReadout),
                                           run(actions, &CameraScreenActions::durationReadout)},
        .controlBar = ControlBarView{
            .activeOverlayViews = overlays,
            .cameraCount = camera.availableCameras().size(),
            .isAutoFocusSupported = camera.isAutoFocusSupported.get(),
            .sequenceMode = camera.sequenceMode.get(),
            .focusMode = camera.focusMode.get(),
            .zoomFactorLabel = camera.zoomFactorLabel(),
            .lensPosition = camera.lensPosition.get(),
            .isAdjustingFocus = camera.isAdjustingFocus.get(),
            .rotation = rotation,
            .width = width,
            .unitSize = u,
            .onFocusBadge = run(actions, &CameraScreenActions::focusBadge),
            .onLevel = run(actions, &CameraScreenActions::level),
            .onLensBadge = run(actions, &CameraScreenActions::lensBadge),
            .onHistogram = run(actions, &CameraScreenActions::histogram),
            .onMagnifier = run(actions, &CameraScreenActions::magnifier),
            .onFocusStep = [a](double step) { a.focusStepper(step); },
            .onLensPosition = [a](float position) { a.lensScaleDrag(position); },
        },
        .shutterRow =
            ShutterRowView{
                .thumbnail =
                    ResultThumbnailView{camera.libraryThumbnail.get(),
                                        camera.cameraState.get() == CameraState::ready, rotation, u,
                                        run(actions, &CameraScreenActions::thumbnail)},
                .gridButton = GridButtonView{camera.gridOverlayType.get(),
                                             overlays.contains(ActiveOverlayViews::grid), u,
                                             run(actions, &CameraScreenActions::gridTap),
                                             run(actions, &CameraScreenActions::gridLongPress)},
                .shutterButton =
                    ShutterReleaseButtonView{
                        .cameraState = camera.cameraState.get(),
                        .shutterReleaseDelay = camera.settings.shutterReleaseDelay.get(),
                        .remainingCountdownSeconds = countdown,
                        .onTap = run(actions, &CameraScreenActions::shutter),
                    },
                .onGear = run(actions, &CameraScreenActions::gear),
                .rotation = rotation,
                .width = width,
                .unitSize = u,
            },
        .isVeiled = *state.isShowingSequenceModeSelector,
    };
}

View ScreenParts::selectors() const {
    const bool night = camera.sequenceMode.get() == SequenceMode::nightMode;
    const auto& limits = camera.currentsExposureLimits.get();
    CameraManager& c = camera;
    SelectorOverlaysView::Selector iso{state.isShowingISOSelector.binding(),
                                       indexBinding(c.selectedISOIndex),
                                       {},
                                       metrics::selectorColumns};
    if (*state.isShowingISOSelector) {
        iso.items = SelectorOverlaysView::isoItems(c.selectableISOs.get());
    }
    SelectorOverlaysView::Selector shutter{state.isShowingShutterSpeedSelector.binding(),
                                           indexBinding(c.selectedShutterSpeedIndex),
                                           {},
                                           metrics::selectorColumns};
    if (night) {
        // Night mode has a position of its own in a list of run lengths, one column.
        shutter.selectedIndex =
            Binding<int>([&c] { return asIndex(c.selectedNightModeShutterSpeedIndex); },
                         [&c](int index) {
                             c.sendWillChange();
                             c.selectedNightModeShutterSpeedIndex = index;
                         });
        shutter.columns = metrics::durationSelectorColumns;
    }
    if (*state.isShowingShutterSpeedSelector) {
        shutter.items = SelectorOverlaysView::shutterItems(night ? c.nightModeShutterSpeeds()
                                                                 : c.selectableShutterSpeeds.get());
    }
    SelectorOverlaysView::Selector offset{state.isShowingOffsetSelector.binding(),
                                          indexBinding(c.selectedOffsetIndex),
                                          {},
                                          metrics::selectorColumns};
    if (*state.isShowingOffsetSelector) {
        offset.items = SelectorOverlaysView::biasItems(QVPhotoMath::exposureBiasValues(
            limits.minExposureTargetBias(), limits.maxExposureTargetBias()));
    }
    const auto sequence = c.exposureSequence;
    SelectorOverlaysView::Selector totalTime{
        state.isShowingDurationSelector.binding(),
        Binding<int>([sequence] { return asIndex(sequence->selectedDurationIndex()); },
                     [sequence, &c](int index) {
                         c.sendWillChange();
                         sequence->setSelectedDurationIndex(index);
                     }),
        {},
        metrics::durationSelectorColumns};
    if (*state.isShowingDurationSelector) {
        const auto& table = ExposureSequence::durations();
        totalTime.items =
            SelectorOverlaysView::durationItems(std::vector<double>(table.begin(), table.end()));
    }
    return SelectorOverlaysView{iso, shutter, offset, totalTime, rotation};
}

View ScreenParts::resultCover() const {
    return ResultCoverView{camera.resultUIImage.get(), camera.deviceOrientation.get(),
                           layout.unitSize(), run(actions, &CameraScreenActions::resultClose)};
}

View ScreenParts::settings() const {
    if (!shell.settings) {
        return View();
    }
    return shell.settings(state.isPresentedSettingView.binding(), layout.safeScreenSize,
                          metrics::settingsIconUnits * layout.unitSize(), metrics::inActiveColor());
}

} // namespace

View CameraMainView::body() const {
    CameraManager& camera = cameraManager.get();
    const ScreenLayout layout{*state.safeScreenSize};
    const CameraScreenActions actions(camera, state, layout, currentEnvironment().displayScale);
    const ScreenParts parts{shell,  camera,  state,
                            layout, actions, orientationAngle(camera.deviceOrientation.get())};
    const Rect square = layout.selectorSquare();
    const Size preview = layout.previewRegion();
    const Size lower = layout.lowerRegion();

    const View column =
        VStack({parts.previewRegion().frame(preview.width, preview.height),
                parts.lowerRegion().frame(lower.width, lower.height).testTag("lower region")});
    const auto measured = state.safeScreenSize;
    const View frame = GeometryReader([column, measured](const GeometryProxy& proxy) {
        const Size size = proxy.size;
        return ZStack({View(metrics::backgroundColor()).ignoresSafeArea(), column})
            .onAppear([measured, size] { measured.set(size); })
            .onChange<Size>(size, [measured](const Size& resized) { measured.set(resized); });
    });
    const View result = parts.resultCover();
    const View settings = parts.settings();
    return ZStack({frame,
                   If(camera.showWhatsNewView.get() && shell.whatsNew != nullptr,
                      [&] { return shell.whatsNew().testTag("whats new layer"); }),
                   If(state.isShowingExposureSelector(),
                      [&] {
                          return parts.selectors()
                              .frame(square.width, square.height)
                              .testTag("selector host")
                              .position(square.midX(), square.midY());
                      })})
        .onChange<ScenePhase>(
            currentEnvironment().scenePhase,
            [actions](const ScenePhase& phase) { actions.scenePhaseChanged(phase); })
        .fullScreenCover(state.isPresentedSettingView.binding(), [settings] { return settings; })
        .fullScreenCover(camera.showResultImage.binding(), [result] { return result; });
}

} // namespace qv
