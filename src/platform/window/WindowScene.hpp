#pragma once
// Shows a view tree in the window host: the main queue of the dispatch layer drained by
// the host's loop, the tree rebuilt from its content function at most once per frame
// after invalidate(), and presses routed through the gesture recognisers.

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/input/GestureArena.hpp"
#include "platform/ui/ViewTree.hpp"
#include "platform/window/WindowHost.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace qv::platform::window {

class WindowScene {
public:
    /// The gestures of the tree's views under a screen point (see GestureRouter::HitTest).
    using HitTest =
        std::function<std::vector<input::GestureCandidate>(const ui::ViewTree&, input::Point)>;

    WindowScene(WindowHost& host, std::function<ui::View()> content, HitTest hitTest);
    ~WindowScene();
    WindowScene(const WindowScene&) = delete;
    WindowScene& operator=(const WindowScene&) = delete;

    /// Rebuilds the tree on the next frame; any number of calls make one rebuild.
    void invalidate();
    /// The tree on screen (null before the first frame).
    const ui::ViewTree* tree() const { return tree_.get(); }
    int rebuilds() const { return rebuilds_; }

private:
    void draw(const Frame& frame);
    void pointer(const PointerInput& input);
    void scheduleGestureDeadline();

    WindowHost& host_;
    std::function<ui::View()> content_;
    HitTest hitTest_;
    input::GestureRouter router_;
    std::unique_ptr<ui::ViewTree> tree_;
    bool dirty_ = true;
    int rebuilds_ = 0;
    std::optional<MonotonicTime> nextDue_;
    CancelToken gestureTimer_;
};

} // namespace qv::platform::window
