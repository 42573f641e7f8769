#include "CameraTestSupport.hpp"

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

CameraTest::CameraTest() {
    char pattern[] = "/tmp/qv-camera-XXXXXX";
    home = ::mkdtemp(pattern);
    relaunchSettings();
}

CameraTest::~CameraTest() {
    camera.reset();
    dispatch.runUntilIdle();
    installation.reset();
    settingsStore.reset();
    std::filesystem::remove_all(home);
}

void CameraTest::install(std::vector<Camera> devices) {
    cameras = devices;
    installation.reset();
    installation.emplace(platform::CaptureDeviceDiscovery::install(
        std::vector<std::shared_ptr<platform::CaptureDevice>>(devices.begin(), devices.end())));
}

std::shared_ptr<CameraManager> CameraTest::start() {
    camera = CameraManager::make({settingsStore->store(), phone});
    pump();
    return camera;
}

void CameraTest::relaunchSettings() {
    settingsStore.reset();
    settingsStore.emplace(std::make_unique<platform::UserDefaults>(home / "settings.json"));
}

} // namespace qv::testing
