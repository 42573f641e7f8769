#pragma once
// Pointer events as the gesture recognisers see them: one pointer (the mouse's primary
// button, a touch, or synthetic input from a test), in points, with the time on the
// dispatch clock.

namespace qv::platform::input {

struct Point {
    double x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

inline Point operator-(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}
double distance(Point a, Point b);

enum class PointerPhase { down, moved, up, cancelled };

struct PointerEvent {
    PointerPhase phase = PointerPhase::down;
    Point location;  // screen points
    double time = 0; // seconds on the dispatch clock
};

} // namespace qv::platform::input
