#pragma once
// What a ViewGraph keeps from build to build. Internal to the layer: the view
// modifiers and elements reach it through the current BuildSession.

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/state/Signal.hpp"
#include "platform/state/Transaction.hpp"
#include "platform/ui/graph/State.hpp"
#include "platform/ui/graph/ViewGraph.hpp"
#include "platform/ui/graph/detail/AnimatedValue.hpp"
#include "platform/ui/views/Transition.hpp"
#include "platform/ui/views/detail/BuildSession.hpp"

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

typedef struct _cairo cairo_t;

namespace qv::platform::ui::detail {

struct RunningTimer {
    double interval = 0;
    std::function<void()> tick;
    CancelToken token;
    MonotonicTime start;
    long fired = 0;
};

/// A notice subscription of a mounted view: the newest action is shared with the
/// deliveries queued on the main queue, which find it gone once the view has left.
struct MountedNotice {
    std::shared_ptr<std::function<void(const void*)>> action;
    Subscription subscription;
};

/// Where requests to draw without a rebuild go: the identities of the elements whose
/// picture changed, kept for the next draw, and the window's handler, called under a lock
/// because requests come from any thread while the window may set or clear it.
struct DisplayRequests {
    std::mutex mutex;
    std::function<void()> handler;
    std::set<std::string> identities;
    void request(const std::string& identity) {
        std::lock_guard lock(mutex);
        identities.insert(identity);
        if (handler) {
            handler();
        }
    }
    std::set<std::string> take() {
        std::lock_guard lock(mutex);
        return std::exchange(identities, {});
    }
};

struct ScrollRequest {
    std::string reader; // path of the scroll reader the request came through
    std::string id;
    std::optional<UnitPoint> anchor; // absent: scroll as little as shows the view
};

/// A view with an exit transition that left the tree in an animated rebuild: drawn from
/// the tree it was last in, over the current one, until its transition has run.
struct LeavingView {
    std::shared_ptr<const ViewTree> tree; // keeps the element alive
    const Element* element;               // the transition's element in that tree
    Transition transition;
    AnimatedValue progress; // 1 (shown) to 0 (gone)
};

struct GraphCore final : BuildHost, std::enable_shared_from_this<GraphCore> {
    GraphCore(std::function<View()> content, SceneOptions options);
    ~GraphCore() override;

    /// The graph a build belongs to; null for a tree built alone (or no build).
    static GraphCore* of(const BuildSession* session);
    /// The graphs alive on this (the main) thread.
    static const std::vector<GraphCore*>& live();

    void invalidate();
    void stateChanged();
    bool update();

    /// State storage of `path`: `key` is the member's offset in the view, or a name.
    std::shared_ptr<StateBoxBase> slot(const std::string& path, const std::string& key,
                                       const std::type_info& type,
                                       const std::function<std::shared_ptr<StateBoxBase>()>& make);
    template <class T>
    std::shared_ptr<StateBox<T>> elementState(const std::string& path, const std::string& key,
                                              T initial) {
        auto b = slot(path, key, typeid(T), [&] {
            return std::static_pointer_cast<StateBoxBase>(std::make_shared<StateBox<T>>(initial));
        });
        return std::static_pointer_cast<StateBox<T>>(b);
    }

    /// The value to show for an animatable property of this build.
    double animated(const std::string& key, double target,
                    std::optional<double> insertedFrom) override;
    std::function<void()> displayRequester(const std::string& identity) override;

    void requestScroll(ScrollRequest request);
    /// Takes the first request of this build made through a reader inside the scroll
    /// view or around it.
    std::optional<ScrollRequest> takeScrollRequest(const std::string& scrollViewPath);

    bool isAnimating() const;
    /// Draws the views still leaving over what `cr` shows (its CTM maps points).
    void drawLeaving(cairo_t* cr, double scale) const;

    void scheduleGestureDeadline();
    std::vector<input::GestureCandidate> hitTest(input::Point point);

    std::function<View()> content;
    SceneOptions options;
    ScenePhase phase = ScenePhase::active;
    bool animationsEnabled = false;
    std::function<void()> invalidationHandler;

    bool dirty = true;
    bool building = false;
    int rebuilds = 0;
    std::shared_ptr<ViewTree> tree;
    std::optional<Animation> pendingAnimation; // of the changes since the last build
    std::optional<Animation> buildAnimation;   // of the build running
    double buildTime = 0;

    std::map<std::string, std::map<std::string, std::shared_ptr<StateBoxBase>>> states;
    std::vector<std::shared_ptr<const OwnerView>> mounted;
    std::vector<std::pair<std::string, LifecycleHandlers>> lifecycle;
    std::map<std::string, ChangeRecord> changes;
    std::map<std::string, std::shared_ptr<RunningTimer>> timers;
    std::map<std::string, MountedNotice> notices;
    std::shared_ptr<DisplayRequests> display = std::make_shared<DisplayRequests>();
    std::map<ObservableObject*, Subscription> subscriptions;
    std::map<std::string, AnimatedValue> animations;
    std::set<std::string> animationKeysSeen;
    std::map<std::string, TransitionRecord> transitions; // of the last build
    std::vector<LeavingView> leaving;
    std::vector<ScrollRequest> scrollRequests;      // made since the last build
    std::vector<ScrollRequest> buildScrollRequests; // taken by the build running

    // What renderChanges drew last: the tree, and whether views were leaving over it.
    std::shared_ptr<const ViewTree> drawn;
    bool drewLeaving = false;

    input::GestureRouter router;
    CancelToken gestureTimer;

private:
    // The steps of a rebuild, in order.
    void buildTree(BuildSession& session);
    void keepLeavingViews(BuildSession& session, const std::shared_ptr<ViewTree>& previous);
    void resubscribe(const BuildSession& session);
    void dropStateOfLeftViews(const BuildSession& session);
    std::vector<std::function<void()>> changedHandlers(BuildSession& session);
    void updateTimers(BuildSession& session);
    void updateNotices(BuildSession& session);
};

} // namespace qv::platform::ui::detail
