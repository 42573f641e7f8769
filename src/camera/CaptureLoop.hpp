#pragma once

#include "camera/RunRecord.hpp"
#include "platform/capture/CapturedPhoto.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/imaging/ImagingResult.hpp"
#include "platform/media/MediaTime.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

class CameraManager;

// The run's work on "PhotoSession": the photos each request delivers, their merge into the
// sequence, the intermediate saves, the previews while shooting, the time of the next
// request, and the finish (results, saves, reset, device restore). Every resultData of a
// merger is asked for here, so none meets a merge in progress.
//
// Reports come tagged with the generation of the run that made the request. Photos of a
// run that is finished, or of another run, are dropped with a console line: they never
// reach the next run's merger.
//
// Gap before the next request: none when a frame exposes for more than 0.3 s; otherwise by
// the planned length T of the whole series: none up to 60 s, 0.01 s up to 300 s, 0.02 s up
// to 900 s, 0.2 s beyond. The next request is due at the moment the last exposure started
// (or the last request failed, when it failed before its exposure) plus the camera's
// exposure plus the gap.
//
// Threads: every member runs on "PhotoSession"; the state here is that queue's alone. It
// reads the controller's published state through mirrors and hands work to the main queue
// (the next request, the end of the run) and to "PhotoSaverSession" (intermediate saves).
class CaptureLoop {
public:
    explicit CaptureLoop(CameraManager& owner) : camera(owner) {}
    CaptureLoop(const CaptureLoop&) = delete;
    CaptureLoop& operator=(const CaptureLoop&) = delete;

    // The gap before the next request of a run (see above).
    static double gapBeforeRequest(const RunRecord& run);

    // A run began shooting: its photos are awaited.
    void beginRun(std::shared_ptr<RunRecord> run);
    // A request's exposure started at `at`.
    void willCapture(std::uint64_t generation, platform::MonotonicTime at);
    void handleCapturedPhoto(std::uint64_t generation,
                             const std::shared_ptr<platform::CapturedPhoto>& photo);
    // A photo was delivered with an error: it is lost.
    void photoFailed(std::uint64_t generation);
    // A request ended (with an error when `failed`; before its exposure when
    // `failedBeforeCapture` gives the moment): its photos are merged and the next request
    // or the end of the run follows.
    void processCapturedPhotos(std::uint64_t generation, bool failed,
                               std::optional<platform::MonotonicTime> failedBeforeCapture);
    // Takes the run's results, saves them, resets the sequence and, after the last run of a
    // series, gives the camera its automatic exposure and focus back; then the main queue's
    // finishing steps. A run the background ended (`inBackground`) before a photo was merged
    // says so in nothingShotLine (SequenceRun.hpp).
    void finishRun(std::uint64_t generation, bool restoreDevice, bool reviewDue, bool inBackground);
    // Continuous automatic exposure (when automatic exposure is on) and focus (when the
    // run found it so) come back; a manual exposure and a locked focus stay.
    void restoreCaptureModes(bool withBias = false);

private:
    bool isCurrent(std::uint64_t generation) const;
    void reportCameraError();
    // Merges one photo and makes the intermediate save and the preview it may be due for;
    // true when the preview scheduled the next request.
    bool process(const std::shared_ptr<platform::CapturedPhoto>& photo,
                 platform::MonotonicTime next);
    void saveIntermediate(int key);
    bool showPreview(const std::shared_ptr<platform::CapturedPhoto>& photo,
                     platform::MonotonicTime next);
    // Hands a result to the library writer from "PhotoSaverSession".
    void saveInBackground(std::optional<platform::imaging::FileData> data, int index,
                          std::optional<std::string> suffix);

    CameraManager& camera;
    std::shared_ptr<RunRecord> run_;
    bool finished_ = true;
    bool mergedAPhoto_ = false;
    bool reportedCameraError_ = false;
    std::vector<std::shared_ptr<platform::CapturedPhoto>> photosToProcess_;
    // The last photo's timestamp, kept from run to run: a photo with the same one is a
    // repeat and is skipped.
    platform::MediaTime lastTimestamp_ = platform::MediaTime::zero();
    platform::MonotonicTime lastFrameRequestTime_{};
};

} // namespace qv
