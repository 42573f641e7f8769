#include "engine/ExposureSequence.hpp"
#include "engine/MetaDataCustomizer.hpp"
#include "model/NightModeConfig.hpp"
#include "platform/capture/CapturedPhotoFactory.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/store/UserDefaults.hpp"
#include "platform/system/AppInfo.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace qv {
namespace {

namespace fs = std::filesystem;
namespace key = platform::metadata;
using platform::Seconds;
using platform::SystemPressureLevel;

class CountingMerger : public PhotoMerger {
public:
    explicit CountingMerger(std::uint32_t n) : frames(n) {}
    std::uint32_t totalFrames1() const override { return frames; }
    void addPhoto(const std::shared_ptr<platform::CapturedPhoto>&) override { ++frames; }
    std::optional<platform::imaging::FileData> resultData(int, double) override {
        return std::nullopt;
    }
    std::uint32_t frames;
};

class PhotoDescriptionTest : public testing::Test {
protected:
    PhotoDescriptionTest() { setCapacity("87"); }
    static fs::path makeRoot() {
        std::string pattern = (fs::temp_directory_path() / "qv-power-XXXXXX").string();
        const fs::path folder = mkdtemp(pattern.data());
        fs::create_directories(folder / "BAT0");
        std::ofstream(folder / "BAT0/type") << "Battery\n";
        return folder;
    }
    ~PhotoDescriptionTest() override { fs::remove_all(root); }
    void setCapacity(const std::string& text) {
        std::ofstream(root / "BAT0/capacity") << text << "\n";
    }

    // A started run of `mode` whose merger holds `frames` frames, started `ago` seconds back.
    std::shared_ptr<ExposureSequence>
    runningSequence(std::uint32_t frames, double ago,
                    SequenceMode mode = SequenceMode::frameAveraging) {
        auto sequence = ExposureSequence::make(
            *settings,
            [frames](const std::shared_ptr<platform::CapturedPhoto>&, const PhotoMergerRequest&) {
                return PhotoMergerChoice{false, std::make_shared<CountingMerger>(frames)};
            },
            battery);
        sequence->setSelectedDurationIndex(33);
        sequence->sequenceMode = mode;
        sequence->start();
        sequence->makePhotoMerger(platform::makeSyntheticPhoto(), true);
        dispatch.runFor(Seconds(ago));
        return sequence;
    }

    std::string description(const platform::MetadataDictionary& metadata) {
        const auto* text = metadata.find(key::tiffImageDescription);
        return text && text->string() ? *text->string() : "<none>";
    }

