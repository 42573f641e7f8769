#include "platform/ui/ViewGraph.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/ui/GraphCore.hpp"
#include "platform/ui/HitTest.hpp"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <cmath>
#include <set>

namespace qv::platform::ui {

namespace detail {

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

bool contains(const OwnerView& v, const void* p) {
    const auto* base = static_cast<const char*>(v.base);
    const auto* at = static_cast<const char*>(p);
    return at >= base && at < base + v.size;
}

std::string offsetKey(const OwnerView& v, const void* p) {
    return std::to_string(static_cast<const char*>(p) - static_cast<const char*>(v.base));
}

// Progress along a cubic timing curve from (0,0) to (1,1) with control points
// (x1,y1) and (x2,y2), at time fraction t.
double cubicTiming(double x1, double y1, double x2, double y2, double t) {
    auto bez = [](double a, double b, double s) {
        const double u = 1 - s;
        return 3 * u * u * s * a + 3 * u * s * s * b + s * s * s;
    };
    double lo = 0, hi = 1, s = t;
    for (int i = 0; i < 30; ++i) {
        s = (lo + hi) / 2;
        if (bez(x1, x2, s) < t) {
            lo = s;
        } else {
            hi = s;
        }
    }
    return bez(y1, y2, s);
}

double ease(const Animation& a, double t) {
    t = std::clamp(t, 0.0, 1.0);
    switch (a.kind) {
    case Animation::Kind::linear:
        return t;
    case Animation::Kind::easeIn:
        return cubicTiming(0.42, 0, 1, 1, t);
    case Animation::Kind::easeOut:
    case Animation::Kind::spring:
        return cubicTiming(0, 0, 0.58, 1, t);
    case Animation::Kind::defaultCurve:
    case Animation::Kind::easeInOut:
        return cubicTiming(0.42, 0, 0.58, 1, t);
    }
    return t;
}

} // namespace

double AnimatedValue::valueAt(double now) const {
    if (!running || animation.duration <= 0) {
        return to;
    }
    const double t = (now - start) / animation.duration;
    return t >= 1 ? to : from + (to - from) * ease(animation, t);
}

GraphCore::GraphCore(std::function<View()> c, SceneOptions o)
    : content(std::move(c)), options(std::move(o)),
      router([this](input::Point p) { return hitTest(p); }) {
    liveCores.push_back(this);
}

GraphCore::~GraphCore() {
    std::erase(liveCores, this);
    gestureTimer.cancel();
    for (auto& [key, timer] : timers) {
        timer->token.cancel();
    }
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
    invalidate();
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

namespace {

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
    buildAnimation = std::exchange(pendingAnimation, std::nullopt);
    buildTime = seconds(monotonicNow());
    buildScrollRequests = std::exchange(scrollRequests, {});
    animationKeysSeen.clear();

    BuildSession session(this);
    const std::shared_ptr<ViewTree> previous = tree;
    {
        SessionScope scope(session);
        View root = content();
        session.retained->push_back(root);
        const ScenePhase p = phase;
        tree = std::make_shared<ViewTree>(
            root.transformEnvironment([p](Environment& e) { e.scenePhase = p; }), options);
    }
    // Views with a transition that left in an animated rebuild go out drawn from the
    // tree they were in.
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
    ++rebuilds;
    mounted = std::move(session.views);
    buildScrollRequests.clear();

    // Objects observed by this build, subscribed once each.
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

    // State of identities that left the tree is dropped.
    std::erase_if(states,
                  [&](const auto& entry) { return session.livePaths.count(entry.first) == 0; });
    std::erase_if(animations,
                  [&](const auto& entry) { return animationKeysSeen.count(entry.first) == 0; });

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
            calls.push_back([record] { record.action(record.value.get()); });
        }
    }
    changes = std::move(session.changes);

    for (auto it = timers.begin(); it != timers.end();) {
        if (session.timers.count(it->first) == 0) {
            it->second->token.cancel();
            it = timers.erase(it);
        } else {
            ++it;
        }
    }
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

