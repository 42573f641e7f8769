#pragma once
// Shows a view graph in the window host: the main queue of the dispatch layer drained
// by the host's loop, the graph rebuilt at most once per frame when something it shows
// changed (state, observed objects, input, timers, drained main-queue work), a frame
// without a rebuild when a live layer has a new picture, each frame drawing only what
// changed since the last (ViewGraph::renderChanges), animations run frame by frame, presses
// routed through the graph's hit testing and gestures, the wheel to the scroll view under the
// pointer, and the host's scene phase handed to the views' environment.
//
// It also connects the window to the phone's services while it lives: the permission
// prompt and the settings panel drawn above the app's tree (SystemOverlay.hpp), the phone
// keys (PhoneKeyActions.hpp), and the application's idle timer, native screen size and
// state (Application.hpp).

#include "platform/dispatch/Clock.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/window/SystemOverlay.hpp"
#include "platform/window/WindowHost.hpp"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace qv::platform::window {

class WindowScene {
public:
    /// Prompts for and shows the settings of `permissions` (the app's by default).
    WindowScene(WindowHost& host, std::function<ui::View()> content,
                Permissions& permissions = Permissions::shared());
    ~WindowScene();
    WindowScene(const WindowScene&) = delete;
    WindowScene& operator=(const WindowScene&) = delete;

    /// Rebuilds the tree on the next frame; any number of calls make one rebuild.
    void invalidate();
    /// The tree on screen (null before the first frame).
    const ui::ViewTree* tree() const { return shown_ ? &graph_.tree() : nullptr; }
    int rebuilds() const { return graph_.rebuilds(); }
    ui::ViewGraph& graph() { return graph_; }
    /// Called with each new scene phase after the views have been told.
    void onScenePhase(std::function<void(ui::ScenePhase)> f) { phaseHandler_ = std::move(f); }

private:
    std::vector<ui::PixelRect> draw(const Frame& frame);

    WindowHost& host_;
    std::unique_ptr<SystemOverlay> overlay_; // made before the first build, ends last
    mutable ui::ViewGraph graph_;
    bool shown_ = false;
    std::optional<MonotonicTime> nextDue_;
    std::atomic<bool> posted_{false};           // main-queue work was queued since the last drain
    std::atomic<bool> displayRequested_{false}; // a live layer has a new frame (any thread)
    std::function<void(ui::ScenePhase)> phaseHandler_;
};

} // namespace qv::platform::window
