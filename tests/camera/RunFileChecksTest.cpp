// One whole run per mode on the simulated camera, every file it leaves read by the tools
// people open them with: exiftool reads the tags and validates the file, LibRaw develops
// the DNGs, libjpeg and libtiff decode the JPEGs and TIFFs, and the photo library holds
// each one.

#include "ImagingTestSupport.hpp"
#include "RunTestSupport.hpp"
#include "model/NightModeConfig.hpp"
#include "platform/capture/simulated/SimulatedCamera.hpp"
#include "platform/imaging/ImageDecoding.hpp"
#include "platform/imaging/Jpeg.hpp"
#include "platform/imaging/RawDevelopment.hpp"
#include "platform/imaging/Tiff.hpp"
#include "platform/system/AppInfo.hpp"

#include <fstream>

namespace qv::testing {
namespace {

namespace fs = std::filesystem;
namespace imaging = platform::imaging;
using imaging::test::runTool;

// A phone with one wide camera taking 160 x 120 photos, up to 1 s long.
constexpr const char* profileJson = R"({"cameras": [{"type": "wide",
    "photoSize": [160, 120], "previewSize": [64, 48], "videoSize": [64, 48],
    "exposureDuration": [0.00001, 1]}]})";

// One tag as exiftool reads it, numeric ("-n").
std::string tag(const fs::path& file, const std::string& name) {
    auto run = runTool("exiftool", {"-s3", "-n", "-" + name, file.string()});
    while (!run.output.empty() && run.output.back() == '\n') {
        run.output.pop_back();
    }
    return run.output;
}

class RunFileChecksTest : public RunTest {
protected:
    void SetUp() override {
        std::ofstream(home / "profile.json") << profileJson;
        platform::SimulatedCameraOptions options;
        options.source = "synthetic:7";
        options.profile = (home / "profile.json").string();
        simulated.emplace(platform::SimulatedCamera::make(options));
        installation.reset(); // the in-memory camera goes first
        installation.emplace(platform::CaptureDeviceDiscovery::install(simulated->devices()));
        startCamera();
        camera->settings.shouldSaveLocationData = true;
        camera->isGPSAuthorized = true;
    }
    void shoot(std::int64_t durationIndex, SupportedImageFormat format, double seconds) {
        plan(durationIndex, format);
        press();
        wait(seconds);
        ASSERT_EQ(camera->cameraState.get(), CameraState::ready) << console();
    }

    // What every result must be: readable tags, a valid file, a picture that decodes (a
    // DNG through LibRaw), and an asset of the library. Gives the picture's mean level.
    double checkFile(const fs::path& file, double exposureTime) {
        const auto validation = runTool("exiftool", {"-validate", "-a", file.string()});
        EXPECT_EQ(validation.exitCode, 0) << validation.output;
        EXPECT_EQ(validation.output.find("Error"), std::string::npos) << validation.output;
        EXPECT_DOUBLE_EQ(std::stod("0" + tag(file, "ExposureTime")), exposureTime) << file;
        EXPECT_EQ(tag(file, "Software"), "Quarn Vesil " + platform::appVersion());
        EXPECT_FALSE(tag(file, "ImageDescription").empty());
        EXPECT_NEAR(std::stod("0" + tag(file, "GPSLatitude")), 48.8584, 1e-4) << file;
        EXPECT_NEAR(std::stod("0" + tag(file, "GPSLongitude")), 2.2945, 1e-4) << file;

        const auto data = readFile(file);
        const std::string extension = file.extension().string();
        const auto picture = extension == ".DNG"   ? imaging::developRaw(data, {})
                             : extension == ".JPG" ? imaging::decodeJpeg(data)
                                                   : imaging::decodeTiff(data);
        EXPECT_TRUE(picture) << file << ": " << picture.error();
        bool inLibrary = false;
        const auto assets = library->fetchAssets();
        for (const auto& asset : assets.assets()) {
            inLibrary = inLibrary || asset.originalFilename == file.filename().string();
        }
        EXPECT_TRUE(inLibrary) << file;
        if (!picture) {
            return 0;
        }
        const auto mean = imaging::areaAverage(*picture);
        return mean ? ((*mean)[0] + (*mean)[1] + (*mean)[2]) / 3 : 0;
    }

