#pragma once
// Gesture recognisers: state machines fed with the pointer events of the view they are
// attached to and with the passing of time. A recogniser never calls its handlers
// itself: it queues the calls it would make, and the arena (GestureArena.hpp) decides
// whether and when they run, so that gestures on nested views or on one view do not
// both act on one touch.

#include "platform/input/Pointer.hpp"

#include <functional>
#include <optional>
#include <vector>

namespace qv::platform::input {

/// How far a press may wander and still be a tap.
inline constexpr double kTapSlop = 10;
/// The longest pause between the taps of a multi-tap, and how far apart they may be.
inline constexpr double kMultiTapInterval = 0.3;
inline constexpr double kMultiTapDistance = 40;

/// Maps a screen point into the coordinate space a handler wants (a view's local space
/// through the inverse of its transforms, or the identity for the global space).
using CoordinateSpace = std::function<Point(Point)>;

class GestureRecognizer {
public:
    enum class State {
        possible,   // may still become this gesture
        began,      // a continuous gesture under way (its changes are queued)
        recognized, // finished: a discrete gesture happened or a continuous one ended
        failed,     // will not happen on this touch
    };

    virtual ~GestureRecognizer() = default;

    /// Feeds one event of a press this recogniser follows. A recogniser that has
    /// finished ignores it, a second down during a press is ignored, and a cancelled
    /// press fails it; the rest goes to the press hooks below.
    void pointer(const PointerEvent& event);
    /// The time at which the recogniser changes by itself, if any.
    virtual std::optional<double> deadline() const { return std::nullopt; }
    /// The dispatch clock has reached `now`.
    virtual void timeReached(double /*now*/) {}
    /// Taps it needs (0 for every gesture that is not a tap).
    virtual int tapCount() const { return 0; }

    State state() const { return state_; }
    bool isLive() const { return state_ == State::possible || state_ == State::began; }
    /// Follows the current press (it saw its down and not yet its end).
    bool isTracking() const { return isLive() && pressed_; }
    /// Waits for another press (a multi-tap between its taps).
    virtual bool awaitsAnotherPress() const { return false; }

    bool hasOutput() const { return !output_.empty(); }
    std::vector<std::function<void()>> takeOutput();
    /// Fails the recogniser and drops its queued calls (another gesture won).
    void cancel();

protected:
    /// A press went down while none was held.
    virtual void pressDown(const PointerEvent& event) = 0;
    virtual void pressMoved(const PointerEvent& event) = 0;
    virtual void pressUp(const PointerEvent& event) = 0;

    void emit(std::function<void()> call) { output_.push_back(std::move(call)); }
    void setState(State state) { state_ = state; }
    void fail();
    bool pressed_ = false;

private:
    State state_ = State::possible;
    std::vector<std::function<void()>> output_;
};

/// A tap of `count` presses (1 or 2 in the app) that each stay within kTapSlop and
/// follow each other within kMultiTapInterval and kMultiTapDistance.
class TapRecognizer final : public GestureRecognizer {
public:
    TapRecognizer(int count, std::function<void()> action);
    std::optional<double> deadline() const override;
    void timeReached(double now) override;
    int tapCount() const override { return count_; }
    bool awaitsAnotherPress() const override;

private:
    void pressDown(const PointerEvent& event) override;
    void pressMoved(const PointerEvent& event) override;
    void pressUp(const PointerEvent& event) override;

    int count_;
    std::function<void()> action_;
    int taps_ = 0;
    Point pressStart_;
    Point firstTap_;
    double lastUp_ = 0;
};

/// A press held for `minimumDuration` without moving more than `maximumDistance`.
/// The action runs as soon as the duration is reached, while the finger is still down.
class LongPressRecognizer final : public GestureRecognizer {
public:
    LongPressRecognizer(double minimumDuration, double maximumDistance,
                        std::function<void()> action);
    std::optional<double> deadline() const override;
    void timeReached(double now) override;

private:
    void pressDown(const PointerEvent& event) override;
    void pressMoved(const PointerEvent& event) override;
    void pressUp(const PointerEvent& event) override;

    double minimumDuration_;
    double maximumDistance_;
    std::function<void()> action_;
    Point start_;
    std::optional<double> due_;
};

/// What a drag handler is told: locations in the drag's coordinate space.
struct DragValue {
    Point location;
    Point startLocation;
    Point translation; // location - startLocation
    double time = 0;
};

/// A drag that begins once the press has moved `minimumDistance` from where it went
/// down (at the down itself for 0). Each move after that is a change; the release ends it.
class DragRecognizer final : public GestureRecognizer {
public:
    DragRecognizer(double minimumDistance, CoordinateSpace space,
                   std::function<void(const DragValue&)> onChanged,
                   std::function<void(const DragValue&)> onEnded);

private:
    void pressDown(const PointerEvent& event) override;
    void pressMoved(const PointerEvent& event) override;
    void pressUp(const PointerEvent& event) override;
    void changed(const PointerEvent& event);
    DragValue valueAt(const PointerEvent& event) const;

    double minimumDistance_;
    CoordinateSpace space_;
    std::function<void(const DragValue&)> onChanged_;
    std::function<void(const DragValue&)> onEnded_;
    Point start_;
};

} // namespace qv::platform::input
