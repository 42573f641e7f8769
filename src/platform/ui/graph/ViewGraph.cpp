#include "platform/ui/graph/ViewGraph.hpp"

#include "platform/dispatch/Clock.hpp"
#include "platform/ui/graph/HitTest.hpp"
#include "platform/ui/graph/detail/GraphCore.hpp"
#include "platform/ui/scene/Damage.hpp"

#include <cairo.h>
#include <chrono>

namespace qv::platform::ui {

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

void ViewGraph::setDisplayHandler(std::function<void()> handler) {
    std::lock_guard lock(core_->display->mutex);
    core_->display->handler = std::move(handler);
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

namespace {

const Element* withIdentity(const Element& e, const std::string& identity) {
    if (e.identity() == identity) {
        return &e;
    }
    for (const auto& c : e.children()) {
        if (const Element* found = withIdentity(*c, identity)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

std::vector<PixelRect> ViewGraph::renderChanges(std::uint32_t* pixels, int width, int height,
                                                int strideBytes, bool fresh) {
    const ViewTree& now = tree();
    detail::GraphCore& core = *core_;
    const std::set<std::string> layers = core.display->take();
    const bool leaving = !core.leaving.empty() || core.drewLeaving;
    const bool whole = fresh || !core.drawn || core.drawn->options() != now.options() || leaving;
    const std::shared_ptr<const ViewTree> before = std::exchange(core.drawn, core.tree);
    core.drewLeaving = !core.leaving.empty();
    if (whole) {
        renderInto(pixels, width, height, strideBytes);
        return {PixelRect{0, 0, width, height}};
    }
    Damage damage;
    const double scale = now.options().scale;
    if (before.get() != &now) {
        addChanges(before->root(), now.root(), scale, damage);
    }
    for (const std::string& identity : layers) {
        if (const Element* e = withIdentity(now.root(), identity)) {
            damage.add(e->damageOnScreen(), scale);
        }
    }
    const std::vector<PixelRect> rects = damage.within(width, height);
    now.renderInto(pixels, width, height, strideBytes, rects);
    return rects;
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

void ViewGraph::wheel(input::Point location, double points) {
    if (!core_->tree) {
        core_->update();
    }
    if (scrollByWheel(*core_->tree, {location.x, location.y}, points)) {
        core_->invalidate();
    }
}

bool ViewGraph::isInputIdle() const {
    return core_->router.isIdle();
}

} // namespace qv::platform::ui
