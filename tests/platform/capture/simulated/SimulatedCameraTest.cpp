// The simulated phone: its profile (built-in and JSON), the options, discovery, and what its
// cameras do by themselves on the virtual clock.
#include "platform/capture/simulated/SimulatedCamera.hpp"

#include "ImagingTestSupport.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/CaptureSession.hpp"
#include "platform/capture/CaptureVideoPreviewLayer.hpp"
#include "platform/capture/scene/SyntheticNightScene.hpp"
#include "platform/capture/simulated/CameraProfileJson.hpp"
#include "platform/capture/simulated/SimulatedCaptureDevice.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/VirtualDispatch.hpp"
#include "platform/sensors/SystemPressure.hpp"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace qv::platform {
namespace {

CameraProfile parsed(const std::string& json) {
    auto result = parseCameraProfile(json);
    if (auto* error = std::get_if<CameraProfileError>(&result)) {
        ADD_FAILURE() << error->text();
        return {};
    }
    return std::get<CameraProfile>(result);
}

std::string faultOf(const std::string& json) {
    auto result = parseCameraProfile(json);
    const auto* error = std::get_if<CameraProfileError>(&result);
    return error ? error->text() : "no fault";
}

TEST(CameraProfile, BuiltInPhoneHasWideTeleAndUltraWideBackCameras) {
    const CameraProfile p = CameraProfile::builtIn();
    ASSERT_EQ(p.cameras.size(), 3u);
    const SimulatedCameraSpec& wide = p.cameras[0];
    EXPECT_EQ(wide.photoSize, (PixelDimensions{4032, 3024}));
    EXPECT_EQ(wide.fieldOfView, 70);
    EXPECT_EQ(wide.aperture, 1.78);
    EXPECT_EQ(wide.minISO, 32);
    EXPECT_EQ(wide.maxISO, 3072);
    EXPECT_EQ(wide.minExposureDuration, 1.0 / 100000);
    EXPECT_EQ(wide.maxExposureDuration, 1);
    EXPECT_EQ(p.cameras[1].fieldOfView, 26.3);
    EXPECT_EQ(p.cameras[2].fieldOfView, 108.3);
}

TEST(CameraProfile, JsonReplacesTheProfileAndMissingFieldsTakeTheTypesDefaults) {
    const CameraProfile p = parsed(R"({"make": "M", "cameras": [
        {"type": "tele", "fieldOfView": 29, "photoSize": [160, 120], "iso": [50, 800]},
        {"type": "wide", "raw": false}]})");
    EXPECT_EQ(p.make, "M");
    ASSERT_EQ(p.cameras.size(), 2u);
    EXPECT_EQ(p.cameras[0].type, CaptureDeviceType::builtInTelephotoCamera);
    EXPECT_EQ(p.cameras[0].fieldOfView, 29);
    EXPECT_EQ(p.cameras[0].photoSize, (PixelDimensions{160, 120}));
    EXPECT_EQ(p.cameras[0].maxISO, 800);
    EXPECT_EQ(p.cameras[0].aperture, 2.8); // the built-in tele's
    EXPECT_FALSE(p.cameras[1].raw);
    EXPECT_TRUE(parsed(R"({"cameras": []})").cameras.empty());
}

TEST(CameraProfile, AFaultyProfileNamesItsField) {
    EXPECT_EQ(faultOf("{"), "not valid JSON");
    EXPECT_EQ(faultOf("[]"), "expected an object");
    EXPECT_EQ(faultOf("{}"), "cameras: missing");
    EXPECT_EQ(faultOf(R"({"cameras": [{"type": "front"}]})"),
              "cameras[0].type: expected \"wide\", \"tele\" or \"ultraWide\"");
    EXPECT_EQ(faultOf(R"({"cameras": [{"type": "wide", "iso": [800, 100]}]})"),
              "cameras[0].iso: the minimum is above the maximum");
    EXPECT_EQ(faultOf(R"({"cameras": [{"type": "wide"}, {"type": "tele", "photoSize": [0, 5]}]})"),
              "cameras[1].photoSize[0]: expected an even number of pixels from 2 to 16384");
    EXPECT_EQ(faultOf(R"({"cameras": [{"type": "wide", "fieldOfVeiw": 60}]})"),
              "cameras[0].fieldOfVeiw: not a field of a camera");
    EXPECT_EQ(faultOf(R"({"cameras": [{"type": "wide", "blackLevel": 700, "whiteLevel": 600}]})"),
              "cameras[0].blackLevel: must lie below the white level");
    EXPECT_EQ(faultOf(R"({"cameras": [{"type": "wide", "aperture": "f/2"}]})"),
              "cameras[0].aperture: expected a number");
}

