#include "engine/ExposureSequence.hpp"

#include "model/NightModeConfig.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/formatting/DurationFormatter.hpp"
#include "platform/formatting/SaturatingCast.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/system/AppInfo.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <initializer_list>
#include <string_view>

namespace qv {

namespace {

using platform::WallTime;

template <std::size_t N>
std::int64_t indexWithin(const std::array<double, N>&, std::int64_t index) {
    return std::clamp<std::int64_t>(index, 0, std::int64_t(N) - 1);
}

template <std::size_t N>
double entryAt(const std::array<double, N>& table, std::int64_t index) {
    return table[std::size_t(indexWithin(table, index))];
}

WallTime plus(WallTime date, double seconds) {
    return date + platform::nanosecondsFrom(platform::Seconds(seconds));
}

double secondsBetween(WallTime from, WallTime to) {
    return platform::Seconds(to - from).count();
}

std::string pressureText(std::optional<platform::SystemPressureLevel> pressure) {
    using enum platform::SystemPressureLevel;
    if (!pressure) {
        return "";
    }
    switch (*pressure) {
    case fair:
        return " fair";
    case serious:
        return " serious";
    case critical:
        return " critical";
    case shutdown:
        return " shutdown";
    case nominal:
        break;
    }
    return "";
}

// The mode's abbreviation in the description; night mode names itself otherwise.
std::string_view modeCode(SequenceMode mode) {
    return mode == SequenceMode::nightMode ? std::string_view() : abbreviation(mode);
}

// Joins text pieces (one allocation; also keeps GCC's -Wrestrict quiet about
// chains of operator+).
std::string concat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) {
        text += part;
    }
    return text;
}

} // namespace

const std::array<double, 64>& ExposureSequence::durations() {
    static const std::array<double, 64> table = [] {
        std::array<double, 64> t{0,   1,   2,    3,    4,    5,    6,    7,    8,   9,   10,
                                 15,  20,  30,   40,   50,   60,   70,   80,   90,  100, 110,
                                 120, 150, 180,  210,  240,  270,  300,  360,  420, 480, 540,
                                 600, 900, 1200, 1800, 2400, 3000, 3600, 5400, 7200};
        for (std::size_t i = 0; i < 22; ++i) {
            t[42 + i] = double(10800 + 3600 * i);
        }
        return t;
    }();
    return table;
}

const std::array<double, 13>& ExposureSequence::interimIntervals() {
    static const std::array<double, 13> table{0,   15,  30,  60,  90,   120, 180,
                                              240, 300, 600, 900, 1800, 3600};
    return table;
}

std::shared_ptr<ExposureSequence> ExposureSequence::make(platform::UserDefaults& defaults,
                                                         PhotoMergerFactory mergerFactory,
                                                         platform::Battery& battery) {
    return std::shared_ptr<ExposureSequence>(
        new ExposureSequence(defaults, std::move(mergerFactory), battery));
}

ExposureSequence::ExposureSequence(platform::UserDefaults& store, PhotoMergerFactory factory,
                                   platform::Battery& b)
    : defaults(store), mergerFactory(std::move(factory)), battery(b) {
    battery.setMonitoringEnabled(true);
}

std::int64_t ExposureSequence::selectedDurationIndex() const {
    return indexWithin(durations(), defaults.integerValue(totalTimeKey).value_or(1));
}

void ExposureSequence::setSelectedDurationIndex(std::int64_t index) {
    defaults.set(totalTimeKey, index);
}

std::int64_t ExposureSequence::selectedInterimIntervalIndex() const {
    return indexWithin(interimIntervals(), defaults.integerValue(interimIndexKey).value_or(0));
}

void ExposureSequence::setSelectedInterimIntervalIndex(std::int64_t index) {
    defaults.set(interimIndexKey, index);
}

std::optional<WallTime> ExposureSequence::startedAt() const {
    std::lock_guard lock(mutex);
    return started;
}

