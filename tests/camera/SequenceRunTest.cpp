// Whole runs on the virtual clock with an in-memory camera, as the user sees them: the
// files a run leaves, their names and descriptions, intermediates, the gap between
// requests, series, previews, the night and star plans, brackets, and what each fault
// shows.

#include "RunTestSupport.hpp"
#include "model/NightModeConfig.hpp"
#include "platform/compute/Faults.hpp"
#include "platform/files/AtomicFile.hpp"
#include "platform/imaging/Dng.hpp"
#include "platform/imaging/ExifMetadata.hpp"
#include "platform/imaging/ImageDecoding.hpp"
#include "platform/media/MetadataKeys.hpp"
#include "platform/photos/PhotoLibraryFaults.hpp"

#include <cmath>
#include <fstream>

namespace qv::testing {
namespace {

namespace fs = std::filesystem;
namespace imaging = platform::imaging;
namespace key = platform::metadata;

const platform::MetadataDictionary* group(const platform::MetadataDictionary& tags,
                                          const char* name) {
    return tags.dictionary(name);
}

platform::MetadataDictionary tagsOf(const fs::path& file) {
    auto tags = imaging::readMetadata(readFile(file));
    EXPECT_TRUE(tags) << tags.error();
    return tags ? *tags : platform::MetadataDictionary();
}

std::string description(const fs::path& file) {
    const auto tags = tagsOf(file);
    const auto* tiff = group(tags, key::tiffGroup);
    const auto* text = tiff ? tiff->find(key::tiffImageDescription) : nullptr;
    return text && text->string() ? *text->string() : "<none>";
}

double exposureTime(const fs::path& file) {
    const auto tags = tagsOf(file);
    const auto* exif = group(tags, key::exifGroup);
    const auto* time = exif ? exif->find(key::exifExposureTime) : nullptr;
    return time ? time->number().value_or(-1) : -1;
}

// The mean of a Bayer DNG's samples above its black level.
double meanAboveBlack(const fs::path& file, double black = 528) {
    const auto raw = imaging::decodeDng(readFile(file));
    EXPECT_TRUE(raw) << raw.error();
    if (!raw) {
        return 0;
    }
    const auto& buffer = *raw->pixelBuffer;
    double sum = 0;
    for (std::size_t y = 0; y < buffer.height(); ++y) {
        const auto* row =
            reinterpret_cast<const std::uint16_t*>(buffer.baseAddress() + y * buffer.bytesPerRow());
        for (std::size_t x = 0; x < buffer.width(); ++x) {
            sum += double(row[x]) - black;
        }
    }
    return sum / double(buffer.width() * buffer.height());
}

// Seconds after 00:00:00 of the file's name ("QV_20240101_000201..." is 121).
int secondsOfName(const fs::path& file) {
    const std::string time = file.filename().string().substr(12, 6);
    return std::stoi(time.substr(0, 2)) * 3600 + std::stoi(time.substr(2, 2)) * 60 +
           std::stoi(time.substr(4, 2));
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// A small-photo camera that offers no RAW photos, only processed ones.
Camera processedOnlyCamera() {
    auto camera = smallPhotoCamera();
    auto state = camera->state();
    state.rawPhotoPixelFormats = {};
    camera->setState(state);
    return camera;
}

// A small-photo camera that can take ProRAW photos.
Camera proRAWCamera() {
    auto camera = smallPhotoCamera();
    auto state = camera->state();
    state.proRAWSupported = true;
    camera->setState(state);
    return camera;
}

class SequenceRunTest : public RunTest {
protected:
    void SetUp() override { startCamera(); }
    // Shoots one run and waits until it is saved.
    void shoot(double seconds) {
        press();
        wait(seconds);
        ASSERT_EQ(camera->cameraState.get(), CameraState::ready);
    }
};

TEST_F(SequenceRunTest, AnAveragingRunSavesOneFileOfItsFramesAndGivesTheCameraBack) {
    useManualExposure(1, 100);
    plan(10, SupportedImageFormat::RAW);
    press();
    // The start waits for the custom exposure of 1 s to reach the camera.
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    wait(1.1);
    EXPECT_EQ(camera->cameraState.get(), CameraState::shooting);
    EXPECT_TRUE(camera->isShootingWithTimeLeft());
    wait(12);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    ASSERT_EQ(documentNames(), std::vector<std::string>{"QV_20240101_000011.DNG"});
    EXPECT_TRUE(startsWith(description(documents().front()), "FA mode 10 frames in 10s "));
    EXPECT_EQ(exposureTime(documents().front()), 1);
    EXPECT_FALSE(group(tagsOf(documents().front()), key::gpsGroup)); // location saving is off
    EXPECT_EQ(assetCount(), 1u);
    EXPECT_EQ(endSounds(), 1u);
    EXPECT_EQ(cameras[0]->exposureMode(), platform::ExposureMode::continuousAutoExposure);
    EXPECT_EQ(cameras[0]->focusMode(), platform::FocusMode::continuousAutoFocus);
    EXPECT_EQ(camera->lastProgressFrameNumber.get(), 0u);
    EXPECT_FALSE(previews->previewImage.get());
    // The controller's diagnostic receiver is kept but hears none of the run's photos.
    EXPECT_TRUE(camera->debugDelegate);
    EXPECT_EQ(printed("Debug pixel buffer received"), 0u);
}

TEST_F(SequenceRunTest, IntermediatesDivideTheRunButNotANightRun) {
    useManualExposure(1, 100);
    plan(33, SupportedImageFormat::RAW, 5); // 600 s, every 120 s
    press();
    wait(1.1);
    const double start = 1.1; // within a frame of the run's start
    wait(610);
    const auto files = documents();
    ASSERT_EQ(files.size(), 5u);
    for (int k = 1; k <= 4; ++k) {
        const int at = secondsOfName(files[std::size_t(k - 1)]);
        EXPECT_GE(at, int(start) + 120 * k - 1);
        EXPECT_LE(at, int(start) + 120 * k + 2);
    }
    EXPECT_EQ(assetCount(), 5u);

    camera->sequenceMode = SequenceMode::nightMode;
    camera->selectedNightModeShutterSpeedIndex = 29; // 30 s of the night list
    plan(33, SupportedImageFormat::RAW, 1);          // every 15 s, were it not night
    shoot(40);
    EXPECT_EQ(documents().size(), 6u);
}

TEST_F(SequenceRunTest, TheGapBeforeARequestGrowsWithTheSeries) {
    const auto gap = [](double length, std::optional<double> frame = std::nullopt) {
        RunRecord run;
        run.seriesLength = length;
        if (frame) {
            run.defaultExposure = Exposure{100, platform::MediaTime::fromSeconds(*frame)};
        }
        return CaptureLoop::gapBeforeRequest(run);
    };
    EXPECT_EQ(gap(60), 0);
    EXPECT_EQ(gap(61), 0.01);
    EXPECT_EQ(gap(300), 0.01);
    EXPECT_EQ(gap(301), 0.02);
    EXPECT_EQ(gap(900), 0.02);
    EXPECT_EQ(gap(901), 0.2);
    EXPECT_EQ(gap(120 * 10), 0.2);
    EXPECT_EQ(gap(86400, 0.5), 0);

    // Measured between deliveries: the exposure, then the gap or the photo's processing
    // (0.05 s), whichever ends later.
    const auto intervals = [&](std::int64_t durationIndex, double frame) {
        useManualExposure(frame, 100);
        plan(durationIndex, SupportedImageFormat::RAW);
        const std::string processed = "Photo Time: " + platform::describe(frame + 0.05) + ",";
        const std::string gapped = "Photo Time: " + platform::describe(frame + 0.2) + ",";
        const std::size_t before = printed(processed) + 100 * printed(gapped);
        press();
        wait(6);
        press(); // abort: the run ends at its next request
        wait(3);
        return printed(processed) + 100 * printed(gapped) - before;
    };
    EXPECT_GE(intervals(35, 0.25), 500u); // 1200 s: a gap of 0.2 s
    EXPECT_LT(intervals(16, 0.25), 100u); // 60 s: none
    EXPECT_LT(intervals(35, 0.5), 100u);  // 0.5 s frames: none however long
}

TEST_F(SequenceRunTest, ASeriesRunsItsRunsApartAndRestoresTheCameraOnce) {
    useManualExposure(0.5, 100);
    plan(11, SupportedImageFormat::RAW); // 15 s runs
    camera->selectedRepetitionsIndex = 2;
    camera->selectedIntervalDelayIndex = 13; // 30 s
    press();
    wait(20);
    EXPECT_EQ(camera->cameraState.get(), CameraState::countdown);
    EXPECT_EQ(camera->remainingSequences.get(), 2);
    EXPECT_EQ(camera->seriesPosition(), std::nullopt);
    camera->selectedRepetitionsIndex = 1; // the count changes between two runs of the series
    EXPECT_GT(camera->remainingCountdownSeconds(), 20);
    EXPECT_EQ(cameras[0]->exposureMode(), platform::ExposureMode::custom); // not restored yet
    EXPECT_EQ(cameras[0]->focusMode(), platform::FocusMode::locked);
    wait(30);
    EXPECT_EQ(camera->cameraState.get(), CameraState::shooting);
    EXPECT_EQ(camera->remainingSequences.get(), 1);
    EXPECT_EQ(camera->seriesPosition(), (SeriesPosition{2, 3})); // the series as released
    wait(100);
    EXPECT_EQ(camera->cameraState.get(), CameraState::ready);
    const auto files = documents();
    ASSERT_EQ(files.size(), 3u);
    for (int run = 1; run <= 3; ++run) {
        const std::string text = description(files[std::size_t(run - 1)]);
        std::string ending = " ";
        ending += std::to_string(run);
        ending += "/3";
        EXPECT_EQ(text.substr(text.size() - 4), ending) << text;
    }
    EXPECT_GE(secondsOfName(files[1]) - secondsOfName(files[0]), 45); // 15 s run + 30 s wait
    EXPECT_EQ(cameras[0]->exposureMode(), platform::ExposureMode::continuousAutoExposure);
    EXPECT_EQ(cameras[0]->focusMode(), platform::FocusMode::continuousAutoFocus);
    EXPECT_EQ(camera->settings.longShots.get(), 1);         // counted once, for the series
    EXPECT_EQ(camera->settings.longRAWShots2plus.get(), 0); // 15 s is not a long RAW run
    EXPECT_EQ(endSounds(), 3u);
}

TEST_F(SequenceRunTest, LightTrailsSaveTheirAverageFirstAndTheTrailIsBrighter) {
    camera->sequenceMode = SequenceMode::lightTrails;
    camera->settings.saveFAwithLT = true;
    useManualExposure(1, 100);
    plan(10, SupportedImageFormat::RAW);
    press();
    wait(1.1);
    for (int frame = 0; frame < 12; ++frame) { // a light that comes and goes
        cameras[0]->setFrameLevel(frame % 2 == 0 ? 0.05 : 0.4);
        wait(1.05);
    }
    wait(1);
    const auto names = documentNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].substr(18), "_FA.DNG");
    EXPECT_EQ(names[1].substr(18), "_LT.DNG");
    const auto assets = library->fetchAssets(); // newest first
    ASSERT_EQ(assets.count(), 2u);
    EXPECT_EQ(assets.object(1)->originalFilename, names[0]); // the average went in first
    EXPECT_GT(meanAboveBlack(documents()[1]), 1.5 * meanAboveBlack(documents()[0]));

