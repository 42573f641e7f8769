#pragma once
// Which gesture acts on a touch. The views under the pointer offer their gestures as
// candidates; every candidate sees the touch, and the arena lets one of them act:
//
// - A gesture of a deeper view goes first: an ancestor's gesture acts only once every
//   gesture of the views below it has failed (a child's tap beats its parent's drag).
// - On one view the first gesture to happen wins (a long press that is reached cancels
//   the tap), except that a view's multi-tap goes before its other gestures: a single
//   tap or a drag there waits until the double tap has failed.
// - The winner's queued calls run; every other candidate is cancelled and never acts.
//
// GestureRouter hit-tests each new press, keeps the arenas that are still deciding
// (a double tap waits for its second press across two touches) and runs the winners'
// calls after each event, outside its own bookkeeping.

#include "platform/input/Gestures.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qv::platform::input {

struct GestureCandidate {
    std::unique_ptr<GestureRecognizer> recognizer;
    /// 0 for the view under the pointer, one more for each ancestor.
    int depth = 0;
};

class GestureArena {
public:
    /// Candidates in order: deepest view first, a view's gestures in the order attached.
    explicit GestureArena(std::vector<GestureCandidate> candidates);

    /// Feeds an event to the candidates that follow the current press; returns the calls
    /// that are now allowed to run.
    std::vector<std::function<void()>> pointer(const PointerEvent& event);
    std::vector<std::function<void()>> timeReached(double now);
    std::optional<double> deadline() const;

    bool isTracking() const;
    bool awaitsAnotherPress() const;
    /// Nothing more can happen: a winner has finished, or every candidate failed.
    bool isResolved() const;

private:
    std::vector<std::function<void()>> settle();
    bool isBlocked(std::size_t i) const;

    std::vector<GestureCandidate> candidates_;
    std::optional<std::size_t> winner_;
};

class GestureRouter {
public:
    /// The gestures of the views under a point, as GestureArena expects them.
    using HitTest = std::function<std::vector<GestureCandidate>(Point)>;

    explicit GestureRouter(HitTest hitTest) : hitTest_(std::move(hitTest)) {}

    void pointer(const PointerEvent& event);
    void timeReached(double now);
    /// When timeReached() must be called next, if anything waits on time.
    std::optional<double> deadline() const;
    /// No gesture is deciding or under way.
    bool isIdle() const { return arenas_.empty(); }

private:
    void run(std::vector<std::function<void()>> calls);

    HitTest hitTest_;
    std::vector<std::unique_ptr<GestureArena>> arenas_;
};

} // namespace qv::platform::input
