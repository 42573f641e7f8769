#include "camera/CaptureLoop.hpp"

#include "camera/CameraManager.hpp"
#include "camera/SequenceRun.hpp"
#include "model/PixelFormatNames.hpp"
#include "platform/console/Console.hpp"
#include "platform/formatting/SaturatingCast.hpp"

#include <cmath>

namespace qv {

using platform::CapturedPhoto;
using platform::MonotonicTime;
using platform::imaging::FileData;

namespace {

// The time since the previous delivery, to a tenth of a millisecond.
double deliveryInterval(platform::MediaTime photo, platform::MediaTime previous) {
    const double rounded = double(
        platform::saturatingRound<std::int64_t>((photo.seconds() - previous.seconds()) * 10000));
    return rounded / 10000;
}

void printPhoto(const char* what, const CapturedPhoto& photo) {
    platform::print(what, photo.resolvedSettings().uniqueID, photo.sequenceCount(),
                    photo.photoCount(), photo.resolvedSettings().expectedPhotoCount);
}

} // namespace

double CaptureLoop::gapBeforeRequest(const RunRecord& run) {
    if (run.defaultExposure && run.defaultExposure->shutterSpeed.seconds() > 0.3) {
        return 0;
    }
    const double length = run.seriesLength;
    if (length <= 60) {
        return 0;
    }
    if (length <= 300) {
        return 0.01;
    }
    if (length <= 900) {
        return 0.02;
    }
    return 0.2;
}

void CaptureLoop::beginRun(std::shared_ptr<RunRecord> run) {
    run_ = std::move(run);
    finished_ = false;
    mergedAPhoto_ = false;
    reportedCameraError_ = false;
    photosToProcess_.clear();
    lastFrameRequestTime_ = platform::monotonicNow();
}

bool CaptureLoop::isCurrent(std::uint64_t generation) const {
    return run_ && run_->generation == generation && !finished_;
}

void CaptureLoop::willCapture(std::uint64_t generation, MonotonicTime at) {
    if (isCurrent(generation)) {
        lastFrameRequestTime_ = at;
    }
}

void CaptureLoop::reportCameraError() {
    if (!reportedCameraError_) {
        reportedCameraError_ = true;
        camera.showMessage(runbanner::cameraError, runbanner::bannerSeconds);
    }
}

void CaptureLoop::photoFailed(std::uint64_t generation) {
    if (isCurrent(generation)) {
        reportCameraError();
    }
}

void CaptureLoop::handleCapturedPhoto(std::uint64_t generation,
                                      const std::shared_ptr<CapturedPhoto>& photo) {
    if (!isCurrent(generation)) {
        platform::print("Dropped a photo of a finished run:", photo->resolvedSettings().uniqueID);
        return;
    }
    const auto& buffer = photo->pixelBuffer();
    const std::string name = buffer ? pixelFormatName(*buffer) : "UNKNOWN";
    platform::print(name == "UNKNOWN" ? "No pixel format name" : name);
    const double interval = deliveryInterval(photo->timestamp(), lastTimestamp_);
    platform::print("Photo Time: " + platform::describe(std::fabs(interval)) + ", " +
                    platform::describe(interval == 0));
    lastTimestamp_ = photo->timestamp();
    if (interval == 0) {
        platform::print("skipping frame");
        return;
    }
    printPhoto("Adding photo", *photo);
    photosToProcess_.push_back(photo);
}

void CaptureLoop::processCapturedPhotos(std::uint64_t generation, bool failed,
                                        std::optional<MonotonicTime> failedBeforeCapture) {
    if (!isCurrent(generation)) {
        return;
    }
    if (failed) {
        reportCameraError();
    }
    if (failedBeforeCapture) {
        lastFrameRequestTime_ = *failedBeforeCapture;
    }
    const auto device = camera.activeCaptureDevice.load();
    const double exposure = device ? device->exposureDuration().seconds() : 0;
    const MonotonicTime next =
        lastFrameRequestTime_ + std::chrono::duration_cast<MonotonicTime::duration>(
                                    platform::Seconds(exposure + gapBeforeRequest(*run_)));
    bool previewScheduledNext = false;
    for (const auto& photo : photosToProcess_) {
        previewScheduledNext = process(photo, next) || previewScheduledNext;
    }
    photosToProcess_.clear();
    if (!camera.exposureSequence->isRunning() || run_->aborted) {
        camera.onMain([generation](CameraManager& self) { self.sequenceRun_.endRun(generation); });
    } else if (!previewScheduledNext) {
        camera.onMain([generation, next](CameraManager& self) {
            self.sequenceRun_.scheduleNextShot(generation, next, false);
        });
    }
}

bool CaptureLoop::process(const std::shared_ptr<CapturedPhoto>& photo, MonotonicTime next) {
    printPhoto("Processing photo", *photo);
    camera.exposureSequence->addPhoto(photo);
    mergedAPhoto_ = true;
    if (run_->mode != SequenceMode::nightMode) {
        const int key = photo->sequenceCount();
        const auto due = camera.exposureSequence->nextIntermediateDate(key);
        if (due && platform::wallNow() > *due) {
            saveIntermediate(key);
        }
    }
    const bool lastOfRequest = photo->photoCount() == photo->resolvedSettings().expectedPhotoCount;
    return lastOfRequest && showPreview(photo, next);
}

void CaptureLoop::saveIntermediate(int key) {
    ExposureSequence& sequence = *camera.exposureSequence;
    sequence.setLastIntermediateTakenAt(key, platform::wallNow());
    const auto merger = sequence.photoMerger();
    auto result = merger ? merger->resultData(key, 0) : std::nullopt;
    if (run_->savesFrameAverage()) {
        saveInBackground(merger ? merger->resultData(1, 0) : std::nullopt, 1, "_FA");
    }
    saveInBackground(std::move(result), key,
                     run_->savesFrameAverage() ? std::optional<std::string>("_LT") : std::nullopt);
}

bool CaptureLoop::showPreview(const std::shared_ptr<CapturedPhoto>& photo, MonotonicTime next) {
    ExposureSequence& sequence = *camera.exposureSequence;
    if (!sequence.isRunning() || run_->aborted || run_->mode == SequenceMode::nightMode ||
        !camera.settings.showImagePreviewWhileShooting.get()) {
        return false;
    }
    const auto merger = sequence.photoMerger();
    const std::uint32_t frames = merger ? merger->totalFrames1() : 0;
    const std::uint32_t shown = camera.lastProgressFrameNumber.load();
    if (shown != 0 && frames < shown + 10) {
        return false;
    }
    const auto shownAt = camera.sequenceRun_.lastProgressFrameTime();
    if (shownAt && platform::Seconds(platform::wallNow() - *shownAt).count() < 1.0) {
        return false;
    }
    if (!merger) {
        return false;
    }
    auto data = merger->resultData(photo->sequenceCount() > 0 ? 1 : 0, 0);
    if (!data) {
        return false;
    }
    camera.previewImageModel()->showEncodedPreview(std::move(*data));
    camera.onMain([generation = run_->generation, next](CameraManager& self) {
        self.sequenceRun_.scheduleNextShot(generation, next, true);
    });
    return true;
}

void CaptureLoop::saveInBackground(std::optional<FileData> data, int index,
                                   std::optional<std::string> suffix) {
    camera.backgroundQueue()->async(
        camera.whileAlive([data = std::move(data), format = run_->format, index,
                           suffix = std::move(suffix)](CameraManager& self) mutable {
            self.saveResult(std::move(data), format, index, std::move(suffix));
        }));
}

void CaptureLoop::finishRun(std::uint64_t generation, bool restoreDevice, bool reviewDue,
                            bool inBackground) {
    if (!run_ || run_->generation != generation) {
        return;
    }
    finished_ = true;
    photosToProcess_.clear();
    const RunRecord& run = *run_;
    const auto merger = camera.exposureSequence->photoMerger();
    const auto result = [&merger](int index, double compensation) {
        return merger ? merger->resultData(index, compensation) : std::nullopt;
    };
    bool saved = false;
    if (run.shootsBracket) {
        for (const int stream : {2, 1}) {
            auto data = result(stream, 0);
            saved = saved || data.has_value();
            camera.saveResult(std::move(data), run.format, stream, std::nullopt);
        }
    } else {
        auto main = result(0, run.compensation);
        saved = main.has_value();
        if (run.savesFrameAverage()) {
            camera.saveResult(result(1, 0), run.format, 1, "_FA");
        }
        camera.saveResult(std::move(main), run.format, 0,
                          run.savesFrameAverage() ? std::optional<std::string>("_LT")
                                                  : std::nullopt);
    }
    if (!saved && mergedAPhoto_) {
        camera.showMessage(runbanner::mergingFailed, runbanner::bannerSeconds);
    } else if (!mergedAPhoto_ && inBackground) {
        platform::print(nothingShotLine);
    }
    camera.exposureSequence->reset();
    if (restoreDevice) {
        restoreCaptureModes(true);
    }
    camera.onMain([generation, reviewDue](CameraManager& self) {
        self.sequenceRun_.finishMainSteps(generation, reviewDue);
    });
}

void CaptureLoop::restoreCaptureModes(bool withBias) {
    const auto device = camera.activeCaptureDevice.load();
    if (!device) {
        return;
    }
    platform::ConfigurationLock lock(*device);
    if (!lock) {
        platform::print(lock.errorDescription());
        return;
    }
    if (camera.isAutoExposure.load()) {
        device->setExposureMode(platform::ExposureMode::continuousAutoExposure);
        if (withBias) {
            camera.setExposureBias(camera.steadyExposureBias.load());
        }
    }
    if (camera.sequenceRun_.lastActiveFocusMode() == platform::FocusMode::continuousAutoFocus) {
        device->setFocusMode(platform::FocusMode::continuousAutoFocus);
    }
}

} // namespace qv
