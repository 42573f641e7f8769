#include "platform/window/WindowScene.hpp"

#include "platform/dispatch/MainLoop.hpp"

#include <chrono>

namespace qv::platform::window {

WindowScene::WindowScene(WindowHost& host, std::function<ui::View()> content)
    : host_(host), graph_(std::move(content)) {
    graph_.setAnimationsEnabled(true);
    graph_.setScenePhase(host_.scenePhase());
    graph_.setInvalidationHandler([this] { host_.requestRedraw(); });
    host_.onDraw([this](const Frame& frame) { draw(frame); });
    host_.onPointer([this](const PointerInput& input) {
        graph_.pointer({input.phase, input.location, ui::inputTimeNow()});
    });
    host_.onResize([this](PointSize) { invalidate(); });
    host_.onScenePhase([this](ui::ScenePhase phase) {
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
    MainLoop::setWakeup(nullptr);
    host_.setMainLoop({});
    host_.onDraw(nullptr);
    host_.onPointer(nullptr);
    host_.onResize(nullptr);
    host_.onScenePhase(nullptr);
}

void WindowScene::invalidate() {
    graph_.invalidate();
}

void WindowScene::draw(const Frame& frame) {
    ui::SceneOptions options = graph_.options();
    options.size = {frame.points.width, frame.points.height};
    options.safeAreaInsets = {frame.safeAreaTop, 0, frame.safeAreaBottom, 0};
    options.scale = frame.scale;
    graph_.setOptions(options);
    graph_.update();
    shown_ = true;
    graph_.renderInto(frame.pixels, frame.width, frame.height, frame.stride);
}

} // namespace qv::platform::window