std::shared_ptr<PhotoMerger> ExposureSequence::photoMerger() const {
    std::lock_guard lock(mutex);
    return merger;
}

void ExposureSequence::setLastIntermediateTakenAt(int key, WallTime date) {
    std::lock_guard lock(mutex);
    intermediatesTaken.insert_or_assign(key, date);
}

std::map<int, WallTime> ExposureSequence::lastIntermediateTakenAt() const {
    std::lock_guard lock(mutex);
    return intermediatesTaken;
}

ExposureSequence::RunPlan ExposureSequence::currentPlan() const {
    return {sequenceMode,
            trailNumberOfFramesToAverage,
            isNightMode,
            nightModeTotalFrames,
            durationNightMode,
            selectedDurationIndex(),
            selectedInterimIntervalIndex()};
}

ExposureSequence::RunPlan ExposureSequence::plan() const {
    {
        std::lock_guard lock(mutex);
        if (runPlan) {
            return *runPlan;
        }
    }
    return currentPlan();
}

double ExposureSequence::duration(const RunPlan& plan) {
    return plan.isNightMode ? plan.durationNightMode : entryAt(durations(), plan.durationIndex);
}

double ExposureSequence::totalDuration() const {
    return duration(plan());
}

double ExposureSequence::remainingTime() const {
    const auto start = startedAt();
    if (!start) {
        return 0;
    }
    return secondsBetween(platform::wallNow(), plus(*start, totalDuration()));
}

bool ExposureSequence::isRunning() const {
    const RunPlan run = plan();
    if (!run.isNightMode) {
        return remainingTime() > 0;
    }
    std::lock_guard lock(mutex);
    const std::int64_t merged = merger ? std::int64_t(merger->totalFrames1()) : 0;
    const bool running =
        merged < run.nightModeTotalFrames && deliveredPhotos < run.nightModeTotalFrames;
    if (!running && !merger && !reportedNightEndWithoutMerger) {
        reportedNightEndWithoutMerger = true;
        platform::print("Night mode run ended after", deliveredPhotos, "photos without a merger");
    }
    return running;
}

int ExposureSequence::numberOfIntermediates() const {
    const RunPlan run = plan();
    if (run.interimIntervalIndex < 1) {
        return 0;
    }
    const double interval = entryAt(interimIntervals(), run.interimIntervalIndex);
    return platform::saturatingCast<int>(duration(run) / interval) - 1;
}

std::vector<WallTime> ExposureSequence::intermediateDates() const {
    const int n = numberOfIntermediates();
    const auto start = startedAt();
    std::vector<WallTime> dates;
    if (n < 1 || !start) {
        return dates;
    }
    const double total = totalDuration();
    for (int k = 1; k <= n; ++k) {
        dates.push_back(plus(*start, double(k) * total / double(n + 1)));
    }
    return dates;
}

std::optional<WallTime> ExposureSequence::nextIntermediateDate(int key) const {
    const auto start = startedAt();
    if (!start || numberOfIntermediates() < 1) {
        return std::nullopt;
    }
    WallTime after = *start;
    {
        std::lock_guard lock(mutex);
        if (const auto it = intermediatesTaken.find(key); it != intermediatesTaken.end()) {
            after = it->second;
        }
    }
    for (WallTime date : intermediateDates()) {
        if (date > after) {
            return date;
        }
    }
    return std::nullopt;
}

void ExposureSequence::start() {
    const RunPlan next = currentPlan();
    std::lock_guard lock(mutex);
    if (next.sequenceMode == SequenceMode::starTrails) {
        merger = nullptr;
    }
    runPlan = next;
    started = platform::wallNow();
    deliveredPhotos = 0;
    reportedNightEndWithoutMerger = false;
}