    std::optional<platform::SimulatedCamera> simulated;
};

// A picture's size as it is shown: turned by its orientation, in points.
struct ShownSize {
    double width;
    double height;
};
ShownSize shownSize(const platform::RgbaImage& image) {
    const double w = double(image.width()) / image.scale;
    const double h = double(image.height()) / image.scale;
    return platform::swapsSides(image.orientation) ? ShownSize{h, w} : ShownSize{w, h};
}

// The picture LibRaw's dcraw_emu develops from a DNG, turned as the file says.
imaging::Result<platform::RgbaImage> developedByLibRaw(const fs::path& dng) {
    const auto run = runTool("dcraw_emu", {"-T", "-w", dng.string()});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return imaging::decodeTiff(readFile(dng.string() + ".tiff"));
}

// The simulated sensor is landscape, so a phone held upright turns its pictures a quarter:
// every file says so in its Orientation tag, LibRaw develops the DNG upright, and all the app
// shows of the run (the preview while shooting, the result, the library's thumbnail) is
// upright. Decoders keep the rows as stored, so a JPEG or TIFF made from the DNG carries
// the tag once.
TEST_F(RunFileChecksTest, PicturesOfAnUprightPhoneAreUprightEverywhere) {
    camera->deviceOrientation = platform::DeviceOrientation::portrait;
    camera->settings.showImagePreviewWhileShooting = true;
    useManualExposure(1, 800);
    plan(3, SupportedImageFormat::RAW);
    press();
    ASSERT_TRUE(dispatch.runUntil([&] { return previews->previewImage.get() != nullptr; },
                                  platform::Seconds(3)));
    const ShownSize preview = shownSize(*previews->previewImage.get());
    EXPECT_GT(preview.height, preview.width);
    const auto expectResultAndThumbnailUpright = [&] {
        const auto result = camera->resultUIImage.get();
        const auto thumbnail = camera->libraryThumbnail.get();
        ASSERT_TRUE(result && thumbnail);
        EXPECT_GT(shownSize(*result).height, shownSize(*result).width);
        EXPECT_GT(shownSize(*thumbnail).height, shownSize(*thumbnail).width);
    };
    wait(5);
    ASSERT_EQ(camera->cameraState.get(), CameraState::ready) << console();
    expectResultAndThumbnailUpright(); // of the DNG
    shoot(3, SupportedImageFormat::JPEG, 6);
    shoot(3, SupportedImageFormat::TIFF, 6);

    const auto files = documents();
    ASSERT_EQ(files.size(), 3u);
    for (const auto& file : files) {
        checkFile(file, 1);
        EXPECT_EQ(tag(file, "Orientation"), "6") << file;
    }
    const auto developed = developedByLibRaw(files[0]);
    ASSERT_TRUE(developed) << developed.error();
    EXPECT_GT(shownSize(*developed).height, shownSize(*developed).width);
    const auto jpeg = imaging::decodeJpeg(readFile(files[1]));
    const auto tiff = imaging::decodeTiff(readFile(files[2]));
    for (const auto* stored : {&jpeg, &tiff}) {
        ASSERT_TRUE(*stored) << stored->error();
        EXPECT_EQ((*stored)->width(), 160u); // as the sensor stored it
        EXPECT_EQ((*stored)->orientation, platform::ImageOrientation::right);
    }
    expectResultAndThumbnailUpright(); // of the TIFF
}

// Held in landscape with its top to the left, the phone's pictures are stored as they are
// shown: Orientation 1, landscape in every reader.
TEST_F(RunFileChecksTest, PicturesOfAPhoneHeldLandscapeLeftAreStoredAsShown) {
    camera->deviceOrientation = platform::DeviceOrientation::landscapeLeft;
    useManualExposure(1, 800);
    shoot(1, SupportedImageFormat::RAW, 3);
    shoot(1, SupportedImageFormat::JPEG, 3);
    const auto files = documents();
    ASSERT_EQ(files.size(), 2u);
    for (const auto& file : files) {
        EXPECT_EQ(tag(file, "Orientation"), "1") << file;
    }
    const auto developed = developedByLibRaw(files[0]);
    ASSERT_TRUE(developed) << developed.error();
    EXPECT_GT(shownSize(*developed).width, shownSize(*developed).height);
    const auto jpeg = imaging::decodeJpeg(readFile(files[1]));
    ASSERT_TRUE(jpeg) << jpeg.error();
    EXPECT_EQ(jpeg->orientation, platform::ImageOrientation::up);
    const auto result = camera->resultUIImage.get();
    ASSERT_TRUE(result);
    EXPECT_GT(shownSize(*result).width, shownSize(*result).height);
}