// A profile written to a file of its own.
class ProfileFile {
public:
    explicit ProfileFile(const std::string& json)
        : path_(folder_.write("profile.json", imaging::FileData(json.begin(), json.end()))) {}
    std::string path() const { return path_.string(); }

private:
    imaging::test::TempFolder folder_;
    std::filesystem::path path_;
};

TEST(CameraProfile, ABadFileIsNamedInOneLineAndTheBuiltInProfileApplies) {
    ProfileFile file(R"({"cameras": [{"type": "wide", "exposureBias": [1, 8]}]})");
    ConsoleCapture console;
    const CameraProfile p = loadCameraProfile(file.path());
    EXPECT_EQ(p.cameras.size(), 3u);
    EXPECT_EQ(console.text(), "camera profile '" + file.path() +
                                  "': cameras[0].exposureBias: must include 0; the built-in "
                                  "profile applies\n");
}

TEST(CameraProfile, AFifoOrADeviceIsNeverReadAndSaysWhatItIs) {
    imaging::test::TempFolder folder;
    const auto fifo = folder.path() / "fifo.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const auto zero = folder.path() / "zero.json";
    std::filesystem::create_symlink("/dev/zero", zero);
    ConsoleCapture console;
    EXPECT_EQ(loadCameraProfile(fifo).cameras.size(), 3u);
    EXPECT_EQ(loadCameraProfile(zero).cameras.size(), 3u);
    EXPECT_EQ(console.text(), "camera profile '" + fifo.string() +
                                  "': is a FIFO, not a regular file; the built-in profile "
                                  "applies\ncamera profile '" +
                                  zero.string() +
                                  "': is a character device, not a regular file; the built-in "
                                  "profile applies\n");
}

TEST(SimulatedCamera, ValuesTypedByTheUserThatNameNothingUsableMakeNoCamera) {
    imaging::test::TempFolder folder;
    const auto bad = folder.write("bad.json", {'{'});
    const auto profile = [](std::string file) {
        SimulatedCameraOptions options;
        options.profile = std::move(file);
        return options;
    };
    const auto source = [](std::string text) {
        SimulatedCameraOptions options;
        options.source = std::move(text);
        return options;
    };
    const std::vector<std::pair<SimulatedCameraOptions, std::string>> cases{
        {profile("/missing.json"),
         "--camera-profile: camera profile '/missing.json': does not exist"},
        {profile(bad.string()),
         "--camera-profile: camera profile '" + bad.string() + "': not valid JSON"},
        {source("/missing/folder"),
         "--camera-source: camera source '/missing/folder': does not exist"},
        {source(folder.path().string()), "--camera-source: camera source '" +
                                             folder.path().string() +
                                             "': holds no DNG, TIFF or JPEG file"},
    };
    for (const auto& [options, reason] : cases) {
        ConsoleCapture console;
        std::string error;
        EXPECT_FALSE(SimulatedCamera::makeChecked(options, error));
        EXPECT_EQ(error, reason);
        EXPECT_EQ(console.text(), "");
    }
    // The same values from the environment: one line and the default.
    ::setenv("QV_CAMERA_PROFILE", "/missing.json", 1);
    ::setenv("QV_CAMERA_SOURCE", "/missing/folder", 1);
    ConsoleCapture console;
    std::string error;
    const auto camera = SimulatedCamera::makeChecked({}, error);
    ::unsetenv("QV_CAMERA_PROFILE");
    ::unsetenv("QV_CAMERA_SOURCE");
    ASSERT_TRUE(camera);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(camera->devices().empty());
    EXPECT_EQ(console.text(), "camera profile '/missing.json': does not exist; the built-in "
                              "profile applies\ncamera source '/missing/folder': does not exist; "
                              "no camera\n");
    EXPECT_TRUE(SimulatedCamera::makeChecked(source("synthetic:4"), error));
}

