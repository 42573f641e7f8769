#include "platform/ui/graph/SyntheticInput.hpp"

namespace qv::platform::ui {

namespace {
// How long a synthetic finger stays down for a tap, and the pause between the two
// presses of a double tap (both well inside the recognisers' limits).
constexpr double kPressSeconds = 0.05;
constexpr double kBetweenTaps = 0.1;
} // namespace

void SyntheticInput::send(input::PointerPhase phase, Point p) {
    graph_.update();
    graph_.pointer({phase, {p.x, p.y}, inputTimeNow()});
    dispatch_.runUntilIdle();
    graph_.settle();
}

void SyntheticInput::wheel(Point p, double points) {
    graph_.update();
    graph_.wheel({p.x, p.y}, points);
    dispatch_.runUntilIdle();
    graph_.settle();
}

void SyntheticInput::wait(double seconds) {
    dispatch_.runFor(Seconds(seconds));
    graph_.settle();
}

void SyntheticInput::finish() {
    // A gesture still deciding (a tap waiting out a double tap) settles within the
    // multi-tap interval.
    dispatch_.runUntil([this] { return graph_.isInputIdle(); }, Seconds(1.0));
    graph_.settle();
}

void SyntheticInput::press(Point p, double seconds) {
    send(input::PointerPhase::down, p);
    wait(seconds);
    send(input::PointerPhase::up, p);
}

void SyntheticInput::tap(Point p) {
    press(p, kPressSeconds);
    finish();
}

void SyntheticInput::tap(const Query& query) {
    tap(centerOf(query));
}

void SyntheticInput::doubleTap(Point p) {
    press(p, kPressSeconds);
    wait(kBetweenTaps);
    press(p, kPressSeconds);
    finish();
}

void SyntheticInput::longPress(Point p, double seconds) {
    press(p, seconds);
    finish();
}

void SyntheticInput::drag(Point from, Point to, int steps, double seconds) {
    steps = std::max(1, steps);
    send(input::PointerPhase::down, from);
    for (int i = 1; i <= steps; ++i) {
        wait(seconds / steps);
        const double f = static_cast<double>(i) / steps;
        send(input::PointerPhase::moved,
             {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f});
    }
    send(input::PointerPhase::up, to);
    finish();
}

Point SyntheticInput::centerOf(const Query& query) {
    graph_.update();
    return graph_.tree().get(query).screenFrame().center();
}

} // namespace qv::platform::ui
