#include "platform/window/WindowScene.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainLoop.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace qv::platform::window {

namespace {

double secondsSinceEpoch(MonotonicTime t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

} // namespace

WindowScene::WindowScene(WindowHost& host, std::function<ui::View()> content, HitTest hitTest)
    : host_(host), content_(std::move(content)), hitTest_(std::move(hitTest)),
      router_([this](input::Point p) {
          return tree_ && hitTest_ ? hitTest_(*tree_, p) : std::vector<input::GestureCandidate>{};
      }) {
    host_.onDraw([this](const Frame& frame) { draw(frame); });
    host_.onPointer([this](const PointerInput& input) { pointer(input); });
    host_.onResize([this](PointSize) { invalidate(); });
    MainLoop::setWakeup([&host] { host.wake(); });
    host_.setMainLoop({[this] { nextDue_ = MainLoop::runDueWork(); },
                       [this]() -> std::optional<double> {
                           if (!nextDue_) {
                               return std::nullopt;
                           }
                           return std::chrono::duration<double>(*nextDue_ - monotonicNow()).count();
                       }});
}

WindowScene::~WindowScene() {
    gestureTimer_.cancel();
    MainLoop::setWakeup(nullptr);
    host_.setMainLoop({});
    host_.onDraw(nullptr);
    host_.onPointer(nullptr);
    host_.onResize(nullptr);
}

void WindowScene::invalidate() {
    dirty_ = true;
    host_.requestRedraw();
}

void WindowScene::draw(const Frame& frame) {
    if (dirty_ || !tree_ || tree_->options().size.width != frame.points.width ||
        tree_->options().size.height != frame.points.height) {
        ui::SceneOptions options;
        options.size = {frame.points.width, frame.points.height};
        options.safeAreaInsets = {frame.safeAreaTop, 0, frame.safeAreaBottom, 0};
        options.scale = frame.scale;
        tree_ = std::make_unique<ui::ViewTree>(content_(), options);
        dirty_ = false;
        ++rebuilds_;
    }
    const ui::RenderedImage image = tree_->render();
    const int rows = std::min(image.height, frame.height);
    const int columns = std::min(image.width, frame.width);
    for (int y = 0; y < rows; ++y) {
        std::memcpy(reinterpret_cast<char*>(frame.pixels) +
                        static_cast<std::ptrdiff_t>(y) * frame.stride,
                    image.pixels.data() +
                        static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width),
                    static_cast<std::size_t>(columns) * 4);
    }
}

void WindowScene::pointer(const PointerInput& input) {
    router_.pointer({input.phase, input.location, secondsSinceEpoch(monotonicNow())});
    scheduleGestureDeadline();
}

void WindowScene::scheduleGestureDeadline() {
    gestureTimer_.cancel();
    const auto due = router_.deadline();
    if (!due) {
        return;
    }
    const auto at = MonotonicTime(
        std::chrono::duration_cast<MonotonicTime::duration>(std::chrono::duration<double>(*due)));
    gestureTimer_ = DispatchQueue::main().asyncAt(at, [this, at] {
        router_.timeReached(secondsSinceEpoch(at));
        scheduleGestureDeadline();
    });
}

} // namespace qv::platform::window