TEST(SimulatedCameraOptions, TheFlagWinsOverTheEnvironment) {
    ::setenv("QV_CAMERA_SOURCE", "synthetic:7", 1);
    ::setenv("QV_CAMERA_PROFILE", "/from/environment.json", 1);
    SimulatedCameraOptions given;
    given.source = "synthetic:3";
    const SimulatedCameraOptions filled = given.withEnvironment();
    EXPECT_EQ(filled.source, "synthetic:3");
    EXPECT_EQ(filled.profile, "/from/environment.json");
    ::unsetenv("QV_CAMERA_SOURCE");
    ::unsetenv("QV_CAMERA_PROFILE");
    EXPECT_FALSE(SimulatedCameraOptions{}.withEnvironment().source);
}

const std::vector<CaptureDeviceType> backCameras{CaptureDeviceType::builtInWideAngleCamera,
                                                 CaptureDeviceType::builtInTelephotoCamera,
                                                 CaptureDeviceType::builtInUltraWideCamera};

std::vector<std::shared_ptr<CaptureDevice>> discovered(const std::string& json) {
    ProfileFile file(json);
    SimulatedCameraOptions options;
    options.profile = file.path();
    options.source = "synthetic";
    const SimulatedCamera camera = SimulatedCamera::make(options);
    auto installation = CaptureDeviceDiscovery::install(camera.devices());
    return CaptureDeviceDiscovery::devices(backCameras);
}

TEST(SimulatedCamera, ProfilesGiveThePhonesCameraSetsInDiscoveryOrder) {
    EXPECT_EQ(discovered(R"({"cameras": [{"type": "wide"}]})").size(), 1u);
    const auto set = discovered(R"({"cameras": [{"type": "ultraWide"}, {"type": "wide"}]})");
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set[0]->deviceType(), CaptureDeviceType::builtInWideAngleCamera);
    EXPECT_EQ(set[1]->deviceType(), CaptureDeviceType::builtInUltraWideCamera);
    EXPECT_EQ(discovered(R"({"cameras": [{"type": "wide"}, {"type": "tele"}]})").size(), 2u);
    EXPECT_EQ(discovered(R"({"cameras": []})").size(), 0u);
    EXPECT_EQ(SimulatedCamera::make({}).devices().size(), 3u);
}

TEST(SimulatedCamera, TeleFieldsOfViewReachTheActiveFormat) {
    for (double fov : {33.0, 29.0, 23.0, 22.9, 35.0}) {
        ConsoleCapture console;
        const auto set =
            discovered(R"({"cameras": [{"type": "tele", "fieldOfView": )" + describe(fov) + "}]}");
        ASSERT_EQ(set.size(), 1u) << console.text();
        EXPECT_EQ(set[0]->activeFormat().videoFieldOfView, float(fov));
    }
}

TEST(SimulatedCamera, DefaultWideCameraReportsItsLimits) {
    const auto wide = SimulatedCamera::make({}).devices().at(0);
    const CaptureDeviceFormat f = wide->activeFormat();
    EXPECT_EQ(f.minISO, 32);
    EXPECT_EQ(f.maxISO, 3072);
    EXPECT_EQ(f.minExposureDuration, MediaTime::fromSeconds(1.0 / 100000, 100000));
    EXPECT_EQ(f.maxExposureDuration.seconds(), 1);
    EXPECT_EQ(wide->minExposureTargetBias(), -8);
    EXPECT_EQ(wide->maxExposureTargetBias(), 8);
    EXPECT_FLOAT_EQ(wide->lensAperture(), 1.78f);
    EXPECT_EQ(f.secondaryNativeResolutionZoomFactors, std::vector<float>{2});
}

TEST(SimulatedCamera, ABadSeedIsNamedAndSeedOneApplies) {
    ConsoleCapture console;
    SimulatedCameraOptions options;
    options.source = "synthetic:seven";
    const SimulatedCamera camera = SimulatedCamera::make(options);
    EXPECT_EQ(camera.devices().size(), 3u);
    EXPECT_NE(console.text().find("'synthetic:seven': the seed is not a whole number"),
              std::string::npos);
}

