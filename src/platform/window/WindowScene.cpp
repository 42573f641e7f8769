#include "platform/window/WindowScene.hpp"

#include "platform/dispatch/MainLoop.hpp"
#include "platform/system/Application.hpp"
#include "platform/ui/views/Views.hpp"
#include "platform/window/PhoneKeyActions.hpp"

#include <chrono>

namespace qv::platform::window {

namespace {

ApplicationState applicationState(ui::ScenePhase phase) {
    switch (phase) {
    case ui::ScenePhase::active:
        return ApplicationState::active;
    case ui::ScenePhase::inactive:
        return ApplicationState::inactive;
    case ui::ScenePhase::background:
        break;
    }
    return ApplicationState::background;
}

} // namespace

WindowScene::WindowScene(WindowHost& host, std::function<ui::View()> content,
                         Permissions& permissions)
    : host_(host),
      overlay_(std::make_unique<SystemOverlay>(permissions, [this] { graph_.invalidate(); })),
      graph_([this, content = std::move(content)] {
          // The window's own layer lies above the app's tree and everything it presents.
          return content().systemLayer([this] { return overlay_->body(); });
      }) {
    graph_.setAnimationsEnabled(true);
    graph_.setScenePhase(host_.scenePhase());
    graph_.setInvalidationHandler([this] { host_.requestRedraw(); });
    // A live layer's new frame (from its rendering thread): a frame, no rebuild.
    graph_.setDisplayHandler([this] {
        displayRequested_.store(true, std::memory_order_relaxed);
        host_.wake();
    });
    host_.onDraw([this](const Frame& frame) { return draw(frame); });
    host_.onPointer([this](const PointerInput& input) {
        graph_.pointer({input.phase, input.location, ui::inputTimeNow()});
    });
    host_.onWheel([this](const WheelInput& wheel) { graph_.wheel(wheel.location, wheel.points); });
    host_.onResize([this](PointSize) { invalidate(); });
    host_.onKey(applyPhoneKey);
    Application::shared().setState(applicationState(host_.scenePhase()));
    Application::shared().setIdleTimerHook(
        [this](bool disabled) { host_.setIdleTimerDisabled(disabled); });
    host_.onScenePhase([this](ui::ScenePhase phase) {
        Application::shared().setState(applicationState(phase));
        graph_.setScenePhase(phase);
        if (phaseHandler_) {
            phaseHandler_(phase);
        }
    });
    MainLoop::setWakeup([this] {
        posted_.store(true, std::memory_order_relaxed);
        host_.wake();
    });
    host_.setMainLoop({[this] {
                           // Work that ran may have changed what the views show.
                           const bool due = posted_.exchange(false, std::memory_order_relaxed) ||
                                            (nextDue_ && *nextDue_ <= monotonicNow());
                           nextDue_ = MainLoop::runDueWork();
                           if (due) {
                               graph_.invalidate();
                           }
                           if (displayRequested_.exchange(false, std::memory_order_relaxed)) {
                               host_.requestRedraw();
                           }
                       },
                       [this]() -> std::optional<double> {
                           if (!nextDue_) {
                               return std::nullopt;
                           }
                           return std::chrono::duration<double>(*nextDue_ - monotonicNow()).count();
                       }});
    host_.requestRedraw();
}

WindowScene::~WindowScene() {
    graph_.setDisplayHandler(nullptr); // returns once no frame of a layer is asking
    Application::shared().setIdleTimerHook({});
    host_.onKey(nullptr);
    MainLoop::setWakeup(nullptr);
    host_.setMainLoop({});
    host_.onDraw(nullptr);
    host_.onPointer(nullptr);
    host_.onWheel(nullptr);
    host_.onResize(nullptr);
    host_.onScenePhase(nullptr);
}

void WindowScene::invalidate() {
    graph_.invalidate();
}

std::vector<ui::PixelRect> WindowScene::draw(const Frame& frame) {
    ui::SceneOptions options = graph_.options();
    options.size = {frame.points.width, frame.points.height};
    options.safeAreaInsets = {frame.safeAreaTop, 0, frame.safeAreaBottom, 0};
    options.scale = frame.scale;
    graph_.setOptions(options);
    Application::shared().setNativeScreenSize({frame.width, frame.height});
    graph_.update();
    shown_ = true;
    return graph_.renderChanges(frame.pixels, frame.width, frame.height, frame.stride, frame.fresh);
}

} // namespace qv::platform::window