    plan(0, SupportedImageFormat::RAW); // a single frame: one file, no suffix
    shoot(4);
    EXPECT_EQ(documentNames().size(), 3u);
    EXPECT_EQ(documentNames()[2].size(), std::string("QV_20240101_000000.DNG").size());
}

TEST_F(SequenceRunTest, StarTrailsAverageGroupsByTheRuleOf500) {
    camera->sequenceMode = SequenceMode::starTrails;
    useManualExposure(1, 800);
    plan(5, SupportedImageFormat::RAW);
    shoot(10);
    EXPECT_EQ(printed("Trails number of averaged images: 19"), 1u);
    EXPECT_EQ(camera->exposureSequence->trailNumberOfFramesToAverage, 19u);
    EXPECT_EQ(documents().size(), 1u);
}

TEST_F(SequenceRunTest, StarEVRemembersTheLastManualStarExposure) {
    const auto runAt = [&](float aperture, double seconds, float iso) {
        install({smallPhotoCamera(15)});
        auto state = cameras[0]->state();
        state.lensAperture = aperture;
        cameras[0]->setState(state);
        startCamera();
        camera->sequenceMode = SequenceMode::starTrails;
        useManualExposure(seconds, iso);
        plan(0, SupportedImageFormat::RAW);
        shoot(2 * seconds + 3);
        return camera->settings.starEV.get();
    };
    EXPECT_EQ(runAt(1.8f, 15, 1600), -2.333); // log2(3.24 / 240) = -6.21, held at the floor
    EXPECT_EQ(runAt(2.8f, 1.0 / 50, 100), double(26.0f / 3)); // log2(392) = 8.61 in thirds
}

TEST_F(SequenceRunTest, ANightRunCoversItsLengthAndIsBrightenedInComputationalISO) {
    camera->sequenceMode = SequenceMode::nightMode;
    camera->selectedNightModeShutterSpeedIndex = 6; // 7 s at frames of 1 s
    cameras[0]->setFrameLevel(0.05);
    useManualExposure(1.0 / 60, 800);
    plan(1, SupportedImageFormat::RAW);
    NightModeConfig::shared().setBetaNightISOMode(BetaNightISOMode::native);
    camera->nightModeFrameCount = 3; // left from before: every start counts from 0
    shoot(12);
    EXPECT_EQ(camera->nightModeFrameCount, 0);
    NightModeConfig::shared().setBetaNightISOMode(BetaNightISOMode::computational);
    shoot(12);
    NightModeConfig::shared().setBetaNightISOMode(BetaNightISOMode::native);
    const auto files = documents();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(printed("Processing photo"), 14u); // 7 frames a run
    EXPECT_EQ(exposureTime(files[0]), 7);
    EXPECT_EQ(exposureTime(files[1]), 7);
    EXPECT_NEAR(meanAboveBlack(files[1]) / meanAboveBlack(files[0]), 4, 0.1); // +2 EV
    EXPECT_EQ(cameras[0]->iso(), 200); // the computational run shot at the base ISO

    // A night index the list no longer has (a camera with shorter exposures) is its end.
    camera->selectedNightModeShutterSpeedIndex = 100;
    shoot(40);
    EXPECT_EQ(exposureTime(documents().back()), 30);
}

TEST_F(SequenceRunTest, ARawBracketSavesEachStreamWithItsOwnExposureEvenWhenTheFormatFlipsLate) {
    shootBracketWithALateFormatFlip(2);
    const auto names = documentNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].substr(18), "_1.DNG");
    EXPECT_EQ(names[1].substr(18), "_2.DNG");
    EXPECT_EQ(assetCount(), 2u);
    const std::string log = console();
    EXPECT_LT(log.find("_2\n"), log.find("_1\n")); // stream 2 written first
    const double first = exposureTime(documents()[0]);
    const double second = exposureTime(documents()[1]);
    EXPECT_GT(second, 3 * first); // +2 EV
    EXPECT_EQ(printed("Adding photo") % 2, 0u);
}

