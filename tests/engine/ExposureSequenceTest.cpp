#include "engine/ExposureSequence.hpp"

#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/formatting/DurationFormatter.hpp"
#include "platform/media/MetadataKeys.hpp"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace qv {
namespace {

namespace fs = std::filesystem;
namespace key = platform::metadata;
using platform::Seconds;

class FakeMerger : public PhotoMerger {
public:
    explicit FakeMerger(bool countFirst) : frames(countFirst ? 1 : 0) {}
    std::uint32_t totalFrames1() const override { return frames.load(); }
    void addPhoto(const std::shared_ptr<platform::CapturedPhoto>&) override { ++frames; }
    std::optional<platform::imaging::FileData> resultData(int, double) override {
        return std::nullopt;
    }
    std::atomic<std::uint32_t> frames;
};

// A machine with one battery at a given capacity, in a temp folder.
class BatteryFolder {
public:
    explicit BatteryFolder(const std::string& capacity) {
        std::string pattern = (fs::temp_directory_path() / "qv-battery-XXXXXX").string();
        root = mkdtemp(pattern.data());
        if (!capacity.empty()) {
            fs::create_directories(root / "BAT0");
            std::ofstream(root / "BAT0/type") << "Battery\n";
            std::ofstream(root / "BAT0/capacity") << capacity << "\n";
        }
    }
    ~BatteryFolder() { fs::remove_all(root); }
    fs::path root;
};

class ExposureSequenceTest : public testing::Test {
protected:
    void SetUp() override {
        previousSink = platform::setConsoleSink([this](std::string_view text) { console += text; });
    }
    void TearDown() override { platform::setConsoleSink(previousSink); }

    // A sequence whose factory makes fake mergers (none for processed photos
    // in night mode, as the real choice does).
    std::shared_ptr<ExposureSequence> makeSequence() {
        return ExposureSequence::make(
            *settings,
            [this](const std::shared_ptr<platform::CapturedPhoto>& photo,
                   const PhotoMergerRequest& request) {
                ++factoryCalls;
                if (!photo->isRawPhoto() && request.sequenceMode == SequenceMode::nightMode) {
                    return PhotoMergerChoice{true, nullptr};
                }
                return PhotoMergerChoice{false,
                                         std::make_shared<FakeMerger>(request.countFirstPhoto)};
            },
            battery);
    }