    platform::VirtualDispatch dispatch;
    // The night-mode settings live in the standard store: keep them in memory.
    platform::StandardDefaultsOverride standardDefaults{platform::UserDefaults::inMemory()};
    fs::path root = makeRoot();
    platform::Battery battery{root};
    std::unique_ptr<platform::UserDefaults> settings = platform::UserDefaults::inMemory();
};

TEST_F(PhotoDescriptionTest, WorkedExample) {
    const auto sequence = runningSequence(120, 120.4);
    const auto metadata = sequence->photoMetadata(SystemPressureLevel::fair, 2, 3);
    EXPECT_EQ(metadata.size(), 2u);
    EXPECT_EQ(*metadata.find(key::tiffSoftware)->string(), "Quarn Vesil " + platform::appVersion());
    EXPECT_EQ(description(metadata), "FA mode 121 frames in 2m 1s 87% battery fair 2/3");
}

TEST_F(PhotoDescriptionTest, ModesPressuresAndRuns) {
    auto sequence = runningSequence(11, 12, SequenceMode::lightTrails);
    EXPECT_EQ(description(sequence->photoMetadata(std::nullopt, 1, 1)),
              "LT mode 12 frames in 12s 87% battery");
    sequence = runningSequence(11, 12, SequenceMode::starTrails);
    EXPECT_EQ(description(sequence->photoMetadata(SystemPressureLevel::nominal, 3, 3)),
              "ST mode 12 frames in 12s 87% battery 3/3");
    EXPECT_EQ(description(sequence->photoMetadata(SystemPressureLevel::shutdown, 1, 1)),
              "ST mode 12 frames in 12s 87% battery shutdown");
}

TEST_F(PhotoDescriptionTest, BatteryPercentReadsWhatTheMachineSays) {
    setCapacity("53");
    auto sequence = runningSequence(0, 1);
    EXPECT_EQ(description(sequence->photoMetadata(std::nullopt, 1, 1)),
              "FA mode 1 frames in 1s 53% battery");
    EXPECT_EQ(batteryPercent(0.53f), 53);
    EXPECT_EQ(batteryPercent(0.29f), 29);
    EXPECT_EQ(batteryPercent(0.999f), 99);
    EXPECT_EQ(batteryPercent(-1.0f), -100);
    fs::remove_all(root / "BAT0");
    EXPECT_EQ(description(sequence->photoMetadata(std::nullopt, 1, 1)),
              "FA mode 1 frames in 1s -100% battery");
}

TEST_F(PhotoDescriptionTest, NightSingleAndInitialFrames) {
    auto sequence = runningSequence(4, 30, SequenceMode::nightMode);
    EXPECT_EQ(description(sequence->photoMetadata(SystemPressureLevel::serious, 1, 2)),
              "Night Mode Algorithm 1 ISO mode 1");
    // The settings the app sets at start-up.
    NightModeConfig::shared().setBetaNightMergeMode(BetaNightMergeMode::whiteClipping);
    EXPECT_EQ(description(sequence->photoMetadata(SystemPressureLevel::serious, 1, 2)),
              "Night Mode Algorithm 4 ISO mode 1");
    NightModeConfig::shared().setBetaNightMergeMode(BetaNightMergeMode::blackAndWhiteClippingRBG);
    NightModeConfig::shared().setBetaNightISOMode(BetaNightISOMode::computational);
    EXPECT_EQ(description(sequence->photoMetadata(std::nullopt, 1, 1)),
              "Night Mode Algorithm 6 ISO mode 2");

    auto fresh = ExposureSequence::make(*settings, {}, battery);
    EXPECT_TRUE(fresh->photoMetadata(std::nullopt, 1, 1).empty()); // not started
    fresh->setSelectedDurationIndex(0);
    fresh->start();
    EXPECT_EQ(description(fresh->photoMetadata(std::nullopt, 1, 1)), "Single frame");
    fresh->setSelectedDurationIndex(5);
    fresh->start();
    EXPECT_EQ(description(fresh->photoMetadata(std::nullopt, 1, 1)), "Initial frame");
}

class CustomizerTest : public testing::Test {
protected:
    void SetUp() override {
        previousSink = platform::setConsoleSink([this](std::string_view text) { console += text; });
    }
    void TearDown() override {
        platform::setConsoleSink(previousSink);
        MetaDataCustomizer::shared().setOverwriteShutterSpeed(std::nullopt);
    }
    static double exposure(const platform::MetadataDictionary& m) {
        return *m.dictionary(key::exifGroup)->find(key::exifExposureTime)->number();
    }
    std::string console;
    platform::ConsoleSink previousSink;
};

TEST_F(CustomizerTest, NormalisesOntoTheStandardScale) {
    auto& customizer = MetaDataCustomizer::shared();
    const auto photo = platform::makeSyntheticPhoto({.exposureSeconds = 0.00798});
    const auto metadata = customizer.replacementMetadata(*photo);
    EXPECT_DOUBLE_EQ(exposure(metadata), 0.008);
    EXPECT_NE(console.find("Shutter Speed: 0.00798\n"), std::string::npos) << console;
    EXPECT_NE(console.find("Normalized Shutter Speed: 0.008\n"), std::string::npos) << console;
    // Everything else passes through.
    EXPECT_EQ(*metadata.dictionary(key::dngGroup), *photo->metadata().dictionary(key::dngGroup));
    EXPECT_EQ(*metadata.dictionary(key::tiffGroup), *photo->metadata().dictionary(key::tiffGroup));

    // The file data says 1/125 s.
    const auto file = photo->fileDataRepresentation(customizer);
    ASSERT_TRUE(file) << file.error();
    EXPECT_DOUBLE_EQ(exposure(*platform::imaging::readMetadata(*file)), 0.008);
}

TEST_F(CustomizerTest, OverrideWinsAndIntegerTimesCount) {
    auto& customizer = MetaDataCustomizer::shared();
    customizer.setOverwriteShutterSpeed(20.0);
    EXPECT_EQ(customizer.overwriteShutterSpeed(), 20.0);
    EXPECT_DOUBLE_EQ(exposure(customizer.replacementMetadata(
                         *platform::makeSyntheticPhoto({.exposureSeconds = 0.5}))),
                     20.0);
    customizer.setOverwriteShutterSpeed(std::nullopt);

    platform::CapturedPhoto::Properties properties;
    properties.metadata.dictionary(key::exifGroup).set(key::exifExposureTime, 2); // integer
    const auto integerPhoto = platform::CapturedPhoto::make(properties);
    EXPECT_DOUBLE_EQ(exposure(customizer.replacementMetadata(*integerPhoto)), 2.0);
}

TEST_F(CustomizerTest, PhotoWithoutExposureTimeIsUnchanged) {
    platform::CapturedPhoto::Properties properties;
    properties.metadata.dictionary(key::tiffGroup).set(key::tiffSoftware, "x");
    const auto photo = platform::CapturedPhoto::make(properties);
    EXPECT_EQ(MetaDataCustomizer::shared().replacementMetadata(*photo), photo->metadata());
    properties.metadata.dictionary(key::exifGroup).set(key::exifExposureTime, "fast");
    const auto textPhoto = platform::CapturedPhoto::make(properties);
    EXPECT_EQ(MetaDataCustomizer::shared().replacementMetadata(*textPhoto), textPhoto->metadata());
    EXPECT_TRUE(console.empty());
}

} // namespace
} // namespace qv
