#pragma once

#include "engine/PhotoMerger.hpp"
#include "engine/PhotoMergerChoice.hpp"
#include "model/Enumerations.hpp"
#include "model/Exposure.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/media/Metadata.hpp"
#include "platform/sensors/Battery.hpp"
#include "platform/sensors/SystemPressure.hpp"
#include "platform/store/UserDefaults.hpp"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// The plan and progress of one shooting run: mode, duration and intermediate
// saves from fixed tables, repetitions, bracket, night-mode frame plan, start
// time, the merger accumulating the photos and the intermediate saves made.
//
// Threads: the plan fields are written on the main queue before a run starts;
// addPhoto, isRunning and nextIntermediateDate run on the photo queue; reset
// defers its writes to the main queue. start() copies the plan (the fields and
// the two stored indices) for the run: until the reset, every answer about the
// run (duration, end, intermediates, merger choice, description) comes from that
// copy, so the main queue may edit the next plan while the photo queue works.
// The start time, the run's plan, the merger, the intermediate record and the
// delivered-photo count are shared between those queues and guarded by one
// mutex; the merger's own work runs outside it.
class ExposureSequence : public std::enable_shared_from_this<ExposureSequence> {
public:
    static constexpr const char* totalTimeKey = "totalTime";
    static constexpr const char* interimIndexKey = "interimIndex";

    // Run lengths in seconds (64 entries; entry 0 is a single frame), also the
    // waits between the runs of a series.
    static const std::array<double, 64>& durations();
    // Intervals of intermediate saves in seconds (13 entries; entry 0 is off).
    static const std::array<double, 13>& interimIntervals();

    // Switches battery monitoring on so the description knows the level. The
    // two indices persist in `defaults`, which must outlive the sequence. The
    // factory chooses the merger of each run (choosePhotoMerger unless a test
    // gives its own).
    static std::shared_ptr<ExposureSequence>
    make(platform::UserDefaults& defaults = platform::UserDefaults::standard(),
         PhotoMergerFactory mergerFactory = choosePhotoMerger,
         platform::Battery& battery = platform::Battery::current());

    // Plan, written before a run
    std::optional<Exposure> defaultExposure;
    std::optional<Exposure> alternativeExposure;
    float bracketEV = 0;
    SequenceMode sequenceMode = SequenceMode::frameAveraging;
    int repetitions = 1;
    std::uint32_t trailNumberOfFramesToAverage = 1;
    bool isNightMode = false;
    int nightModeTotalFrames = 1;
    double durationNightMode = 0;

    // Persisted indices (defaults 1 and 0), read on every access and clamped into their
    // tables (0...63 and 0...12), so a stored value out of range still names an entry.
    std::int64_t selectedDurationIndex() const;
    void setSelectedDurationIndex(std::int64_t index);
    std::int64_t selectedInterimIntervalIndex() const;
    void setSelectedInterimIntervalIndex(std::int64_t index);

    // Progress
    std::optional<platform::WallTime> startedAt() const;
    std::shared_ptr<PhotoMerger> photoMerger() const;
    // The time of the latest intermediate save of a stream (key: the photo's
    // sequenceCount), recorded by the capture loop.
    void setLastIntermediateTakenAt(int key, platform::WallTime date);
    std::map<int, platform::WallTime> lastIntermediateTakenAt() const;

    // The run's length: the started run's plan, else the plan as it stands.
    double totalDuration() const;
    // Seconds until the planned end; negative after it, 0 before the start.
    double remainingTime() const;
    // Night runs: until the merged frames or the photos delivered reach
    // nightModeTotalFrames; other runs: while time remains.
    bool isRunning() const;
    int numberOfIntermediates() const;
    std::vector<platform::WallTime> intermediateDates() const;
    std::optional<platform::WallTime> nextIntermediateDate(int key) const;

    void start();
    // Clears the start time, the intermediate record and the merger on the
    // main queue, unless the sequence is gone by then. Returns at once.
    void reset();

    // Hands a delivered photo to the merger, making one when there is none.
    // Blocks until the merger's work is done.
    void addPhoto(const std::shared_ptr<platform::CapturedPhoto>& photo);
    // Chooses the merger for the photo and stores it (see PhotoMergerChoice).
    void makePhotoMerger(const std::shared_ptr<platform::CapturedPhoto>& photo,
                         bool countFirstPhoto);
    // A capture request that names the sequence as its delegate: the photo
    // makes the merger without being counted.
    void didFinishProcessingPhoto(const std::shared_ptr<platform::CapturedPhoto>& photo);

    // The TIFF entries (Software, ImageDescription) for the next photo
    // request; empty before the start.
    platform::MetadataDictionary
    photoMetadata(std::optional<platform::SystemPressureLevel> pressure, int run, int runs) const;

    // The elapsed or remaining time as the screens show it ("2m 1s").
    static std::string formatTime(double seconds);

    ExposureSequence(const ExposureSequence&) = delete;
    ExposureSequence& operator=(const ExposureSequence&) = delete;

private:
    ExposureSequence(platform::UserDefaults& defaults, PhotoMergerFactory factory,
                     platform::Battery& battery);
    // What a run works from, copied at start().
    struct RunPlan {
        SequenceMode sequenceMode = SequenceMode::frameAveraging;
        std::uint32_t trailNumberOfFramesToAverage = 1;
        bool isNightMode = false;
        int nightModeTotalFrames = 1;
        double durationNightMode = 0;
        std::int64_t durationIndex = 1;
        std::int64_t interimIntervalIndex = 0;
    };
    // The started run's plan; before the start (main queue only) the plan as it stands.
    RunPlan plan() const;
    RunPlan currentPlan() const;
    static double duration(const RunPlan& plan);
    std::string runDescription(const RunPlan& plan, const std::shared_ptr<PhotoMerger>& merger,
                               const std::string& elapsed, const std::string& pressureText,
                               const std::string& runText) const;

    platform::UserDefaults& defaults;
    PhotoMergerFactory mergerFactory;
    platform::Battery& battery;

    mutable std::mutex mutex; // guards the five fields below (main and photo queues)
    std::optional<platform::WallTime> started;
    std::optional<RunPlan> runPlan;
    std::shared_ptr<PhotoMerger> merger;
    std::map<int, platform::WallTime> intermediatesTaken;
    int deliveredPhotos = 0;
    mutable bool reportedNightEndWithoutMerger = false;
};

// The battery percentage the description shows: level x 100 truncated, with
// a tolerance of 1e-4 so 0.53 reads 53; -1 (no battery) reads -100.
int batteryPercent(float level);

} // namespace qv
