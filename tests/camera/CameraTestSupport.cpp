#include "CameraTestSupport.hpp"

#include "platform/dispatch/MainLoop.hpp"
#include "platform/dispatch/MainThreadEnd.hpp"
#include "platform/state/StateChecks.hpp"

#include <cstdlib>

namespace qv::testing {

using platform::CaptureDeviceType;
using platform::MediaTime;

Camera makeCamera(CaptureDeviceType kind, float fieldOfView) {
    platform::CaptureDeviceFormat format;
    format.formatDescription = "<in-memory test format>";
    format.minISO = 32;
    format.maxISO = 3072;
    format.minExposureDuration = MediaTime::fromSeconds(1.0 / 100000);
    format.maxExposureDuration = MediaTime::fromSeconds(1);
    format.videoFieldOfView = fieldOfView;
    platform::CaptureDeviceState state;
    state.deviceType = kind;
    state.uniqueID = "camera." + std::to_string(int(kind));
    state.formats = {format};
    state.activeFormat = format;
    return std::make_shared<platform::InMemoryCaptureDevice>(state);
}

Camera wideCamera() {
    return makeCamera(CaptureDeviceType::builtInWideAngleCamera, 70);
}

Camera teleCamera(float fieldOfView) {
    return makeCamera(CaptureDeviceType::builtInTelephotoCamera, fieldOfView);
}

Camera ultraWideCamera() {
    return makeCamera(CaptureDeviceType::builtInUltraWideCamera, 108.3f);
}

ServicesUnderTest::ServicesUnderTest(const std::filesystem::path& folder,
                                     const std::string& permissionScript)
    : home(folder), permissions(folder / "permissions.json", {permissionScript}),
      photoLibrary(folder / "Photos", permissions) {
    application.setNativeScreenSize({1170, 2532});
}

CameraServices ServicesUnderTest::services(platform::UserDefaults& defaults,
                                           platform::Device& phone) {
    return {.defaults = defaults,
            .device = phone,
            .permissions = permissions,
            .photoLibrary = photoLibrary,
            .folders = platform::AppFolders::under(home),
            .location = {},
            .previewImageModel = previewImageModel,
            .application = application};
}

std::shared_ptr<platform::PixelBuffer> frameOf(std::size_t width, std::size_t height,
                                               std::uint8_t red, std::uint8_t green,
                                               std::uint8_t blue) {
    auto frame = platform::PixelBuffer::make(width, height, platform::pixelformat::bgra32);
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = frame->row<std::uint8_t>(y);
        for (std::size_t x = 0; x < width; ++x) {
            row[4 * x] = blue;
            row[4 * x + 1] = green;
            row[4 * x + 2] = red;
            row[4 * x + 3] = 255;
        }
    }
    return frame;
}

CameraTest::CameraTest() {
    char pattern[] = "/tmp/qv-camera-XXXXXX";
    home = ::mkdtemp(pattern);
    relaunchSettings();
    platformServices.emplace(home);
    platform::setOffMainWriteHandler(
        [] { ADD_FAILURE() << "published state written off the main queue"; });
}

CameraTest::~CameraTest() {
    camera.reset();
    dispatch.runUntilIdle();
    platformServices.reset();
    installation.reset();
    settingsStore.reset();
    std::filesystem::remove_all(home);
    platform::setOffMainWriteHandler({});
}

void CameraTest::install(std::vector<Camera> devices) {
    cameras = devices;
    installation.reset();
    installation.emplace(platform::CaptureDeviceDiscovery::install(
        std::vector<std::shared_ptr<platform::CaptureDevice>>(devices.begin(), devices.end())));
}

CameraServices CameraTest::services() {
    return platformServices->services(settingsStore->store(), phone);
}

void CameraTest::usePermissions(const std::string& script) {
    platformServices.reset();
    platformServices.emplace(home, script);
}

std::shared_ptr<CameraManager> CameraTest::start() {
    camera = CameraManager::make(services());
    pump();
    return camera;
}

void CameraTest::relaunchSettings() {
    settingsStore.reset();
    settingsStore.emplace(std::make_unique<platform::UserDefaults>(home / "settings.json"));
}

ControllerOnRealThreadsHarness::ControllerOnRealThreadsHarness(std::vector<Camera> cameras) {
    char pattern[] = "/tmp/qv-camera-threads-XXXXXX";
    home = ::mkdtemp(pattern);
    platform::setOffMainWriteHandler([this] { ++offMainWrites; });
    settings.emplace(std::make_unique<platform::UserDefaults>(home / "settings.json"));
    installation.emplace(platform::CaptureDeviceDiscovery::install(
        std::vector<std::shared_ptr<platform::CaptureDevice>>(cameras.begin(), cameras.end())));
    platformServices.emplace(home);
    camera = CameraManager::make(platformServices->services(settings->store(), phone));
}

ControllerOnRealThreadsHarness::~ControllerOnRealThreadsHarness() {
    end();
    platformServices.reset();
    installation.reset();
    settings.reset();
    platform::setOffMainWriteHandler({});
    std::filesystem::remove_all(home);
}

void ControllerOnRealThreadsHarness::drainMain() {
    while (const auto next = platform::MainLoop::runDueWork()) {
        if (*next > platform::monotonicNow()) {
            return;
        }
    }
}

void ControllerOnRealThreadsHarness::end() {
    platform::releaseWhileRunningMainQueue(camera, "the camera controller");
    drainMain();
}

} // namespace qv::testing