TEST_F(RunFileChecksTest, FrameAveragingInEveryFormat) {
    useManualExposure(1, 800);
    shoot(10, SupportedImageFormat::RAW, 13);
    ASSERT_EQ(documents().size(), 1u);
    checkFile(documents()[0], 1);
    EXPECT_EQ(tag(documents()[0], "ImageDescription").rfind("FA mode 10 frames in 10s", 0), 0u);

    shoot(3, SupportedImageFormat::JPEG, 6);
    shoot(3, SupportedImageFormat::TIFF, 6);
    const auto files = documents();
    ASSERT_EQ(files.size(), 3u);
    for (const auto& file : {files[1], files[2]}) {
        checkFile(file, 1);
        EXPECT_EQ(tag(file, "ImageDescription").rfind("FA mode 3 frames in 3s", 0), 0u);
    }
    EXPECT_EQ(library->fetchAssets().count(), 3u);
}

TEST_F(RunFileChecksTest, LightTrailsWithTheirAverage) {
    camera->sequenceMode = SequenceMode::lightTrails;
    camera->settings.saveFAwithLT = true;
    useManualExposure(1, 800);
    shoot(10, SupportedImageFormat::RAW, 13);
    const auto files = documents();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[0].string().find("_FA.DNG"), std::string::npos);
    EXPECT_NE(files[1].string().find("_LT.DNG"), std::string::npos);
    const double average = checkFile(files[0], 1);
    const double trails = checkFile(files[1], 1);
    EXPECT_GT(trails, average); // lights that moved stay bright
    const std::string log = console();
    EXPECT_LT(log.find("_FA\n"), log.find("_LT\n")); // the average written first
}

TEST_F(RunFileChecksTest, StarTrailsAtSeventyDegreesAndOneSecond) {
    camera->sequenceMode = SequenceMode::starTrails;
    useManualExposure(1, 800);
    shoot(12, SupportedImageFormat::RAW, 24);
    EXPECT_EQ(printed("Trails number of averaged images: 19"), 1u);
    ASSERT_EQ(documents().size(), 1u);
    checkFile(documents()[0], 1);
}

TEST_F(RunFileChecksTest, NightModeSevenSecondsInComputationalISO) {
    NightModeConfig::shared().setBetaNightISOMode(BetaNightISOMode::computational);
    camera->sequenceMode = SequenceMode::nightMode;
    camera->selectedNightModeShutterSpeedIndex = 6; // 7 s
    useManualExposure(1.0 / 60, 800);
    shoot(1, SupportedImageFormat::RAW, 12);
    NightModeConfig::shared().setBetaNightISOMode(BetaNightISOMode::native);
    EXPECT_EQ(printed("Processing photo"), 7u);
    ASSERT_EQ(documents().size(), 1u);
    checkFile(documents()[0], 7);
    EXPECT_EQ(tag(documents()[0], "ISO"), "200"); // shot at the base ISO, brightened by 2 EV
}

TEST_F(RunFileChecksTest, ARawBracketKeepsEachStreamsExposureWhenTheFormatFlipsLate) {
    shootBracketWithALateFormatFlip(2);
    const auto files = documents();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[0].string().find("_1.DNG"), std::string::npos);
    EXPECT_NE(files[1].string().find("_2.DNG"), std::string::npos);
    const double first = std::stod("0" + tag(files[0], "ExposureTime"));
    const double second = std::stod("0" + tag(files[1], "ExposureTime"));
    checkFile(files[0], first);
    checkFile(files[1], second);
    EXPECT_NEAR(second / first, 4, 0.5); // two stops apart
    const std::string log = console();
    EXPECT_LT(log.find("_2\n"), log.find("_1\n"));
}

} // namespace
} // namespace qv::testing
