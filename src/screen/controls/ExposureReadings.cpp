#include "screen/controls/ExposureReadings.hpp"

#include "camera/CameraManager.hpp"
#include "model/PhotoFormatting.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/ui/views/LocalizedStrings.hpp"
#include "screen/DurationLabel.hpp"

namespace qv {

namespace {

constexpr float nightModeISO = 200;
constexpr float isoBeforeFirstReport = 100;
constexpr double shutterBeforeFirstReport = 1.0;

std::int64_t wholeISO(float iso) {
    return platform::saturatingCast<std::int64_t>(iso);
}

} // namespace

ExposureReadings ExposureReadings::of(CameraManager& camera) {
    ExposureReadings r;
    const bool manual = camera.isManualExposure.get();
    const SequenceMode mode = camera.sequenceMode.get();
    const bool night = mode == SequenceMode::nightMode;
    const auto& settings = camera.exposureSettings.get();
    const auto automatic = settings ? std::optional(settings->optimizedExposure(0)) : std::nullopt;
    const auto& limits = camera.currentsExposureLimits.get();

    float iso = isoBeforeFirstReport;
    if (manual) {
        iso = camera.selectedISO();
    } else if (night) {
        iso = nightModeISO;
    } else if (automatic) {
        iso = automatic->iso;
    }
    r.iso = wholeISO(iso);
    r.isoIsSet = manual;
    r.isoAtMinimum = r.iso == wholeISO(limits.minISO());
    r.isoAtMaximum = r.iso == wholeISO(limits.maxISO());

    double seconds = shutterBeforeFirstReport;
    if (night) {
        seconds = camera.selectedNightModeShutterSpeed();
    } else if (manual) {
        seconds = camera.selectedShutterSpeed();
    } else if (automatic) {
        seconds = automatic->shutterSpeed.seconds();
    }
    r.shutterText = QVPhotoMath::formattedShutterSpeed(seconds, true);
    r.shutterIsSet = manual || night;
    r.shutterLabelIsSet = manual;
    r.shutterAtMinimum = !night && r.shutterText == QVPhotoMath::formattedShutterSpeed(
                                                        limits.minShutterSpeed(), true);
    r.shutterAtMaximum = !night && r.shutterText == QVPhotoMath::formattedShutterSpeed(
                                                        limits.maxShutterSpeed(), true);

    const float offset = camera.previewOffset.get();
    if (night || (mode == SequenceMode::starTrails && manual)) {
        r.evText = "n/a";
    } else {
        r.evText = QVPhotoMath::formattedEV(offset);
    }
    r.evIsMeasuredOffset = !manual && offset != 0;

    const std::int64_t index = camera.exposureSequence->selectedDurationIndex();
    r.isSingleFrameEntry = index == 0;
    r.totalTimeText = night ? platform::ui::localizedString("Single Frame")
                            : durationLabel(ExposureSequence::durations()[std::size_t(index)]);
    return r;
}

} // namespace qv