// A small wide camera running in a session on the virtual clock.
class SimulatedDeviceTest : public ::testing::Test {
protected:
    VirtualDispatch dispatch;
    std::shared_ptr<SimulatedCaptureDevice> device;
    std::shared_ptr<CaptureSession> session = std::make_shared<CaptureSession>();

    void start(SyntheticSceneOptions scene) {
        SimulatedCameraSpec spec;
        spec.photoSize = {160, 120};
        spec.previewSize = {320, 240};
        device = std::make_shared<SimulatedCaptureDevice>(
            spec, CameraProfile::builtIn(), std::make_shared<SyntheticNightScene>(scene));
        session->addInput(CaptureDeviceInput::make(device));
        session->startRunning();
    }
};

TEST_F(SimulatedDeviceTest, AutomaticExposureConvergesOnGreyPlusBias) {
    SyntheticSceneOptions bright;
    bright.greyCard = SyntheticSceneOptions::GreyCard{0, 0, 1, 1, 8}; // an evening street
    start(bright);
    dispatch.runFor(Seconds(3));
    EXPECT_NEAR(device->exposureTargetOffset(), 0, 1.0 / 6);
    EXPECT_FALSE(device->isAdjustingExposure());
    // EV100 8 at f/1.78: t x ISO / 100 = 1.78^2 / 2^8.
    const double product = device->exposureDuration().seconds() * device->iso() / 100;
    EXPECT_NEAR(std::log2(product / (1.78 * 1.78 / 256)), 0, 0.2);

    {
        ConfigurationLock lock(*device);
        device->setExposureTargetBias(1);
    }
    dispatch.runFor(Seconds(0.1));
    EXPECT_TRUE(device->isAdjustingExposure());
    EXPECT_LT(device->exposureTargetOffset(), -0.5); // a stop too dark for the new target
    dispatch.runFor(Seconds(3));
    EXPECT_NEAR(device->exposureTargetOffset(), 0, 1.0 / 6);
    EXPECT_NEAR(std::log2(device->exposureDuration().seconds() * device->iso() / 100 / product), 1,
                0.2);
}

TEST_F(SimulatedDeviceTest, AutoExposeAutoFocusAndAutoWhiteBalanceLockOnceSettled) {
    SyntheticSceneOptions bright;
    bright.greyCard = SyntheticSceneOptions::GreyCard{0, 0, 1, 1, 8};
    start(bright);
    {
        ConfigurationLock lock(*device);
        device->setFocusModeLocked(0);
        device->setExposureMode(ExposureMode::autoExpose);
        device->setFocusMode(FocusMode::autoFocus);
        device->setWhiteBalanceMode(WhiteBalanceMode::autoWhiteBalance);
    }
    dispatch.runFor(Seconds(0.2));
    EXPECT_TRUE(device->isAdjustingFocus());
    EXPECT_NEAR(device->lensPosition(), 0.4, 0.07); // 2 units a second
    dispatch.runFor(Seconds(3));
    EXPECT_EQ(device->focusMode(), FocusMode::locked);
    EXPECT_FLOAT_EQ(device->lensPosition(), 0.9f);
    EXPECT_FALSE(device->isAdjustingFocus());
    EXPECT_EQ(device->exposureMode(), ExposureMode::locked);
    EXPECT_EQ(device->whiteBalanceMode(), WhiteBalanceMode::locked);
    // A grey card balanced to grey: the gains are the reciprocal of the sensor's grey.
    const WhiteBalanceGains g = device->deviceWhiteBalanceGains();
    const WhiteBalanceGains daylight = device->deviceWhiteBalanceGains({6500, 0});
    EXPECT_NEAR(g.redGain, daylight.redGain, 0.05 * daylight.redGain);
    EXPECT_NEAR(g.blueGain, daylight.blueGain, 0.05 * daylight.blueGain);
}

