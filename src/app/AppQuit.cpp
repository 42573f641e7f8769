#include "app/AppQuit.hpp"

#include "platform/console/Console.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/files/SharedJsonFile.hpp"
#include "platform/system/Application.hpp"

#include <atomic>
#include <memory>

namespace qv {

namespace {

bool runIsUnderWay(CameraState state) {
    return state == CameraState::countdown || state == CameraState::shooting ||
           state == CameraState::finishing;
}

// Set once every block queued before it on the queues that hand results to the library
// writer has run: intermediate saves on "PhotoSaverSession", finishes on "PhotoSession".
std::shared_ptr<std::atomic<bool>> queueBarrier(CameraManager& camera) {
    auto passed = std::make_shared<std::atomic<bool>>(false);
    auto session = camera.sessionQueue();
    camera.backgroundQueue()->async(
        [session, passed] { session->async([passed] { passed->store(true); }); });
    return passed;
}

// Waits until no run is finishing and every save asked for has ended, at most `boundSeconds`.
bool waitForSaves(CameraManager& camera, const std::function<void()>& waitTurn,
                  double boundSeconds) {
    const auto deadline =
        platform::monotonicNow() + platform::nanosecondsFrom(platform::Seconds(boundSeconds));
    std::shared_ptr<std::atomic<bool>> barrier;
    for (;;) {
        if (!runIsUnderWay(camera.cameraState.get())) {
            if (!barrier) {
                barrier = queueBarrier(camera);
            }
            if (barrier->load() && camera.photoLibraryManager.pendingSaves() == 0) {
                return true;
            }
        }
        if (platform::monotonicNow() >= deadline) {
            platform::print("Quitting before the last picture was saved: it may be missing");
            return false;
        }
        waitTurn();
    }
}

} // namespace

bool quitApp(Quarn_Vesil& app, platform::ui::ViewGraph& scene,
             const std::function<void()>& waitTurn, double boundSeconds) {
    app.application().setState(platform::ApplicationState::background);
    scene.setScenePhase(platform::ui::ScenePhase::background);
    scene.settle();
    app.endScene();
    scene.invalidate();
    scene.settle();

    const bool saved = waitForSaves(app.cameraManager(), waitTurn, boundSeconds);
    // The settings and permissions are written behind their changes; the last ones reach
    // their files before the app ends.
    platform::SharedJsonFile::flushAll();
    return saved;
}

} // namespace qv
