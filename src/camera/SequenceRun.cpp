#include "camera/SequenceRun.hpp"

#include "camera/CameraManager.hpp"
#include "camera/PhotoRequest.hpp"
#include "model/NightModeConfig.hpp"
#include "platform/audio/SystemSound.hpp"
#include "platform/console/Console.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/system/Application.hpp"

#include <cmath>

namespace qv {

using platform::WallTime;

namespace {

double delaySeconds(Delay delay) {
    return double(rawValue(delay));
}

WallTime after(double seconds) {
    return platform::wallNow() + platform::nanosecondsFrom(platform::Seconds(seconds));
}

} // namespace

std::optional<const char*> runbanner::forSave(SaveOutcome outcome) {
    switch (outcome) {
    case SaveOutcome::saved:
        return std::nullopt;
    case SaveOutcome::savedToFolderOnly:
        return documentsOnly;
    case SaveOutcome::notConverted:
        return notConverted;
    case SaveOutcome::diskFull:
        return diskFull;
    case SaveOutcome::notWritten:
        return notWritten;
    }
    return notWritten;
}

void SequenceRun::shutterReleasePressed() {
    if (camera.ignoresShutterPress()) {
        return;
    }
    if (camera.cameraState.get() == CameraState::ready) {
        release();
    } else {
        abort();
    }
}

void SequenceRun::finishSequence() {
    if (!isBusy() && !repetitionPending_) {
        return; // nothing to finish: a state without a run stays as it is
    }
    const bool startPending = pending_.has_value();
    abort();
    if (run_ && !finishing_) {
        finish(true);
    } else if (startPending) {
        platform::print(nothingShotLine);
    }
}

bool SequenceRun::isBusy() const {
    return pending_.has_value() || run_ != nullptr;
}

void SequenceRun::release() {
    if (isBusy()) {
        platform::print("Shutter release refused: the last run has not finished yet");
        return;
    }
    if (camera.sequenceMode.get() == SequenceMode::nightMode) {
        const auto& device = camera.activeCaptureDevice.get();
        if (!device || !device->isFocusModeSupported(platform::FocusMode::autoFocus)) {
            camera.showMessage("Camera not compatible with Night Mode", 1.5);
            return;
        }
    }
    countdownAborted_ = false;
    const Delay delay = camera.settings.shutterReleaseDelay.get();
    camera.targetSequenceStartTime = after(delaySeconds(delay));
    platform::withAnimation([this] {
        camera.histogram.set(std::optional<Histogram>());
        camera.previewUIImage = nullptr;
        camera.resultUIImage = nullptr;
        for (const ActiveOverlayViews overlay :
             {ActiveOverlayViews::histogram, ActiveOverlayViews::magnifier,
              ActiveOverlayViews::spiritLevel}) {
            if (camera.activeOverlayViews->contains(overlay)) {
                camera.activeOverlayViews = camera.activeOverlayViews->subtracting(overlay);
            }
        }
    });
    if (delay != Delay::off) {
        camera.cameraState = CameraState::countdown;
    }
    seriesRuns_ = int(camera.selection_.selectedRepetitions());
    camera.remainingSequences = seriesRuns_ - 1;
    camera.sequenceStart_.startSequence(false);
}

void SequenceRun::abort() {
    const bool inCountdown = camera.cameraState.get() == CameraState::countdown;
    if (run_ && !finishing_) {
        run_->aborted = true; // it finishes at its next request, with what it merged
    }
    camera.remainingSequences = 0;
    camera.targetSequenceStartTime = std::nullopt;
    const bool startCancelled = pending_.has_value();
    if (pending_) {
        pending_->begin.cancel();
        pending_.reset();
    }
    repetition_.cancel();
    repetitionPending_ = false;
    // A start or a series waiting for its next run left the device locked for the run;
    // so did a run finishing with runs still to come, whose finish does not restore.
    const bool finishingWithoutRestore = run_ && finishing_ && !finishRestoresDevice_;
    if (inCountdown) {
        countdownAborted_ = true;
    }
    if (inCountdown || startCancelled || finishingWithoutRestore) {
        finishRestoresDevice_ = true;
        camera.onSession([](CameraManager& self) { self.captureLoop_.restoreCaptureModes(); });
    }
    camera.cameraState = CameraState::ready;
}

std::uint64_t SequenceRun::beginPendingStart() {
    pending_ = PendingStart{++generations_, {}};
    return pending_->generation;
}

bool SequenceRun::isPendingStart(std::uint64_t generation) const {
    return pending_ && pending_->generation == generation;
}

void SequenceRun::scheduleBegin(std::uint64_t generation) {
    if (!isPendingStart(generation)) {
        return;
    }
    const auto& target = camera.targetSequenceStartTime.get();
    const double seconds = target ? platform::Seconds(*target - platform::wallNow()).count()
                                  : delaySeconds(camera.settings.shutterReleaseDelay.get());
    pending_->begin = camera.onMainAfter(
        seconds, [generation](CameraManager& self) { self.sequenceRun_.begin(generation); });
}

void SequenceRun::begin(std::uint64_t generation) {
    if (!isPendingStart(generation)) {
        return;
    }
    pending_.reset();
    if (countdownAborted_) {
        return;
    }
    camera.exposureSequence->start();
    camera.cameraState = CameraState::shooting;
    camera.targetSequenceStartTime = std::nullopt;
    run_ = makeRecord(generation);
    finishing_ = false;
    camera.onSession([run = run_](CameraManager& self) { self.captureLoop_.beginRun(run); });
    capturePhoto();
}

std::shared_ptr<RunRecord> SequenceRun::makeRecord(std::uint64_t generation) {
    const ExposureSequence& sequence = *camera.exposureSequence;
    auto run = std::make_shared<RunRecord>();
    run->generation = generation;
    run->format = camera.settings.fileFormat.get();
    run->mode = sequence.sequenceMode;
    run->bracketEV = sequence.bracketEV;
    run->saveFAwithLT = camera.settings.saveFAwithLT.get();
    run->durationIndex = sequence.selectedDurationIndex();
    run->runs = seriesRuns_;
    run->run = run->runs - int(camera.remainingSequences.get());
    run->seriesLength = sequence.totalDuration() * double(run->runs);
    run->defaultExposure = sequence.defaultExposure;
    run->alternativeExposure = sequence.alternativeExposure;
    run->location = camera.sequenceStart_.currentLocationMetadata();
    run->shootsBracket = shootsBracket(*camera.photoOutput, *run);
    if (run->mode == SequenceMode::nightMode &&
        NightModeConfig::shared().betaNightISOMode() == BetaNightISOMode::computational) {
        // The frames were shot at the base ISO: the result is brightened to the chosen one.
        run->compensation =
            double(std::log2(camera.selectedISO() / ExposureLock::nightModeBaseISO));
    }
    return run;
}

std::optional<SeriesPosition> SequenceRun::seriesPosition() const {
    if (!run_) {
        return std::nullopt;
    }
    return SeriesPosition{run_->run, run_->runs};
}

bool SequenceRun::isCurrent(std::uint64_t generation) const {
    return run_ && run_->generation == generation && !finishing_;
}

void SequenceRun::capturePhoto() {
    if (!run_ || finishing_) {
        return;
    }
    if (run_->aborted) {
        finish();
        return;
    }
    const auto& pressure = camera.systemPressureState.get();
    const auto tiff = camera.exposureSequence->photoMetadata(
        pressure ? std::optional(pressure->level) : std::nullopt, run_->run, run_->runs);
    camera.photoOutput->capturePhoto(
        runPhotoSettings(*camera.photoOutput, *run_, tiff),
        std::make_shared<RunPhotoDelegate>(camera.weak_from_this(), run_->generation));
}

void SequenceRun::scheduleNextShot(std::uint64_t generation, platform::MonotonicTime at,
                                   bool progress) {
    if (!isCurrent(generation)) {
        return;
    }
    nextShot_ = platform::DispatchQueue::main().asyncAt(
        at, camera.whileAlive([generation, progress](CameraManager& self) {
            if (progress) {
                self.sequenceRun_.captureNextPhoto(generation);
            } else if (self.sequenceRun_.isCurrent(generation)) {
                self.sequenceRun_.capturePhoto();
            }
        }));
}

void SequenceRun::captureNextPhoto(std::uint64_t generation) {
    if (!isCurrent(generation)) {
        return;
    }
    const auto merger = camera.exposureSequence->photoMerger();
    camera.lastProgressFrameNumber = merger ? merger->totalFrames1() : 0;
    setLastProgressFrameTime(platform::wallNow());
    if (camera.exposureSequence->isRunning() && !run_->aborted) {
        capturePhoto();
    } else {
        endRun(generation);
    }
}

void SequenceRun::endRun(std::uint64_t generation) {
    if (!run_ || run_->generation != generation) {
        return;
    }
    finish();
    camera.lastProgressFrameNumber = 0;
    setLastProgressFrameTime(std::nullopt);
}

void SequenceRun::finish(bool inBackground) {
    if (!run_ || finishing_) {
        return;
    }
    finishing_ = true;
    nextShot_.cancel();
    const bool lastRun = camera.remainingSequences.get() == 0;
    finishRestoresDevice_ = lastRun;
    const bool reviewDue = lastRun && camera.settings.longShots.get() >= 2;
    camera.onMain([](CameraManager& self) { self.sequenceRun_.playCaptureFeedback(); });
    camera.onMain([run = run_](CameraManager& self) { self.sequenceRun_.updateStarEV(*run); });
    // The results are taken on "PhotoSession" after the merge in flight; the main-queue
    // steps follow from there.
    camera.onSession(
        [generation = run_->generation, lastRun, reviewDue, inBackground](CameraManager& self) {
            self.captureLoop_.finishRun(generation, lastRun, reviewDue, inBackground);
        });
}

void SequenceRun::playCaptureFeedback() {
    camera.previewImageModel()->setPreviewImage(nullptr);
    platform::withAnimation([this] { camera.cameraState = CameraState::finishing; });
    platform::playSystemSound(platform::kShutterSound);
}

void SequenceRun::updateStarEV(const RunRecord& run) {
    const auto& device = camera.activeCaptureDevice.get();
    if (run.mode != SequenceMode::starTrails || !camera.isManualExposure.get() || !device) {
        return;
    }
    const double iso = double(device->iso());
    const double seconds = device->exposureDuration().seconds();
    const double aperture = double(device->lensAperture());
    const double ev = std::round(std::log2(aperture * aperture / (seconds * iso / 100)) * 3) / 3;
    const double stored = double(float(ev));
    camera.settings.starEV = stored > -2.333 ? stored : -2.333;
}

void SequenceRun::countLongShots(const RunRecord& run) {
    if (run.format == SupportedImageFormat::RAW && run.durationIndex >= 19) {
        camera.settings.longRAWShots2plus = camera.settings.longRAWShots2plus.get() + 1;
    }
    if (run.durationIndex >= 11) {
        camera.settings.longShots = camera.settings.longShots.get() + 1;
    }
}

void SequenceRun::finishMainSteps(std::uint64_t generation, bool reviewDue) {
    if (!run_ || run_->generation != generation) {
        return;
    }
    const auto run = std::move(run_);
    finishing_ = false;
    platform::withAnimation([&] {
        if (camera.remainingSequences.get() == 0) {
            camera.cameraState = CameraState::ready;
            camera.selection_.refreshPreviewOffset(camera.isManualExposure.get(), 8);
            camera.locationManager.startUpdatingHeading();
            countLongShots(*run);
        } else {
            camera.cameraState = CameraState::countdown;
        }
    });
    if (reviewDue) {
        platform::Application::shared().requestReview();
    }
    scheduleNextRepetition();
}

void SequenceRun::scheduleNextRepetition() {
    if (camera.remainingSequences.get() >= 1) {
        const double interval = camera.selectedIntervalDelay();
        camera.targetSequenceStartTime = after(interval);
        repetition_ = camera.onMainAfter(
            interval, [](CameraManager& self) { self.sequenceRun_.startNextRepetition(); });
        repetitionPending_ = true;
    }
    camera.resumeLiveFrames();
}

void SequenceRun::startNextRepetition() {
    repetitionPending_ = false;
    camera.remainingSequences = camera.remainingSequences.get() - 1;
    camera.sequenceStart_.startSequence(true);
}

std::optional<WallTime> SequenceRun::lastProgressFrameTime() const {
    const std::int64_t nanoseconds = lastProgressFrameTime_.load();
    if (nanoseconds == noProgressTime) {
        return std::nullopt;
    }
    return WallTime(std::chrono::nanoseconds(nanoseconds));
}

void SequenceRun::setLastProgressFrameTime(std::optional<WallTime> time) {
    lastProgressFrameTime_ = time ? time->time_since_epoch().count() : noProgressTime;
}

} // namespace qv