TEST_F(SequenceRunTest, ABracketThatCannotBeShotIsSavedAsOnePicture) {
    // Each case plans a +2 EV RAW bracket that the camera cannot shoot: one photo per request,
    // one file without a stream number, no second stream of the same picture.
    std::size_t assets = 0; // the library is kept from controller to controller
    const auto shootPlannedBracket = [&](const char* extension) {
        camera->exposureSequence->bracketEV = 2;
        plan(2, SupportedImageFormat::RAW);
        shoot(5);
        const auto names = documentNames();
        ASSERT_EQ(names.size(), 1u) << extension;
        EXPECT_EQ(names[0].substr(18), extension);
        EXPECT_EQ(assetCount(), ++assets);
        // Every photo delivered and merged is the single one of its request (0 1 1).
        EXPECT_EQ(printed(" 0 1 1\n"), 2 * printed("Processing photo")); // and its "Adding"
        fs::remove_all(home / "Documents");
    };

    // A run before the camera reported any exposure has no exposures to bracket.
    camera->exposureSettings.set(std::optional<ExposureSettings>());
    shootPlannedBracket(".DNG");

    install({processedOnlyCamera()});
    startCamera();
    shootPlannedBracket(".TIF");

    install({proRAWCamera()});
    startCamera();
    camera->photoOutput->setProRAWEnabled(true);
    shootPlannedBracket(".DNG");
}

