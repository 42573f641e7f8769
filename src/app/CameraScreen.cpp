#include "app/CameraScreen.hpp"

#include "app/onboarding/WhatsNewView.hpp"
#include "model/AppVersion.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/views/Views.hpp"

namespace qv {

using namespace platform::ui;

namespace {

// Stands in for the camera screen until it is built: black, with the what's-new notice
// over it while it is due, and the camera screen's answer to the background (a countdown or
// run ends and what was merged is saved; this version is recorded).
struct CameraScreenStandIn {
    ObservedObject<CameraManager> cameraManager;

    View body() const {
        CameraManager& camera = cameraManager.get();
        return ZStack({View(Color::black()).ignoresSafeArea(),
                       If(camera.showWhatsNewView.get(),
                          [&camera] {
                              return View(
                                  WhatsNewView{[&camera] { camera.saveLastLaunchedVersion(); }});
                          })})
            .onChange(currentEnvironment().scenePhase,
                      std::function<void(const ScenePhase&)>([&camera](const ScenePhase& phase) {
                          if (phase != ScenePhase::background) {
                              return;
                          }
                          camera.wasBackgoundedBefore = true;
                          if (camera.cameraState.get() != CameraState::ready) {
                              camera.finishSequence();
                          }
                          recordLaunchedVersion();
                      }));
    }
};

} // namespace

View cameraScreen(CameraManager& camera) {
    return CameraScreenStandIn{camera};
}

} // namespace qv
