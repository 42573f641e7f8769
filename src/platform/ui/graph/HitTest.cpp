#include "platform/ui/graph/HitTest.hpp"

#include "platform/ui/views/detail/GestureSource.hpp"

namespace qv::platform::ui {
namespace {

bool hit(const Element& e, Point screen, std::vector<const Element*>& path) {
    if (!e.environment().allowsHitTesting) {
        return false;
    }
    const Point local = e.toScreen().inverted().apply(screen);
    if (!e.admitsInput(local)) {
        return false;
    }
    const auto order = e.drawingOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (hit(**it, screen, path)) {
            path.push_back(&e);
            return true;
        }
    }
    const auto& shape = e.contentShape();
    if ((shape && pathContains(shape->path(e.frame()), local)) || e.hitsContent(local)) {
        path.push_back(&e);
        return true;
    }
    return false;
}

} // namespace

std::vector<const Element*> hitPath(const ViewTree& tree, Point point) {
    std::vector<const Element*> path;
    hit(tree.root(), point, path);
    return path;
}

std::vector<input::GestureCandidate> gestureCandidates(const ViewTree& tree, Point point) {
    std::vector<input::GestureCandidate> out;
    int depth = 0;
    for (const Element* e : hitPath(tree, point)) {
        const auto* source = dynamic_cast<const GestureSource*>(e);
        if (source == nullptr) {
            continue;
        }
        std::vector<std::unique_ptr<input::GestureRecognizer>> recognizers;
        source->makeRecognizers(recognizers);
        if (recognizers.empty()) {
            continue;
        }
        for (auto& r : recognizers) {
            out.push_back({std::move(r), depth});
        }
        ++depth;
    }
    return out;
}

bool scrollByWheel(const ViewTree& tree, Point point, double points) {
    for (const Element* e : hitPath(tree, point)) {
        const auto* target = dynamic_cast<const WheelTarget*>(e);
        if (target != nullptr && target->scrollByWheel(points)) {
            return true;
        }
    }
    return false;
}

} // namespace qv::platform::ui