TEST_F(SequenceRunTest, PreviewsFollowTheRunEveryTenFramesAndASecond) {
    camera->settings.showImagePreviewWhileShooting = true;
    useManualExposure(0.1, 100);
    plan(10, SupportedImageFormat::RAW);
    press();
    wait(0.5);
    EXPECT_EQ(camera->lastProgressFrameNumber.get(), 1u); // the first finished request
    EXPECT_TRUE(previews->previewImage.get());
    wait(0.7);
    EXPECT_EQ(camera->lastProgressFrameNumber.get(), 1u); // not yet 10 frames more
    std::vector<std::uint32_t> shown{1};
    const auto record = camera->lastProgressFrameNumber.subscribe(
        [&](std::uint32_t frames) { shown.push_back(frames); });
    wait(8);
    for (std::size_t i = 1; i + 1 < shown.size(); ++i) {
        EXPECT_GE(shown[i], shown[i - 1] + 10);
    }
    wait(4);
    EXPECT_EQ(camera->lastProgressFrameNumber.get(), 0u);
    EXPECT_FALSE(previews->previewImage.get());
}

TEST_F(SequenceRunTest, PhotosAreTurnedAsThePhoneIsHeldAndCarryTheLocationWhenAllowed) {
    camera->settings.shouldSaveLocationData = true;
    camera->isGPSAuthorized = true;
    camera->deviceOrientation = platform::DeviceOrientation::landscapeLeft;
    plan(1, SupportedImageFormat::RAW);
    shoot(4);
    const auto connection = camera->photoOutput->connections().front();
    EXPECT_EQ(connection->videoOrientation(), platform::CaptureVideoOrientation::landscapeRight);
    const auto tags = tagsOf(documents().front());
    const auto* gps = group(tags, key::gpsGroup);
    ASSERT_TRUE(gps);
    EXPECT_NEAR(*gps->find(key::gpsLatitude)->number(), 48.8584, 1e-4);

    camera->deviceOrientation = platform::DeviceOrientation::faceUp;
    shoot(4);
    EXPECT_EQ(connection->videoOrientation(), platform::CaptureVideoOrientation::portrait);
    EXPECT_EQ(printed(noPositionLine), 0u);
}

