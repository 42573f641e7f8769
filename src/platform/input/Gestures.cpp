#include "platform/input/Gestures.hpp"

#include <cmath>

namespace qv::platform::input {

double distance(Point a, Point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

std::vector<std::function<void()>> GestureRecognizer::takeOutput() {
    std::vector<std::function<void()>> out;
    out.swap(output_);
    return out;
}

void GestureRecognizer::cancel() {
    fail();
}

void GestureRecognizer::pointer(const PointerEvent& event) {
    if (!isLive()) {
        return;
    }
    switch (event.phase) {
    case PointerPhase::down:
        if (!pressed_) {
            pressDown(event);
        }
        break;
    case PointerPhase::moved:
        pressMoved(event);
        break;
    case PointerPhase::up:
        pressUp(event);
        break;
    case PointerPhase::cancelled:
        fail();
        break;
    }
}

void GestureRecognizer::fail() {
    state_ = State::failed;
    pressed_ = false;
    output_.clear();
}

// ---- Tap --------------------------------------------------------------------------

TapRecognizer::TapRecognizer(int count, std::function<void()> action)
    : count_(count < 1 ? 1 : count), action_(std::move(action)) {}

bool TapRecognizer::awaitsAnotherPress() const {
    return state() == State::possible && !pressed_ && taps_ > 0;
}

void TapRecognizer::pressDown(const PointerEvent& event) {
    if (taps_ > 0 && (event.time - lastUp_ > kMultiTapInterval ||
                      distance(event.location, firstTap_) > kMultiTapDistance)) {
        fail();
        return;
    }
    if (taps_ == 0) {
        firstTap_ = event.location;
    }
    pressed_ = true;
    pressStart_ = event.location;
}

void TapRecognizer::pressMoved(const PointerEvent& event) {
    if (pressed_ && distance(event.location, pressStart_) > kTapSlop) {
        fail();
    }
}

void TapRecognizer::pressUp(const PointerEvent& event) {
    if (!pressed_) {
        return;
    }
    if (distance(event.location, pressStart_) > kTapSlop) {
        fail();
        return;
    }
    pressed_ = false;
    lastUp_ = event.time;
    if (++taps_ == count_) {
        setState(State::recognized);
        emit(action_);
    }
}

std::optional<double> TapRecognizer::deadline() const {
    if (awaitsAnotherPress()) {
        return lastUp_ + kMultiTapInterval;
    }
    return std::nullopt;
}

void TapRecognizer::timeReached(double now) {
    if (awaitsAnotherPress() && now >= lastUp_ + kMultiTapInterval) {
        fail();
    }
}

// ---- Long press ----------------------------------------------------------------------

LongPressRecognizer::LongPressRecognizer(double minimumDuration, double maximumDistance,
                                         std::function<void()> action)
    : minimumDuration_(minimumDuration), maximumDistance_(maximumDistance),
      action_(std::move(action)) {}

void LongPressRecognizer::pressDown(const PointerEvent& event) {
    pressed_ = true;
    start_ = event.location;
    due_ = event.time + minimumDuration_;
    timeReached(event.time); // a zero duration is reached at once
}

void LongPressRecognizer::pressMoved(const PointerEvent& event) {
    if (distance(event.location, start_) > maximumDistance_) {
        fail();
    }
}

void LongPressRecognizer::pressUp(const PointerEvent& event) {
    // Released in time: a tap, not a long press.
    timeReached(event.time);
    if (state() == State::possible) {
        fail();
    }
}

std::optional<double> LongPressRecognizer::deadline() const {
    if (state() == State::possible && pressed_) {
        return due_;
    }
    return std::nullopt;
}

void LongPressRecognizer::timeReached(double now) {
    if (state() == State::possible && pressed_ && due_ && now >= *due_) {
        pressed_ = false;
        setState(State::recognized);
        emit(action_);
    }
}

// ---- Drag -----------------------------------------------------------------------------

DragRecognizer::DragRecognizer(double minimumDistance, CoordinateSpace space,
                               std::function<void(const DragValue&)> onChanged,
                               std::function<void(const DragValue&)> onEnded)
    : minimumDistance_(minimumDistance), space_(std::move(space)), onChanged_(std::move(onChanged)),
      onEnded_(std::move(onEnded)) {}

DragValue DragRecognizer::valueAt(const PointerEvent& event) const {
    DragValue value;
    value.location = space_ ? space_(event.location) : event.location;
    value.startLocation = space_ ? space_(start_) : start_;
    value.translation = value.location - value.startLocation;
    value.time = event.time;
    return value;
}

void DragRecognizer::changed(const PointerEvent& event) {
    if (onChanged_) {
        emit([f = onChanged_, value = valueAt(event)] { f(value); });
    }
}

void DragRecognizer::pressDown(const PointerEvent& event) {
    pressed_ = true;
    start_ = event.location;
    if (minimumDistance_ <= 0) {
        setState(State::began);
        changed(event);
    }
}

void DragRecognizer::pressMoved(const PointerEvent& event) {
    if (state() == State::possible && distance(event.location, start_) >= minimumDistance_) {
        setState(State::began);
    }
    if (state() == State::began) {
        changed(event);
    }
}

void DragRecognizer::pressUp(const PointerEvent& event) {
    if (state() != State::began) {
        fail();
        return;
    }
    pressed_ = false;
    setState(State::recognized);
    if (onEnded_) {
        emit([f = onEnded_, value = valueAt(event)] { f(value); });
    }
}

} // namespace qv::platform::input
