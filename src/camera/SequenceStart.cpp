#include "camera/SequenceStart.hpp"

#include "camera/CameraManager.hpp"
#include "engine/MetaDataCustomizer.hpp"
#include "model/GpsMetadata.hpp"
#include "model/LensMath.hpp"
#include "model/ValueSeries.hpp"
#include "platform/console/Console.hpp"
#include "platform/formatting/SaturatingCast.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qv {

namespace {

// The shortest frame time the rule of 500 divides by in manual exposure.
constexpr double shortestStarFrame = 0.05;
// A wide camera's format narrower than this is a cropped one.
constexpr float wideCropFieldOfView = 50;
constexpr float defaultFieldOfView = 70;

} // namespace

void SequenceStart::startSequence(bool repetition) {
    if (camera.sequenceRun_.countdownAborted()) {
        return;
    }
    camera.nightModeFrameCount = 0;
    planNightMode();
    planStarTrails();
    planLocation();
    if (!repetition) {
        // The mode to bring back after the series: a repetition finds the focus the run
        // before locked, which is not what the user had.
        camera.sequenceRun_.setLastActiveFocusMode(camera.focusMode.get());
    }
    camera.videoOutput->setSampleBufferDelegate(nullptr, nullptr); // live frames stop
    platform::print("Connections " + std::to_string(camera.videoOutput->connections().size()));
    camera.isRAWcapabale = !camera.photoOutput->availableRawPhotoPixelFormatTypes().empty();
    orientPhotos();
    planExposures();

    // The start task, after this turn of the main queue: focus, then (first run only) the
    // custom exposure, then the begin at the start time; each step only while this start
    // is still the pending one.
    const std::uint64_t generation = camera.sequenceRun_.beginPendingStart();
    const bool locksFocus = camera.exposureSequence->selectedDurationIndex() >= 1;
    const auto stillPending = [generation](std::function<void(CameraManager&)> step) {
        return [generation, step = std::move(step)](CameraManager& self) {
            if (self.sequenceRun_.isPendingStart(generation)) {
                step(self);
            }
        };
    };
    auto begin = camera.whileAlive(stillPending(
        [generation](CameraManager& self) { self.sequenceRun_.scheduleBegin(generation); }));
    auto exposure =
        repetition ? begin : camera.whileAlive(stillPending([begin](CameraManager& self) {
            self.exposureLock_.applyCustomExposure(begin);
        }));
    camera.onMain(stillPending([locksFocus, exposure](CameraManager& self) {
        if (locksFocus) {
            self.exposureLock_.lockFocusForSequence(exposure);
        } else {
            exposure();
        }
    }));
}

void SequenceStart::planNightMode() {
    ExposureSequence& sequence = *camera.exposureSequence;
    if (camera.sequenceMode.get() != SequenceMode::nightMode) {
        sequence.isNightMode = false;
        MetaDataCustomizer::shared().setOverwriteShutterSpeed(std::nullopt);
        return;
    }
    const double longest = camera.currentsExposureLimits->maxShutterSpeed().seconds();
    sequence.isNightMode = true;
    sequence.durationNightMode = camera.selection_.selectedNightModeShutterSpeed();
    // Enough frames at the longest exposure to cover the length; an exact quotient (up to
    // rounding of the exposure's own time) is not raised.
    sequence.nightModeTotalFrames =
        platform::saturatingCast<int>(std::ceil(sequence.durationNightMode / longest - 1e-9));
    MetaDataCustomizer::shared().setOverwriteShutterSpeed(sequence.durationNightMode);
}

void SequenceStart::planStarTrails() {
    ExposureSequence& sequence = *camera.exposureSequence;
    if (camera.sequenceMode.get() != SequenceMode::starTrails) {
        sequence.trailNumberOfFramesToAverage = 1;
        return;
    }
    const auto& device = camera.activeCaptureDevice.get();
    float zoom = 1;
    if (camera.activeCameraType.get() == CameraType::wideAngle && device &&
        device->activeFormat().videoFieldOfView < wideCropFieldOfView) {
        const auto zooms = device->activeFormat().secondaryNativeResolutionZoomFactors;
        zoom = zooms.empty() ? 1 : zooms.front();
    }
    const float fieldOfView = device ? device->activeFormat().videoFieldOfView : defaultFieldOfView;
    double frameTime = 0;
    if (camera.isManualExposure.get()) {
        frameTime = std::max(camera.selectedShutterSpeed(), shortestStarFrame);
    } else if (const auto& settings = camera.exposureSettings.get()) {
        frameTime = settings->optimizedExposure(0).shutterSpeed.seconds();
    } else {
        return; // no exposure yet: the group size stays
    }
    sequence.trailNumberOfFramesToAverage =
        QVPhotoMath::maxExposureByRuleOf500(zoom * fieldOfView, frameTime);
    platform::print("Trails number of averaged images: " +
                    std::to_string(sequence.trailNumberOfFramesToAverage));
}

void SequenceStart::planLocation() {
    currentLocationMetadata_.reset();
    if (!camera.settings.shouldSaveLocationData.get() || !camera.isGPSAuthorized.get()) {
        return;
    }
    auto& locations = camera.locationManager;
    const auto heading = locations.heading();
    if (const auto location = locations.location()) {
        currentLocationMetadata_ = gpsDictionary(*location, heading);
    } else if (!std::exchange(saidNoPosition_, true)) {
        platform::print(noPositionLine);
    }
    locations.stopUpdatingHeading();
}

void SequenceStart::orientPhotos() {
    const auto connections = camera.photoOutput->connections();
    if (connections.empty()) {
        return;
    }
    using Device = platform::DeviceOrientation;
    using Video = platform::CaptureVideoOrientation;
    // The raw values carry over: upside down 2, landscape left 3 and right 4 become the
    // video orientations 2, 3 and 4; the rest is portrait.
    Video orientation = Video::portrait;
    switch (camera.deviceOrientation.get()) {
    case Device::portraitUpsideDown:
        orientation = Video::portraitUpsideDown;
        break;
    case Device::landscapeLeft:
        orientation = Video::landscapeRight;
        break;
    case Device::landscapeRight:
        orientation = Video::landscapeLeft;
        break;
    default:
        break;
    }
    connections.front()->setVideoOrientation(orientation);
}

void SequenceStart::planExposures() {
    ExposureSequence& sequence = *camera.exposureSequence;
    const auto& settings = camera.exposureSettings.get();
    sequence.defaultExposure =
        settings ? std::optional(settings->optimizedExposure(0)) : std::nullopt;
    sequence.alternativeExposure =
        settings && sequence.bracketEV != 0
            ? std::optional(settings->optimizedExposure(sequence.bracketEV))
            : std::nullopt;
}

} // namespace qv
