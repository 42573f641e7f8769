#include "platform/ui/graph/detail/GraphCore.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/ui/graph/HitTest.hpp"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <set>

namespace qv::platform::ui::detail {

namespace {

// The graphs alive on this (the main) thread: state members read by handlers after
// a build are found through the views they mounted.
thread_local std::vector<GraphCore*> liveCores;

double seconds(MonotonicTime t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

MonotonicTime fromSeconds(double s) {
    return MonotonicTime(
        std::chrono::duration_cast<MonotonicTime::duration>(nanosecondsFrom(Seconds(s))));
}

void scheduleTick(const std::shared_ptr<RunningTimer>& timer, std::weak_ptr<GraphCore> core) {
    const auto step = std::max(std::chrono::duration_cast<MonotonicTime::duration>(
                                   nanosecondsFrom(Seconds(timer->interval))),
                               MonotonicTime::duration(1));
    // Ticks the main thread missed are skipped, not run in a burst.
    const auto elapsed = monotonicNow() - timer->start;
    const long due = std::max(timer->fired + 1, static_cast<long>(elapsed / step) + 1);
    const MonotonicTime at = timer->start + step * due;
    std::weak_ptr<RunningTimer> weakTimer = timer;
    timer->token = DispatchQueue::main().asyncAt(at, [weakTimer, core, due] {
        auto t = weakTimer.lock();
        auto c = core.lock();
        if (!t || !c) {
            return;
        }
        t->fired = due;
        if (t->tick) {
            t->tick();
        }
        c->invalidate();
        if (!t->token.isCancelled()) {
            scheduleTick(t, core);
        }
    });
}

} // namespace

GraphCore::GraphCore(std::function<View()> c, SceneOptions o)
    : content(std::move(c)), options(std::move(o)),
      router([this](input::Point p) { return hitTest(p); }) {
    liveCores.push_back(this);
}

GraphCore::~GraphCore() {
    std::erase(liveCores, this);
    notices.clear(); // no notice reaches the graph while it ends
    gestureTimer.cancel();
    for (auto& [key, timer] : timers) {
        timer->token.cancel();
    }
}

GraphCore* GraphCore::of(const BuildSession* session) {
    return session != nullptr ? dynamic_cast<GraphCore*>(session->host()) : nullptr;
}

const std::vector<GraphCore*>& GraphCore::live() {
    return liveCores;
}

void GraphCore::invalidate() {
    if (dirty) {
        return;
    }
    dirty = true;
    if (invalidationHandler) {
        invalidationHandler();
    }
}

void GraphCore::stateChanged() {
    if (const auto& a = Transaction::current().animation) {
        pendingAnimation = *a;
    }
    invalidate();
}

std::shared_ptr<StateBoxBase>
GraphCore::slot(const std::string& path, const std::string& key, const std::type_info& type,
                const std::function<std::shared_ptr<StateBoxBase>()>& make) {
    auto& box = states[path][key];
    if (!box || *box->type != type) {
        box = make();
        box->graph = weak_from_this();
    }
    return box;
}

double GraphCore::animated(const std::string& key, double target,
                           std::optional<double> insertedFrom) {
    animationKeysSeen.insert(key);
    const bool animate = animationsEnabled && buildAnimation.has_value();
    auto it = animations.find(key);
    if (it == animations.end()) {
        AnimatedValue v{target, target, buildTime, {}, false};
        if (insertedFrom && animate) {
            v = {*insertedFrom, target, buildTime, *buildAnimation, true};
        }
        it = animations.emplace(key, v).first;
    } else if (it->second.to != target) {
        AnimatedValue& v = it->second;
        if (animate) {
            v = {v.valueAt(buildTime), target, buildTime, *buildAnimation, true};
        } else {
            v = {target, target, buildTime, {}, false};
        }
    }
    AnimatedValue& v = it->second;
    const double value = v.valueAt(buildTime);
    if (v.running && buildTime >= v.start + v.animation.duration) {
        v.running = false;
    }
    return value;
}

void GraphCore::requestScroll(ScrollRequest request) {
    scrollRequests.push_back(std::move(request));
    // Like a state write: asked for inside withAnimation, the scroll animates.
    stateChanged();
}

std::optional<ScrollRequest> GraphCore::takeScrollRequest(const std::string& scrollViewPath) {
    for (auto it = buildScrollRequests.begin(); it != buildScrollRequests.end(); ++it) {
        const bool readerAround = scrollViewPath.compare(0, it->reader.size(), it->reader) == 0;
        const bool readerInside = it->reader.compare(0, scrollViewPath.size(), scrollViewPath) == 0;
        if (readerAround || readerInside) {
            ScrollRequest r = *it;
            buildScrollRequests.erase(it);
            return r;
        }
    }
    return std::nullopt;
}

std::vector<input::GestureCandidate> GraphCore::hitTest(input::Point p) {
    if (!tree) {
        return {};
    }
    return gestureCandidates(*tree, {p.x, p.y});
}

void GraphCore::scheduleGestureDeadline() {
    gestureTimer.cancel();
    const auto due = router.deadline();
    if (!due) {
        return;
    }
    std::weak_ptr<GraphCore> weak = weak_from_this();
    const double at = *due;
    gestureTimer = DispatchQueue::main().asyncAt(fromSeconds(at), [weak, at] {
        if (auto core = weak.lock()) {
            core->router.timeReached(at);
            core->scheduleGestureDeadline();
            core->invalidate();
        }
    });
}

bool GraphCore::update() {
    if (building || (!dirty && tree)) {
        return false;
    }
    dirty = false;
    building = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{building};

    BuildSession session(this);
    const std::shared_ptr<ViewTree> previous = tree;
    buildTree(session);
    keepLeavingViews(session, previous);
    ++rebuilds;
    mounted = std::move(session.views);
    resubscribe(session);
    dropStateOfLeftViews(session);
    const auto handlers = changedHandlers(session);
    updateTimers(session);
    updateNotices(session);
    for (const auto& handler : handlers) {
        handler();
    }
    if (isAnimating()) {
        invalidate();
    }
    return true;
}

void GraphCore::buildTree(BuildSession& session) {
    buildAnimation = std::exchange(pendingAnimation, std::nullopt);
    buildTime = seconds(monotonicNow());
    buildScrollRequests = std::exchange(scrollRequests, {});
    animationKeysSeen.clear();
    {
        SessionScope scope(session);
        View root = content();
        session.retained->push_back(root);
        const ScenePhase p = phase;
        tree = std::make_shared<ViewTree>(
            root.transformEnvironment([p](Environment& e) { e.scenePhase = p; }), options);
    }
    buildScrollRequests.clear();
}

// Views with a transition that left in an animated rebuild go out drawn from the
// tree they were in.
void GraphCore::keepLeavingViews(BuildSession& session, const std::shared_ptr<ViewTree>& previous) {
    std::erase_if(leaving, [&](const LeavingView& v) {
        return buildTime >= v.progress.start + v.progress.animation.duration;
    });
    if (animationsEnabled && buildAnimation && previous) {
        for (const auto& [key, record] : transitions) {
            if (session.transitions.count(key) == 0) {
                leaving.push_back({previous,
                                   record.element,
                                   record.transition,
                                   {1, 0, buildTime, *buildAnimation, true}});
            }
        }
    }
    transitions = std::move(session.transitions);
}

// Objects observed by this build, subscribed once each.
void GraphCore::resubscribe(const BuildSession& session) {
    std::map<ObservableObject*, Subscription> observed;
    std::weak_ptr<GraphCore> weak = weak_from_this();
    for (ObservableObject* o : session.observed) {
        if (observed.count(o) != 0) {
            continue;
        }
        if (auto it = subscriptions.find(o); it != subscriptions.end()) {
            observed.emplace(o, std::move(it->second));
        } else {
            observed.emplace(o, o->onWillChange([weak] {
                if (auto c = weak.lock()) {
                    c->stateChanged();
                }
            }));
        }
    }
    subscriptions = std::move(observed);
}

// State and animations of identities that left the tree are dropped.
void GraphCore::dropStateOfLeftViews(const BuildSession& session) {
    std::erase_if(states,
                  [&](const auto& entry) { return session.livePaths.count(entry.first) == 0; });
    std::erase_if(animations,
                  [&](const auto& entry) { return animationKeysSeen.count(entry.first) == 0; });
}

// Disappear handlers of identities that left, appear handlers of those that came, then
// change handlers whose value differs from the build before.
std::vector<std::function<void()>> GraphCore::changedHandlers(BuildSession& session) {
    std::vector<std::function<void()>> calls;
    std::set<std::string> before, after;
    for (const auto& [k, h] : lifecycle) {
        before.insert(k);
    }
    for (const auto& [k, h] : session.lifecycle) {
        after.insert(k);
    }
    for (const auto& [k, h] : lifecycle) {
        if (after.count(k) == 0 && h.disappear) {
            calls.push_back(h.disappear);
        }
    }
    for (const auto& [k, h] : session.lifecycle) {
        if (before.count(k) == 0 && h.appear) {
            calls.push_back(h.appear);
        }
    }
    lifecycle = std::move(session.lifecycle);

    for (const auto& [k, record] : session.changes) {
        auto it = changes.find(k);
        if (it != changes.end() && !record.equal(it->second.value.get(), record.value.get())) {
            calls.push_back([change = record] { change.action(change.value.get()); });
        }
    }
    changes = std::move(session.changes);
    return calls;
}

// Timers of views that left stop; new ones start; those that stay keep their schedule
// and call the newest closure.
void GraphCore::updateTimers(BuildSession& session) {
    for (auto it = timers.begin(); it != timers.end();) {
        if (session.timers.count(it->first) == 0) {
            it->second->token.cancel();
            it = timers.erase(it);
        } else {
            ++it;
        }
    }
    std::weak_ptr<GraphCore> weak = weak_from_this();
    for (auto& [k, record] : session.timers) {
        auto it = timers.find(k);
        if (it != timers.end() && it->second->interval == record.interval) {
            it->second->tick = std::move(record.tick);
            continue;
        }
        if (it != timers.end()) {
            it->second->token.cancel();
        }
        auto t = std::make_shared<RunningTimer>();
        t->interval = record.interval;
        t->tick = std::move(record.tick);
        t->start = monotonicNow();
        scheduleTick(t, weak);
        timers[k] = t;
    }
}

// Notices of views that left are no longer listened to; new ones are subscribed; those
// that stay keep their subscription and run the newest action.
void GraphCore::updateNotices(BuildSession& session) {
    std::erase_if(notices,
                  [&](const auto& entry) { return session.notices.count(entry.first) == 0; });
    for (auto& [k, record] : session.notices) {
        if (auto it = notices.find(k); it != notices.end()) {
            *it->second.action = std::move(record.action);
            continue;
        }
        auto action = std::make_shared<std::function<void(const void*)>>(std::move(record.action));
        std::weak_ptr<std::function<void(const void*)>> weakAction = action;
        NoticeRecord::Deliver deliver = [weakAction](std::shared_ptr<const void> values) {
            auto run = [weakAction, values] {
                if (auto a = weakAction.lock(); a && *a) {
                    (*a)(values.get());
                }
            };
            if (isMainThread()) {
                run();
            } else {
                DispatchQueue::main().async(std::move(run));
            }
        };
        auto& notice = notices[k];
        notice.action = std::move(action);
        notice.subscription =
            record.subscribe ? record.subscribe(std::move(deliver)) : Subscription();
    }
}

std::function<void()> GraphCore::displayRequester(const std::string& identity) {
    return [weak = std::weak_ptr<DisplayRequests>(display), identity] {
        if (auto requests = weak.lock()) {
            requests->request(identity);
        }
    };
}

bool GraphCore::isAnimating() const {
    return !leaving.empty() || std::any_of(animations.begin(), animations.end(),
                                           [](const auto& a) { return a.second.running; });
}

void GraphCore::drawLeaving(cairo_t* cr, double scale) const {
    const double now = seconds(monotonicNow());
    for (const LeavingView& v : leaving) {
        const Element* parent = v.element->parent();
        if (parent == nullptr || v.element->children().empty()) {
            continue;
        }
        const double p = v.progress.valueAt(now);
        const Transform t = parent->toScreen();
        cairo_save(cr);
        cairo_matrix_t m{t.a, t.b, t.c, t.d, t.tx, t.ty};
        cairo_transform(cr, &m);
        const Element& shown = *v.element->children().front();
        if (v.transition.kind == Transition::Kind::opacity) {
            cairo_push_group(cr);
            shown.render({cr, scale});
            cairo_pop_group_to_source(cr);
            cairo_paint_with_alpha(cr, p);
        } else {
            const Rect& f = v.element->frame();
            const double s = v.transition.scale + (1 - v.transition.scale) * p;
            const double ax = f.x + v.transition.anchor.x * f.width;
            const double ay = f.y + v.transition.anchor.y * f.height;
            cairo_translate(cr, ax, ay);
            cairo_scale(cr, s, s);
            cairo_translate(cr, -ax, -ay);
            shown.render({cr, scale});
        }
        cairo_restore(cr);
    }
}

} // namespace qv::platform::ui::detail