TEST_F(SequenceRunTest, SavingTheLocationWithoutAPositionSaysOnceThatThePicturesHaveNone) {
    location.reset(); // no --location: the desktop has no GPS receiver
    startCamera();
    camera->settings.shouldSaveLocationData = true;
    camera->isGPSAuthorized = true;
    plan(1, SupportedImageFormat::RAW);
    shoot(4);
    shoot(4);
    ASSERT_EQ(documents().size(), 2u);
    for (const fs::path& file : documents()) {
        EXPECT_FALSE(group(tagsOf(file), key::gpsGroup)) << file;
    }
    EXPECT_EQ(printed(noPositionLine), 1u) << console();
}

TEST_F(SequenceRunTest, ProRAWPhotosAreSavedAsALinearDNG) {
    install({proRAWCamera()});
    startCamera();
    camera->photoOutput->setProRAWEnabled(true);
    plan(2, SupportedImageFormat::RAW);
    shoot(5);
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_EQ(documents().front().extension(), ".DNG");
    const auto raw = imaging::decodeDng(readFile(documents().front()));
    ASSERT_TRUE(raw) << raw.error();
    EXPECT_EQ(raw->pixelBuffer->pixelFormat(), platform::pixelformat::rgba64LE);
}

TEST_F(SequenceRunTest, ACameraWithoutRAWSavesItsTIFFAsItIsOrConverted) {
    install({processedOnlyCamera()});
    startCamera();
    plan(2, SupportedImageFormat::RAW);
    shoot(5);
    EXPECT_FALSE(camera->isRAWcapabale.get());
    plan(2, SupportedImageFormat::JPEG);
    shoot(5);
    const auto files = documents();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].extension(), ".TIF"); // RAW chosen, but there is no RAW to keep
    EXPECT_EQ(files[1].extension(), ".JPG");
    EXPECT_TRUE(imaging::decodeImage(readFile(files[0])));
    EXPECT_TRUE(imaging::decodeImage(readFile(files[1])));
}

TEST_F(SequenceRunTest, ARepeatedDeliveryIsSkippedAndAMissingExposureModelSkipsOnlyTheCustomOne) {
    camera->exposureSettings.set(std::optional<ExposureSettings>()); // nothing reported yet
    plan(2, SupportedImageFormat::RAW);
    press();
    wait(1);
    EXPECT_EQ(printed("No custom exposure: the camera has not reported an exposure yet"), 1u);
    EXPECT_EQ(camera->cameraState.get(), CameraState::shooting); // the run goes on
    camera->photoOutput->repeatNextTimestamp();
    wait(4);
    EXPECT_EQ(printed("skipping frame"), 1u);
    EXPECT_EQ(printed("Processing photo") + 1, printed("Photo Time: "));
    EXPECT_EQ(documents().size(), 1u);
}