    platform::VirtualDispatch dispatch; // made first: the main queue is virtual
    BatteryFolder batteryFolder{"87"};
    platform::Battery battery{batteryFolder.root};
    std::unique_ptr<platform::UserDefaults> settings = platform::UserDefaults::inMemory();
    int factoryCalls = 0;
    std::string console;
    platform::ConsoleSink previousSink;
};

double secondsAfter(platform::WallTime start, platform::WallTime date) {
    return Seconds(date - start).count();
}

TEST_F(ExposureSequenceTest, TablesAndIndexClamping) {
    const auto& durations = ExposureSequence::durations();
    EXPECT_EQ(durations[0], 0);
    EXPECT_EQ(durations[41], 7200);
    EXPECT_EQ(durations[42], 10800);
    EXPECT_EQ(durations[63], 86400);
    EXPECT_TRUE(std::is_sorted(durations.begin(), durations.end()));
    EXPECT_EQ(ExposureSequence::interimIntervals()[12], 3600);

    auto sequence = makeSequence();
    EXPECT_EQ(sequence->selectedDurationIndex(), 1); // absent key: default
    EXPECT_EQ(sequence->totalDuration(), 1);
    sequence->setSelectedDurationIndex(80);
    EXPECT_EQ(sequence->totalDuration(), 86400);
    EXPECT_EQ(sequence->selectedDurationIndex(), 63); // the stored value stays, reads clamp
    EXPECT_EQ(settings->integerValue("totalTime"), 80);
    sequence->setSelectedDurationIndex(-3);
    EXPECT_EQ(sequence->totalDuration(), 0);
    EXPECT_EQ(sequence->selectedDurationIndex(), 0);
    sequence->setSelectedInterimIntervalIndex(40);
    EXPECT_EQ(sequence->selectedInterimIntervalIndex(), 12);
    sequence->setSelectedInterimIntervalIndex(-1);
    EXPECT_EQ(sequence->selectedInterimIntervalIndex(), 0);
    sequence->isNightMode = true;
    sequence->durationNightMode = 20;
    EXPECT_EQ(sequence->totalDuration(), 20);
    EXPECT_TRUE(battery.isMonitoringEnabled());
}

TEST_F(ExposureSequenceTest, EveryTableEntryReadsDistinctlyInThePickers) {
    const auto distinct = [](const auto& table) {
        std::set<std::string> texts;
        for (double seconds : table) {
            texts.insert(platform::formatPositionalDuration(seconds));
        }
        return texts.size();
    };
    EXPECT_EQ(distinct(ExposureSequence::durations()), 64u);
    EXPECT_EQ(distinct(ExposureSequence::interimIntervals()), 13u);
}

TEST_F(ExposureSequenceTest, IntermediateDatesDivideTheRun) {
    auto sequence = makeSequence();
    // Starts a run of the table entries at these indices; gives its start.
    const auto startRun = [&](std::int64_t duration, std::int64_t interval) {
        sequence->setSelectedDurationIndex(duration);
        sequence->setSelectedInterimIntervalIndex(interval);
        sequence->start();
        return *sequence->startedAt();
    };
    sequence->setSelectedDurationIndex(33);             // 600 s
    sequence->setSelectedInterimIntervalIndex(5);       // 120 s
    EXPECT_TRUE(sequence->intermediateDates().empty()); // not started
    auto start = startRun(33, 5);
    auto dates = sequence->intermediateDates();
    ASSERT_EQ(dates.size(), 4u);
    EXPECT_DOUBLE_EQ(secondsAfter(start, dates[0]), 120);
    EXPECT_DOUBLE_EQ(secondsAfter(start, dates[3]), 480);

    start = startRun(20, 2); // 100 s, 30 s
    dates = sequence->intermediateDates();
    ASSERT_EQ(dates.size(), 2u);
    EXPECT_NEAR(secondsAfter(start, dates[0]), 33.333333, 1e-5);
    EXPECT_NEAR(secondsAfter(start, dates[1]), 66.666667, 1e-5);

    startRun(19, 4); // 90 s, 90 s
    EXPECT_EQ(sequence->numberOfIntermediates(), 0);
    EXPECT_TRUE(sequence->intermediateDates().empty());

    startRun(0, 4);
    EXPECT_EQ(sequence->numberOfIntermediates(), -1);
    EXPECT_FALSE(sequence->nextIntermediateDate(0));
    startRun(63, 40); // clamped to 3600 s
    EXPECT_EQ(sequence->numberOfIntermediates(), 23);
}

TEST_F(ExposureSequenceTest, NextIntermediateSkipsMissedDatesPerStream) {
    auto sequence = makeSequence();
    sequence->setSelectedDurationIndex(33);
    sequence->setSelectedInterimIntervalIndex(5);
    sequence->start();
    const auto start = *sequence->startedAt();
    EXPECT_DOUBLE_EQ(secondsAfter(start, *sequence->nextIntermediateDate(0)), 120);
    // Stream 0 saved late, at 250 s: the date at 240 s is skipped.
    sequence->setLastIntermediateTakenAt(0, start + std::chrono::seconds(250));
    EXPECT_DOUBLE_EQ(secondsAfter(start, *sequence->nextIntermediateDate(0)), 360);
    // Stream 1 keeps its own schedule.
    EXPECT_DOUBLE_EQ(secondsAfter(start, *sequence->nextIntermediateDate(1)), 120);
    sequence->setLastIntermediateTakenAt(0, start + std::chrono::seconds(480));
    EXPECT_FALSE(sequence->nextIntermediateDate(0));
}

TEST_F(ExposureSequenceTest, RemainingTimeRunsPastZero) {
    auto sequence = makeSequence();
    sequence->setSelectedDurationIndex(10); // 10 s
    EXPECT_EQ(sequence->remainingTime(), 0);
    EXPECT_FALSE(sequence->isRunning());
    sequence->start();
    EXPECT_DOUBLE_EQ(sequence->remainingTime(), 10);
    EXPECT_TRUE(sequence->isRunning());
    dispatch.runFor(Seconds(13));
    EXPECT_DOUBLE_EQ(sequence->remainingTime(), -3);
    EXPECT_FALSE(sequence->isRunning());

    sequence->setSelectedDurationIndex(0); // single frame: over at once
    sequence->start();
    EXPECT_LE(sequence->remainingTime(), 0);
    EXPECT_FALSE(sequence->isRunning());
}

TEST_F(ExposureSequenceTest, PhotosMakeTheMergerThenFeedIt) {
    auto sequence = makeSequence();
    sequence->start();
    const auto photo = platform::makeSyntheticPhoto({.width = 8, .height = 8});
    sequence->addPhoto(photo);
    sequence->addPhoto(photo);
    sequence->addPhoto(photo);
    EXPECT_EQ(factoryCalls, 1);
    ASSERT_TRUE(sequence->photoMerger());
    EXPECT_EQ(sequence->photoMerger()->totalFrames1(), 3u);
    EXPECT_NE(console.find("Adding Photo to sequence took "), std::string::npos);

    // The early callback makes a merger that has not counted its photo.
    sequence->didFinishProcessingPhoto(photo);
    EXPECT_EQ(sequence->photoMerger()->totalFrames1(), 0u);
    EXPECT_NE(console.find("\nEarly init merger\n"), std::string::npos);
}

TEST_F(ExposureSequenceTest, StartDropsTheMergerOnlyInStarTrails) {
    auto sequence = makeSequence();
    const auto photo = platform::makeSyntheticPhoto({.width = 8, .height = 8});
    sequence->addPhoto(photo);
    sequence->start();
    EXPECT_TRUE(sequence->photoMerger());
    sequence->sequenceMode = SequenceMode::starTrails;
    sequence->start();
    EXPECT_FALSE(sequence->photoMerger());
}

TEST_F(ExposureSequenceTest, AStartedRunKeepsThePlanItStartedWith) {
    auto sequence = makeSequence();
    sequence->setSelectedDurationIndex(10); // 10 s
    sequence->setSelectedInterimIntervalIndex(0);
    sequence->sequenceMode = SequenceMode::lightTrails;
    sequence->start();

    // The screens edit the next plan while the run goes on.
    sequence->setSelectedDurationIndex(33); // 600 s
    sequence->setSelectedInterimIntervalIndex(5);
    sequence->sequenceMode = SequenceMode::nightMode;
    sequence->isNightMode = true;
    sequence->durationNightMode = 2;

    EXPECT_EQ(sequence->totalDuration(), 10);
    EXPECT_EQ(sequence->numberOfIntermediates(), 0);
    sequence->addPhoto(platform::makeSyntheticPhoto(
        {.width = 8, .height = 8, .pixelFormat = platform::pixelformat::bgra32}));
    EXPECT_TRUE(sequence->photoMerger()); // made for light trails, not refused as night mode
    dispatch.runFor(Seconds(9));
    EXPECT_TRUE(sequence->isRunning()); // ends by time, not by a night frame count
    dispatch.runFor(Seconds(2));
    EXPECT_FALSE(sequence->isRunning());

    sequence->reset();
    dispatch.runUntilIdle();
    EXPECT_EQ(sequence->totalDuration(), 2); // after the run: the plan as it stands
}

TEST_F(ExposureSequenceTest, ResetClearsOnTheMainQueue) {
    auto sequence = makeSequence();
    sequence->start();
    sequence->addPhoto(platform::makeSyntheticPhoto({.width = 8, .height = 8}));
    sequence->setLastIntermediateTakenAt(0, *sequence->startedAt());
    sequence->reset();
    EXPECT_TRUE(sequence->startedAt()); // deferred
    dispatch.runUntilIdle();
    EXPECT_FALSE(sequence->startedAt());
    EXPECT_FALSE(sequence->photoMerger());
    EXPECT_TRUE(sequence->lastIntermediateTakenAt().empty());

    // A sequence released before the main queue runs: nothing happens.
    sequence->start();
    sequence->reset();
    sequence.reset();
    EXPECT_NO_FATAL_FAILURE(dispatch.runUntilIdle());
}

TEST_F(ExposureSequenceTest, NightRunEndsByMergedFrames) {
    auto sequence = makeSequence();
    sequence->sequenceMode = SequenceMode::nightMode;
    sequence->isNightMode = true;
    sequence->nightModeTotalFrames = 5;
    sequence->durationNightMode = 1;
    sequence->start();
    dispatch.runFor(Seconds(60)); // time does not end a night run
    const auto photo = platform::makeSyntheticPhoto({.width = 8, .height = 8});
    for (int i = 0; i < 4; ++i) {
        sequence->addPhoto(photo);
        EXPECT_TRUE(sequence->isRunning());
    }
    sequence->addPhoto(photo);
    EXPECT_FALSE(sequence->isRunning());
    EXPECT_EQ(console.find("without a merger"), std::string::npos);
}

TEST_F(ExposureSequenceTest, NightRunWithoutMergerEndsByDeliveredPhotos) {
    auto sequence = makeSequence();
    sequence->sequenceMode = SequenceMode::nightMode;
    sequence->isNightMode = true;
    sequence->nightModeTotalFrames = 3;
    sequence->start();
    const auto processed =
        platform::makeSyntheticPhoto({.pixelFormat = platform::pixelformat::bgra32});
    for (int i = 0; i < 2; ++i) {
        sequence->addPhoto(processed);
        EXPECT_TRUE(sequence->isRunning());
    }
    sequence->addPhoto(processed);
    EXPECT_FALSE(sequence->photoMerger());
    EXPECT_EQ(factoryCalls, 3); // every photo tried again
    EXPECT_FALSE(sequence->isRunning());
    EXPECT_FALSE(sequence->isRunning());
    const auto line = console.find("Night mode run ended after 3 photos without a merger");
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(console.find("Night mode run ended", line + 1), std::string::npos); // printed once
}

} // namespace
} // namespace qv
