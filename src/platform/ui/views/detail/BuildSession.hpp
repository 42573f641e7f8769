#pragma once
// The build of one tree: what views register while they are resolved and laid out
// (state they keep, lifecycle and change handlers, timers, covers, observed objects),
// and the view values that the tree's handlers may still refer to. A ViewGraph runs
// one session per rebuild and compares it with the one before; a tree built alone
// has a session of its own whose registrations go nowhere. Internal to the layer.

#include "platform/state/Signal.hpp"
#include "platform/ui/views/Transition.hpp"
#include "platform/ui/views/View.hpp"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv::platform::ui::detail {

/// What the living scene a build belongs to (a ViewGraph) offers its views. A tree
/// built alone has none.
class BuildHost {
public:
    virtual ~BuildHost() = default;
    /// The value to draw for the animatable property `key` whose value in this build
    /// is `target` (`insertedFrom` is where a transition starts when the key is new).
    virtual double animated(const std::string& key, double target,
                            std::optional<double> insertedFrom) = 0;
    /// A function that asks the scene to draw again, without rebuilding its views, what
    /// the element of `identity` shows (a live layer's new frame), callable from any
    /// thread; it does nothing once the scene is gone.
    virtual std::function<void()> displayRequester(const std::string& identity) = 0;
};

struct LifecycleHandlers {
    std::function<void()> appear;
    std::function<void()> disappear;
};

struct ChangeRecord {
    std::shared_ptr<const void> value;
    std::function<bool(const void*, const void*)> equal;
    std::function<void(const void*)> action;
};

struct TimerRecord {
    double interval = 0;
    std::function<void()> tick;
};

/// A notice listened to while a view is mounted. `subscribe` runs once, when the
/// registration first appears, with the function that hands a notice's values to the
/// newest `action` on the main queue; the subscription it returns is dropped when the
/// registration leaves. `action` may be empty (the subscription acts by itself).
struct NoticeRecord {
    using Deliver = std::function<void(std::shared_ptr<const void> values)>;
    std::function<Subscription(Deliver)> subscribe;
    std::function<void(const void* values)> action;
};

/// An element that carries a transition, by key.
struct TransitionRecord {
    const Element* element;
    Transition transition;
};

/// How high a root layer lies: covers above the scene in the order presented, alerts
/// above every cover, the window's own modal layer above everything the app presents.
enum class RootLayerLevel { cover, alert, system };

/// Content that lies above the whole scene: a full-screen cover, an alert, or the window's
/// modal layer.
struct RootLayer {
    std::string path;
    View content;
    std::shared_ptr<const Environment> environment;
    RootLayerLevel level = RootLayerLevel::cover;
};

class BuildSession {
public:
    explicit BuildSession(BuildHost* host = nullptr) : host_(host) {}
    BuildSession(const BuildSession&) = delete;
    BuildSession& operator=(const BuildSession&) = delete;

    /// The session of the build running on this thread, or null.
    static BuildSession* current();
    /// The scene this build belongs to (null for a tree built alone).
    BuildHost* host() const { return host_; }

    /// True while a lazy container resolves content only to measure it: nothing it
    /// registers counts.
    bool isProbing() const { return probing_ > 0; }
    class ProbeScope {
    public:
        explicit ProbeScope(BuildSession* s) : s_(s) {
            if (s_ != nullptr) {
                ++s_->probing_;
            }
        }
        ~ProbeScope() {
            if (s_ != nullptr) {
                --s_->probing_;
            }
        }
        ProbeScope(const ProbeScope&) = delete;
        ProbeScope& operator=(const ProbeScope&) = delete;

    private:
        BuildSession* s_;
    };

    /// A key for the n-th registration of `what` at `path` in this build; stable from
    /// build to build while the structure stays.
    std::string key(const std::string& path, const char* what);

    // Registrations (ignored while probing).
    void addLifecycle(const std::string& key, LifecycleHandlers handlers);
    void addChange(const std::string& key, ChangeRecord record);
    void addTimer(const std::string& key, TimerRecord record);
    void addNotice(const std::string& key, NoticeRecord record);
    void keepAlive(const std::string& path) { livePaths.insert(path); }

    std::shared_ptr<std::vector<View>> retained = std::make_shared<std::vector<View>>();
    std::vector<std::shared_ptr<const OwnerView>> views;
    std::vector<std::pair<std::string, LifecycleHandlers>> lifecycle;
    std::map<std::string, ChangeRecord> changes;
    std::map<std::string, TimerRecord> timers;
    std::map<std::string, NoticeRecord> notices;
    std::vector<RootLayer> rootLayers;
    std::map<std::string, TransitionRecord> transitions;
    std::vector<ObservableObject*> observed;
    /// Identities whose state lives on after this build.
    std::set<std::string> livePaths;

private:
    BuildHost* host_;
    int probing_ = 0;
    std::map<std::string, int> ordinals_;
};

/// The value to draw for an animatable property `key` whose value in this build is
/// `target` (animated in a graph with animations on; `insertedFrom` is where a
/// transition starts when the key is new). Outside a graph, `target`.
double animated(const std::string& key, double target,
                std::optional<double> insertedFrom = std::nullopt);

/// Makes a session current on this thread for the scope's lifetime.
class SessionScope {
public:
    explicit SessionScope(BuildSession& session);
    ~SessionScope();
    SessionScope(const SessionScope&) = delete;
    SessionScope& operator=(const SessionScope&) = delete;

private:
    BuildSession* previous_;
};

} // namespace qv::platform::ui::detail
