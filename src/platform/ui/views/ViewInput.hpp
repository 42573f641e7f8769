#pragma once
// Value types of the gesture modifiers: a drag gesture's settings and handlers and
// what its handlers are told.

#include "platform/ui/geometry/Geometry.hpp"

#include <functional>

namespace qv::platform::ui {

/// Where drag locations are measured: the view's own layout space (its top-leading
/// corner is 0,0, through the inverse of every transform above it) or the screen.
enum class CoordinateSpace { local, global };

struct DragValue {
    Point location;
    Point startLocation;
    /// location - startLocation.
    Size translation;
    /// Seconds on the dispatch clock.
    double time = 0;
};

/// A drag that begins once the press has moved `minimumDistance` points (at the
/// down for 0); every move after that is a change and the release is the end.
struct DragGesture {
    explicit DragGesture(double minimum = 10, CoordinateSpace space = CoordinateSpace::local)
        : minimumDistance(minimum), coordinateSpace(space) {}

    double minimumDistance;
    CoordinateSpace coordinateSpace;
    std::function<void(const DragValue&)> changed;
    std::function<void(const DragValue&)> ended;

    DragGesture onChanged(std::function<void(const DragValue&)> f) const {
        DragGesture g = *this;
        g.changed = std::move(f);
        return g;
    }
    DragGesture onEnded(std::function<void(const DragValue&)> f) const {
        DragGesture g = *this;
        g.ended = std::move(f);
        return g;
    }
};

} // namespace qv::platform::ui