TEST_F(SimulatedDeviceTest, NightSkyLeavesAutomaticExposureAtItsLimitAndSaysHowDark) {
    start({});
    dispatch.runFor(Seconds(3));
    EXPECT_EQ(device->iso(), 3072);
    EXPECT_NEAR(device->exposureDuration().seconds(), 0.1, 1e-6);
    EXPECT_LT(device->exposureTargetOffset(), -1);
}

// The mean of the green bytes of a 'BGRA' frame.
double meanGreenByte(const PixelBuffer& frame) {
    double sum = 0;
    for (std::size_t y = 0; y < frame.height(); ++y) {
        for (std::size_t x = 0; x < frame.width(); ++x) {
            sum += frame.row<std::uint8_t>(y)[4 * x + 1];
        }
    }
    return sum / double(frame.width() * frame.height());
}

std::vector<std::uint8_t> bytesOf(const PixelBuffer& frame) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(frame.baseAddress());
    return {data, data + frame.dataSize()};
}

// The preview stays live: a new picture with every frame of the camera, and each setting the
// user changes shows in the next frames.
TEST_F(SimulatedDeviceTest, ThePreviewShowsEveryFrameAndFollowsTheSettings) {
    start({});
    const auto layer = CaptureVideoPreviewLayer::make(session);
    layer->setFrame({0, 0, 390, 520});
    int arrived = 0;
    const Subscription arrivals = layer->onFrameArrived([&] { ++arrived; });
    dispatch.runFor(Seconds(3)); // automatic exposure settles at 1/10 s
    arrived = 0;
    dispatch.runFor(Seconds(1));
    EXPECT_EQ(arrived, 10);
    const auto before = bytesOf(*layer->latestFrame());
    dispatch.runFor(Seconds(0.1));
    EXPECT_NE(bytesOf(*layer->latestFrame()), before); // a new picture, not the same again

    const auto exposeAt = [&](float iso, float lens) {
        {
            ConfigurationLock lock(*device);
            device->setExposureModeCustom(MediaTime::fromSeconds(0.1), iso);
            device->setFocusModeLocked(lens);
        }
        dispatch.runFor(Seconds(0.3));
        return layer->latestFrame();
    };
    const double dim = meanGreenByte(*exposeAt(400, 0.9f));
    const double bright = meanGreenByte(*exposeAt(1600, 0.9f));
    EXPECT_GT(bright, 1.5 * dim);
    const auto blurred = bytesOf(*exposeAt(1600, 0.0f));
    EXPECT_NEAR(meanGreenByte(*layer->latestFrame()), bright, 0.05 * bright);
    EXPECT_NE(blurred, bytesOf(*exposeAt(1600, 0.9f)));
}

TEST_F(SimulatedDeviceTest, PressureIsPolledEveryFiveSecondsWhileStreaming) {
    SystemPressure::current().simulateLevel(SystemPressureLevel::nominal);
    start({});
    std::vector<SystemPressureLevel> seen;
    auto observation = device->observe(CaptureDeviceProperty::systemPressureState,
                                       [&](const CaptureDevicePropertyChange& c) {
                                           seen.push_back(c.newAs<SystemPressureState>()->level);
                                       });
    dispatch.runFor(Seconds(1));
    SystemPressure::current().simulateLevel(SystemPressureLevel::serious);
    dispatch.runFor(Seconds(3.5));
    EXPECT_TRUE(seen.empty());
    dispatch.runFor(Seconds(1));
    EXPECT_EQ(seen, std::vector<SystemPressureLevel>{SystemPressureLevel::serious});
    SystemPressure::current().simulateLevel(std::nullopt);
}

TEST(SimulatedCaptureDevice, GainsForFourThousandKelvinFitTheDefaultRange) {
    const auto wide = SimulatedCamera::make({}).devices().at(0);
    const WhiteBalanceGains g = wide->deviceWhiteBalanceGains({4000, 0});
    for (float gain : {g.redGain, g.greenGain, g.blueGain}) {
        EXPECT_GE(gain, 1.0f);
        EXPECT_LE(gain, wide->maxWhiteBalanceGain());
    }
    // A candle's red light needs more blue gain than the camera has.
    EXPECT_GT(wide->deviceWhiteBalanceGains({1800, 0}).blueGain, wide->maxWhiteBalanceGain());
}

} // namespace
} // namespace qv::platform