void ExposureSequence::reset() {
    std::weak_ptr<ExposureSequence> weak = weak_from_this();
    platform::DispatchQueue::main().async([weak] {
        const auto self = weak.lock();
        if (!self) {
            return;
        }
        std::shared_ptr<PhotoMerger> dropped; // released outside the lock
        std::lock_guard lock(self->mutex);
        self->started.reset();
        self->runPlan.reset();
        self->intermediatesTaken.clear();
        dropped = std::move(self->merger);
        self->deliveredPhotos = 0;
    });
}

void ExposureSequence::addPhoto(const std::shared_ptr<platform::CapturedPhoto>& photo) {
    const auto begin = platform::monotonicNow();
    std::shared_ptr<PhotoMerger> current;
    {
        std::lock_guard lock(mutex);
        ++deliveredPhotos;
        current = merger;
    }
    if (current) {
        current->addPhoto(photo);
    } else {
        makePhotoMerger(photo, true);
    }
    const double elapsed = platform::Seconds(platform::monotonicNow() - begin).count();
    platform::print("Adding Photo to sequence took", elapsed, "seconds");
}

void ExposureSequence::makePhotoMerger(const std::shared_ptr<platform::CapturedPhoto>& photo,
                                       bool countFirstPhoto) {
    if (!mergerFactory) {
        return;
    }
    const RunPlan run = plan();
    PhotoMergerChoice choice =
        mergerFactory(photo, {run.sequenceMode, run.trailNumberOfFramesToAverage, countFirstPhoto});
    if (choice.keepsCurrent) {
        return;
    }
    std::lock_guard lock(mutex);
    std::swap(merger, choice.merger); // the old merger is released with `choice`
}

void ExposureSequence::didFinishProcessingPhoto(
    const std::shared_ptr<platform::CapturedPhoto>& photo) {
    makePhotoMerger(photo, false);
    platform::print("\nEarly init merger\n");
}

std::string ExposureSequence::formatTime(double seconds) {
    return platform::formatAbbreviatedDuration(seconds);
}

platform::MetadataDictionary
ExposureSequence::photoMetadata(std::optional<platform::SystemPressureLevel> pressure, int run,
                                int runs) const {
    const std::string runText =
        runs < 2 ? "" : concat({" ", std::to_string(run), "/", std::to_string(runs)});
    const std::string pressureWords = pressureText(pressure);
    const auto start = startedAt();
    if (!start) {
        return {};
    }
    const double elapsed = std::ceil(secondsBetween(*start, platform::wallNow()));
    const std::string elapsedText = formatTime(elapsed);
    if (elapsedText.empty()) {
        return {};
    }
    platform::MetadataDictionary result;
    result.set(platform::metadata::tiffSoftware, concat({"Quarn Vesil ", platform::appVersion()}));
    result.set(platform::metadata::tiffImageDescription,
               runDescription(plan(), photoMerger(), elapsedText, pressureWords, runText));
    return result;
}

std::string ExposureSequence::runDescription(const RunPlan& run,
                                             const std::shared_ptr<PhotoMerger>& current,
                                             const std::string& elapsed,
                                             const std::string& pressureWords,
                                             const std::string& runText) const {
    if (run.sequenceMode == SequenceMode::nightMode) {
        const NightModeConfig& night = NightModeConfig::shared();
        return concat({"Night Mode Algorithm ",
                       std::to_string(rawValue(night.betaNightMergeMode()) + 1), " ISO mode ",
                       night.betaNightISOMode() == BetaNightISOMode::computational ? "2" : "1"});
    }
    if (!current) {
        return run.durationIndex < 1 ? "Single frame" : "Initial frame";
    }
    return concat({modeCode(run.sequenceMode), " mode ",
                   std::to_string(current->totalFrames1() + 1), " frames in ", elapsed, " ",
                   std::to_string(batteryPercent(battery.batteryLevel())), "% battery",
                   pressureWords, runText});
}

int batteryPercent(float level) {
    const double percent = double(level) * 100.0;
    return platform::saturatingCast<int>(percent >= 0 ? std::floor(percent + 1e-4)
                                                      : std::ceil(percent - 1e-4));
}

} // namespace qv
