#pragma once

#include "camera/PhotoLibraryManager.hpp"
#include "camera/RunRecord.hpp"
#include "platform/capture/CaptureTypes.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/formatting/WallTime.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

namespace qv {

class CameraManager;

// The banners of a run's faults, shown for bannerSeconds.
namespace runbanner {
inline constexpr double bannerSeconds = 3;
inline constexpr const char* cameraError = "Camera error: some frames are missing";
inline constexpr const char* diskFull = "Not saved: the disk is full";
inline constexpr const char* documentsOnly = "Saved to Documents only, not to Photos";
inline constexpr const char* mergingFailed = "Merging failed: the picture was not saved";
inline constexpr const char* notConverted = "Not saved: the picture could not be converted";
inline constexpr const char* notWritten = "Not saved: the file could not be written";
// The banner for a save's outcome; nothing for a picture saved in full.
std::optional<const char*> forSave(SaveOutcome outcome);
} // namespace runbanner

// The console line of a start or run that the background ended before a frame was merged.
inline constexpr const char* nothingShotLine = "Run ended before its first frame: nothing to save";

// Run k of a series of n, as the run was begun: a count changed in the settings meanwhile
// does not change it.
struct SeriesPosition {
    int run = 1;
    int runs = 1;
    friend bool operator==(const SeriesPosition&, const SeriesPosition&) = default;
};

// The run on the main queue: the shutter release and the abort, the start and its timer,
// the run record, the requests and the timers of the next request, the finish and the
// repetitions of a series. The work on "PhotoSession" is CaptureLoop's; planning a start is
// SequenceStart's.
//
// Generations: every start gets a number. Timers, device completions and photo reports
// carry the number of the start or run they belong to; once it is no longer the pending
// start or the current run (an abort, a finish), they do nothing. So an abort followed by a
// new press in a countdown never lets the old start fire too, and a repetition cancelled by
// an abort never runs beside a new series.
//
// One finish per run: the end of its time, an abort seen at the next request, and the app
// going to the background all ask for it; only the first does anything (one set of files,
// one sound, one repetition).
//
// Threads: main queue only, but for lastActiveFocusMode() and lastProgressFrameTime(),
// which "PhotoSession" reads through atomics.
class SequenceRun {
public:
    explicit SequenceRun(CameraManager& owner) : camera(owner) {}
    SequenceRun(const SequenceRun&) = delete;
    SequenceRun& operator=(const SequenceRun&) = delete;

    // In ready: arms a series and starts its first run; a press while a run is still
    // finishing is refused with a console line. In any other state: aborts what goes on.
    void shutterReleasePressed();
    // Abort plus finish, for the app going to the background: a pending start or repetition
    // is cancelled, no request follows, and the run shooting now (if any) is finished. With
    // none of them pending it does nothing: the state (noRAWCamera, cameraNotAllowed,
    // starting, changingSettings, ready) stays. A start it cancels, or a run it finishes
    // before a frame was merged, prints nothingShotLine.
    void finishSequence();

    // For SequenceStart (main queue)
    // The countdown of the last release was aborted: a start does nothing.
    bool countdownAborted() const { return countdownAborted_; }
    // A new start is pending; gives its generation.
    std::uint64_t beginPendingStart();
    bool isPendingStart(std::uint64_t generation) const;
    // Once the start task is done: the run begins at targetSequenceStartTime (or after the
    // release delay when there is none).
    void scheduleBegin(std::uint64_t generation);

    // For CaptureLoop, each queued on the main queue by the processing of a request.
    // The next request at `at`; with `progress` the frames merged are published first.
    void scheduleNextShot(std::uint64_t generation, platform::MonotonicTime at, bool progress);
    // The run's time or frame count was reached, or it was aborted.
    void endRun(std::uint64_t generation);
    // The results are saved: the state, the counters and the next run of a series.
    void finishMainSteps(std::uint64_t generation, bool reviewDue);

    // Which run of its series is shooting or finishing; nothing outside a run.
    std::optional<SeriesPosition> seriesPosition() const;

    // The focus mode before the run, brought back after it. Any thread.
    platform::FocusMode lastActiveFocusMode() const { return lastActiveFocusMode_.load(); }
    void setLastActiveFocusMode(platform::FocusMode mode) { lastActiveFocusMode_.store(mode); }
    // When the last preview while shooting was published; nothing after a run ended. Any
    // thread.
    std::optional<platform::WallTime> lastProgressFrameTime() const;

private:
    bool isBusy() const; // a start is pending or a run has not finished yet
    void release();
    void abort();
    void begin(std::uint64_t generation);
    std::shared_ptr<RunRecord> makeRecord(std::uint64_t generation);
    bool isCurrent(std::uint64_t generation) const; // the run, and not finishing
    void capturePhoto();
    void captureNextPhoto(std::uint64_t generation);
    // `inBackground`: finishSequence's finish, which tells a run that merged nothing.
    void finish(bool inBackground = false);
    void playCaptureFeedback();
    void updateStarEV(const RunRecord& run);
    void countLongShots(const RunRecord& run);
    void scheduleNextRepetition();
    void startNextRepetition();
    void setLastProgressFrameTime(std::optional<platform::WallTime> time);

    CameraManager& camera;
    std::uint64_t generations_ = 0;
    struct PendingStart {
        std::uint64_t generation = 0;
        platform::CancelToken begin; // set once the start task is done
    };
    std::optional<PendingStart> pending_;
    std::shared_ptr<RunRecord> run_; // from the begin until the finish's last step
    bool finishing_ = false;         // run_ is finishing
    bool finishRestoresDevice_ = false;
    platform::CancelToken nextShot_;
    platform::CancelToken repetition_;
    bool repetitionPending_ = false; // repetition_ is scheduled and has not started yet
    bool countdownAborted_ = true;
    // The runs of the series released last, fixed at the release: the count in the
    // settings may change between its runs.
    int seriesRuns_ = 1;
    std::atomic<platform::FocusMode> lastActiveFocusMode_{platform::FocusMode::continuousAutoFocus};
    // Nanoseconds since 1970 of the last preview; noProgressTime when there is none.
    static constexpr std::int64_t noProgressTime = INT64_MIN;
    std::atomic<std::int64_t> lastProgressFrameTime_{noProgressTime};
};

} // namespace qv
