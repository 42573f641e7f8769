// Until the camera screen lands, the app starts the camera controller on the simulated
// camera, lets it settle for a moment, shows each camera once, and exits; what the
// controller does is written to the console.
//   quarn-vesil [--camera-source synthetic[:seed]|<folder>] [--camera-profile <file.json>]

#include "camera/CameraManager.hpp"
#include "platform/capture/CaptureDeviceDiscovery.hpp"
#include "platform/capture/simulated/SimulatedCamera.hpp"
#include "platform/console/Console.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/MainLoop.hpp"
#include "platform/system/AppInfo.hpp"

#include <chrono>
#include <string_view>
#include <thread>

namespace {

using namespace qv;

platform::SimulatedCameraOptions optionsFrom(int argc, char** argv) {
    platform::SimulatedCameraOptions options;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view flag = argv[i];
        if (flag == "--camera-source") {
            options.source = argv[++i];
        } else if (flag == "--camera-profile") {
            options.profile = argv[++i];
        }
    }
    return options.withEnvironment();
}

// Runs the main queue for `seconds` of real time.
void runMainQueue(double seconds) {
    const auto end =
        platform::monotonicNow() + platform::nanosecondsFrom(platform::Seconds(seconds));
    while (platform::monotonicNow() < end) {
        platform::MainLoop::runDueWork();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

const char* stateName(CameraState state) {
    switch (state) {
    case CameraState::starting:
        return "starting";
    case CameraState::cameraNotAllowed:
        return "cameraNotAllowed";
    case CameraState::noRAWCamera:
        return "noRAWCamera";
    case CameraState::ready:
        return "ready";
    case CameraState::countdown:
        return "countdown";
    case CameraState::shooting:
        return "shooting";
    case CameraState::changingSettings:
        return "changingSettings";
    case CameraState::finishing:
        return "finishing";
    }
    return "";
}

void printState(const CameraManager& camera) {
    const auto& device = camera.activeCaptureDevice.get();
    if (!device) {
        platform::print("Camera state:", stateName(camera.cameraState.get()));
        return;
    }
    platform::print("Camera", camera.zoomFactorLabel(), stateName(camera.cameraState.get()), "ISO",
                    device->iso(), "exposure", device->exposureDuration().seconds(), "s");
}

} // namespace

int main(int argc, char** argv) {
    platform::print(platform::appName(), platform::appVersion());
    const auto simulated = platform::SimulatedCamera::make(optionsFrom(argc, argv));
    const auto installation = platform::CaptureDeviceDiscovery::install(simulated.devices());
    const auto camera = CameraManager::make();
    runMainQueue(1.5);
    if (!camera->isCameraAuthorized.get()) {
        platform::print("Camera access is not granted; QV_PERMISSIONS=camera=authorized,"
                        "photos=authorized presets it for a run");
    }
    printState(*camera);
    for (std::size_t i = 1; i < camera->availableCameras().size(); ++i) {
        camera->switchCamera();
        runMainQueue(1.0);
        printState(*camera);
    }
    return 0;
}