class RunFaultsTest : public SequenceRunTest {};

TEST_F(RunFaultsTest, ACameraErrorShowsOnceAndTheRunGoesOnWithTheFramesDelivered) {
    useManualExposure(0.5, 100);
    plan(10, SupportedImageFormat::RAW);
    press();
    wait(3);
    camera->photoOutput->setPhotoFailure("sensor timeout");
    wait(2);
    camera->photoOutput->setPhotoFailure(std::nullopt);
    camera->photoOutput->setRequestFailure("capture failed");
    wait(1);
    camera->photoOutput->setRequestFailure(std::nullopt);
    EXPECT_EQ(camera->messageToShow.get(), "Camera error: some frames are missing");
    EXPECT_TRUE(camera->isShowingMessageOverlay.get());
    wait(8);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_FALSE(camera->isShowingMessageOverlay.get());
    EXPECT_GE(printed("ERROR"), 1u);
}

TEST_F(RunFaultsTest, ADeadCameraNeverSpinsTheLoop) {
    useManualExposure(0.5, 100);
    plan(10, SupportedImageFormat::RAW);
    press();
    wait(2);
    camera->captureSession->beginInterruption(); // every request fails before it exposes
    wait(5);
    EXPECT_LE(printed("session interrupted"), 11u); // one request a frame time at most
    camera->captureSession->endInterruption();
    wait(5);
    EXPECT_EQ(documents().size(), 1u);
}

TEST_F(RunFaultsTest, AFullDiskSavesNothingAndSaysSo) {
    plan(2, SupportedImageFormat::JPEG);
    {
        platform::ScopedDiskFull full;
        shoot(4);
    }
    EXPECT_EQ(camera->messageToShow.get(), "Not saved: the disk is full");
    EXPECT_TRUE(documents().empty());
    EXPECT_EQ(assetCount(), 0u);
}

// "Backup to iCloud" on and a cloud container that is a file: the run goes to Documents and
// the library and no banner shows; only when Documents cannot be made either is the run
// lost, and the banner says so.
TEST_F(RunFaultsTest, ARunTheCloudFolderCannotTakeIsSavedInDocumentsAndOnlyNoFolderLosesIt) {
    std::ofstream(home / "a-file") << "a file, not a folder";
    folders.cloudContainer = home / "a-file";
    startCamera();
    camera->photoLibraryManager.isEnableCloudStorage = true;
    plan(2, SupportedImageFormat::RAW);
    shoot(4);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_EQ(assetCount(), 1u);
    EXPECT_EQ(camera->messageToShow.get(), ""); // no banner
    EXPECT_EQ(printed("cannot be made (Not a directory)"), 1u) << console();

    folders.documents = home / "a-file/Local";
    startCamera();
    plan(2, SupportedImageFormat::RAW);
    shoot(4);
    EXPECT_EQ(camera->messageToShow.get(), "Not saved: the file could not be written");
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_EQ(assetCount(), 1u);
}

TEST_F(RunFaultsTest, ALibraryThatRefusesKeepsTheDocumentsFileAndSaysSo) {
    plan(2, SupportedImageFormat::TIFF);
    platform::ScopedPhotoLibraryFaults refusing({.failChanges = true});
    shoot(4);
    EXPECT_EQ(camera->messageToShow.get(), "Saved to Documents only, not to Photos");
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_EQ(documents().front().extension(), ".TIF");
}

TEST_F(RunFaultsTest, AFailedMergerEndsTheRunWithoutAPicture) {
    plan(2, SupportedImageFormat::RAW);
    platform::compute::Faults faults;
    faults.noDevice = true;
    platform::compute::ScopedFaults noGpu(faults);
    shoot(4);
    EXPECT_EQ(camera->messageToShow.get(), "Merging failed: the picture was not saved");
    EXPECT_TRUE(documents().empty());
    EXPECT_EQ(endSounds(), 1u);
}

} // namespace
} // namespace qv::testing