    for (const auto& call : calls) {
        call();
    }
    if (isAnimating()) {
        invalidate();
    }
    return true;
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

void StateBoxBase::changed() const {
    if (auto core = graph.lock()) {
        core->stateChanged();
    }
}

std::shared_ptr<StateBoxBase>
bindState(const void* self, const std::type_info& type,
          const std::function<std::shared_ptr<StateBoxBase>()>& make) {
    BuildSession* session = BuildSession::current();
    if (session != nullptr) {
        GraphCore* core = session->core();
        if (core == nullptr) {
            return nullptr;
        }
        const ResolveContext* ctx = ResolveContext::current();
        if (ctx != nullptr && ctx->owner && contains(*ctx->owner, self)) {
            return core->slot(ctx->owner->path, offsetKey(*ctx->owner, self), type, make);
        }
        for (const auto& v : session->views) {
            if (contains(*v, self)) {
                return core->slot(v->path, offsetKey(*v, self), type, make);
            }
        }
        return nullptr;
    }
    // After the build (a handler): the views mounted by a live graph.
    for (GraphCore* core : liveCores) {
        for (const auto& v : core->mounted) {
            if (contains(*v, self)) {
                return core->slot(v->path, offsetKey(*v, self), type, make);
            }
        }
    }
    return nullptr;
}

void observe(ObservableObject& object) {
    BuildSession* s = BuildSession::current();
    if (s != nullptr && s->core() != nullptr) {
        s->observed.push_back(&object);
    }
}

const Environment::Object& environmentObject(const std::type_info& type) {
    const ResolveContext* ctx = ResolveContext::current();
    const Environment::Object* found =
        ctx != nullptr ? ctx->environment->findObject(std::type_index(type)) : nullptr;
    if (found == nullptr) {
        throw std::logic_error(
            "no environment object of type " + typeName(type) +
            (ctx != nullptr ? " where " + ctx->path + " is built" : " outside a view's body"));
    }
    return *found;
}

double animated(const std::string& key, double target, std::optional<double> insertedFrom) {
    BuildSession* s = BuildSession::current();
    if (s == nullptr || s->core() == nullptr || s->isProbing()) {
        return target;
    }
    return s->core()->animated(key, target, insertedFrom);
}

} // namespace detail

const Environment& currentEnvironment() {
    static const Environment fallback;
    const ResolveContext* ctx = ResolveContext::current();
    return ctx != nullptr ? *ctx->environment : fallback;
}

double inputTimeNow() {
    return std::chrono::duration<double>(monotonicNow().time_since_epoch()).count();
}

ViewGraph::ViewGraph(std::function<View()> content, SceneOptions options)
    : core_(std::make_shared<detail::GraphCore>(std::move(content), std::move(options))) {}

ViewGraph::~ViewGraph() = default;

const SceneOptions& ViewGraph::options() const {
    return core_->options;
}

void ViewGraph::setOptions(const SceneOptions& options) {
    const SceneOptions& o = core_->options;
    const bool same = o.size == options.size && o.safeAreaInsets == options.safeAreaInsets &&
                      o.scale == options.scale && o.colorScheme == options.colorScheme;
    core_->options = options;
    if (!same) {
        core_->invalidate();
    }
}

ScenePhase ViewGraph::scenePhase() const {
    return core_->phase;
}

void ViewGraph::setScenePhase(ScenePhase phase) {
    if (core_->phase != phase) {
        core_->phase = phase;
        core_->invalidate();
    }
}

void ViewGraph::setAnimationsEnabled(bool enabled) {
    core_->animationsEnabled = enabled;
}

void ViewGraph::setInvalidationHandler(std::function<void()> handler) {
    core_->invalidationHandler = std::move(handler);
}

void ViewGraph::invalidate() {
    core_->stateChanged();
}

bool ViewGraph::needsUpdate() const {
    return core_->dirty || !core_->tree;
}

bool ViewGraph::update() {
    return core_->update();
}

int ViewGraph::settle(int maxPasses) {
    int n = 0;
    while (needsUpdate() && n < maxPasses) {
        update();
        ++n;
    }
    return n;
}

const ViewTree& ViewGraph::tree() {
    if (!core_->tree) {
        core_->update();
    }
    return *core_->tree;
}

int ViewGraph::rebuilds() const {
    return core_->rebuilds;
}

bool ViewGraph::isAnimating() const {
    return core_->isAnimating();
}

void ViewGraph::renderInto(std::uint32_t* pixels, int width, int height, int strideBytes) {
    tree().renderInto(pixels, width, height, strideBytes);
    if (core_->leaving.empty()) {
        return;
    }
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width, height, strideBytes);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, core_->options.scale, core_->options.scale);
    core_->drawLeaving(cr, core_->options.scale);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

void ViewGraph::pointer(const input::PointerEvent& event) {
    if (!core_->tree) {
        core_->update();
    }
    // The router may run handlers that drop the last outside reference to the graph.
    auto core = core_;
    core->router.pointer(event);
    core->scheduleGestureDeadline();
    core->invalidate();
}

bool ViewGraph::isInputIdle() const {
    return core_->router.isIdle();
}

} // namespace qv::platform::ui
