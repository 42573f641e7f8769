#pragma once
// The living form of a scene: a content function rebuilt into a ViewTree whenever
// something it shows may have changed, with the state, lifecycle, timers, animations
// and input that outlive each tree.
//
//     ViewGraph graph([&] { return CameraScreen{}.environmentObject(camera); });
//     graph.update();                       // builds; runs appear handlers
//     graph.tree().get(Query::text("OK"));
//
// What schedules a rebuild (invalidate): a write of view state, the will-change signal
// of an observed object, input, timer ticks, a scroll request, a change of scene
// phase or options. Any number of them make one rebuild at the next update() (the
// window calls it once per frame). After each rebuild, in this order: disappear
// handlers of identities that left, appear handlers of those that came (tree order),
// change handlers whose value differs from the build before. Handlers may write state;
// that schedules the next rebuild. Everything runs on the main thread.
//
// Animations: a rebuild caused inside an animated transaction (withAnimation) animates
// the opacity, rotation, scale, offset and trim values and the transitions it changes
// over the animation's duration when animations are enabled (the window); otherwise
// (the default, for tests) every change applies at once.

#include "platform/input/GestureArena.hpp"
#include "platform/ui/scene/ViewTree.hpp"

#include <cstdint>
#include <functional>
#include <memory>

namespace qv::platform::ui {

namespace detail {
struct GraphCore;
}

class ViewGraph {
public:
    explicit ViewGraph(std::function<View()> content, SceneOptions options = {});
    ~ViewGraph();
    ViewGraph(const ViewGraph&) = delete;
    ViewGraph& operator=(const ViewGraph&) = delete;

    const SceneOptions& options() const;
    void setOptions(const SceneOptions& options);
    ScenePhase scenePhase() const;
    void setScenePhase(ScenePhase phase);
    void setAnimationsEnabled(bool enabled);

    /// Called (once until the next update) when a rebuild becomes due; the window
    /// asks for a frame.
    void setInvalidationHandler(std::function<void()> handler);
    /// Called, from any thread, when what a view draws changed while the views stayed
    /// the same (a capture preview layer's new frame): the window draws a frame without
    /// a rebuild. The call is made under a lock that setting the handler takes too, so
    /// once this returns the old handler is not running; keep the handler quick.
    void setDisplayHandler(std::function<void()> handler);
    /// Schedules a rebuild for a change the graph cannot see (made inside
    /// withAnimation, the change animates).
    void invalidate();
    bool needsUpdate() const;
    /// Rebuilds when due (or never built) and runs the handlers; true if it rebuilt.
    bool update();
    /// Updates until nothing is due (at most `maxPasses` rebuilds); returns the rebuilds.
    int settle(int maxPasses = 20);
    /// The current tree (built on first use).
    const ViewTree& tree();
    int rebuilds() const;
    /// Whether an animation is still running (the window keeps drawing frames).
    bool isAnimating() const;
    /// Draws the current tree into a caller's ARGB32 buffer (ViewTree::renderInto), and
    /// over it the views whose exit transition is still running.
    void renderInto(std::uint32_t* pixels, int width, int height, int strideBytes);
    /// Draws into a buffer that holds what the last call drew (unless `fresh`) only what
    /// changed since, and answers those rectangles of pixels (none when nothing changed):
    /// the views a rebuild changed (the tree drawn last and the current one compared,
    /// damage.hpp's addChanges), the elements whose live layers asked for a draw
    /// (setDisplayHandler), each with the reach of the effects around it. Everything is
    /// drawn when the buffer is fresh, the scene's options changed or views are leaving.
    std::vector<PixelRect> renderChanges(std::uint32_t* pixels, int width, int height,
                                         int strideBytes, bool fresh);

    /// A pointer event at screen points, with its time on the dispatch clock: hit tests
    /// the current tree, drives the gestures and schedules a rebuild.
    void pointer(const input::PointerEvent& event);
    /// The mouse wheel (or a touchpad's scroll) at screen point `location`: the innermost
    /// scroll view under it that can scroll moves by `points` (positive: towards the end of
    /// its content), within the bounds a drag keeps, and a rebuild is scheduled.
    void wheel(input::Point location, double points);
    /// No gesture is deciding or under way.
    bool isInputIdle() const;

private:
    std::shared_ptr<detail::GraphCore> core_;
};

/// The seconds value of the dispatch clock used for input times.
double inputTimeNow();

} // namespace qv::platform::ui
