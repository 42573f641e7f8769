#include "app/Quarn_Vesil.hpp"

#include "app/CameraScreen.hpp"
#include "app/Metrics.hpp"
#include "app/onboarding/RequestAccessView.hpp"
#include "model/AppVersion.hpp"
#include "model/NightModeConfig.hpp"
#include "platform/dispatch/MainThreadEnd.hpp"
#include "platform/system/Application.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

namespace {

void cameraScreenDisappeared(CameraManager& camera, platform::Application& application) {
    camera.captureSession->stopRunning();
    camera.motionManager().stopAccelerometerUpdates();
    camera.previewImageScale = std::nullopt;
    application.setIdleTimerDisabled(false);
    recordLaunchedVersion();
}

// The scene's root: which screen shows follows from the two access flags alone.
struct AppScene {
    ObservedObject<CameraManager> cameraManager;
    platform::Device* device;
    platform::Application* application;
    bool ended = false;

    View body() const {
        if (ended) {
            return View(Color::black()).ignoresSafeArea();
        }
        CameraManager& camera = cameraManager.get();
        const bool granted =
            camera.isCameraAuthorized.get() && camera.isPhotoLibraryAuthorized.get();
        platform::Device* phone = device;
        platform::Application* app = application;
        return IfElse(
            granted,
            [&] {
                return cameraScreen(camera)
                    .testTag("camera screen")
                    .colorScheme(ColorScheme::dark)
                    .onAppear([app] { app->setIdleTimerDisabled(true); })
                    .onDisappear([&camera, app] { cameraScreenDisappeared(camera, *app); })
                    .onReceive<platform::DeviceOrientation>(
                        [phone](auto notice) { return phone->observeOrientation(notice); },
                        [&camera](platform::DeviceOrientation) {
                            camera.updateDeviceOrientation();
                        })
                    .environmentObject(camera);
            },
            [&] {
                return View(RequestAccessView{
                                {}, metrics::activeColor(), appmetrics::accessDisabledColor()})
                    .testTag("access screen")
                    .colorScheme(ColorScheme::dark)
                    .environmentObject(camera);
            });
    }
};

} // namespace

Quarn_Vesil::Quarn_Vesil(CameraServices services)
    : previewImageModel_(services.previewImageModel), cameraManager_(CameraManager::make(services)),
      device_(services.device), application_(services.application) {
    NightModeConfig::shared().setBetaNightMergeMode(BetaNightMergeMode::whiteClipping);
    NightModeConfig::shared().setBetaNightISOMode(BetaNightISOMode::native);
}

Quarn_Vesil::~Quarn_Vesil() {
    platform::releaseWhileRunningMainQueue(cameraManager_, "the camera controller");
}

View Quarn_Vesil::body() const {
    return AppScene{*cameraManager_, &device_, &application_, sceneEnded_};
}

} // namespace qv
