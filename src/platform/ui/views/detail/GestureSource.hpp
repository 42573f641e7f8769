#pragma once
// The interfaces of elements that offer gestures to a press (gesture modifiers, scroll
// views) and of those that scroll by the mouse wheel (scroll views); hit testing asks the
// elements a press, or the wheel, reaches for them.

#include "platform/input/GestureArena.hpp"

#include <memory>
#include <vector>

namespace qv::platform::ui {

/// An element that carries gestures (gesture modifiers, scroll views).
class GestureSource {
public:
    virtual ~GestureSource() = default;
    /// New recognisers for one press on this element.
    virtual void
    makeRecognizers(std::vector<std::unique_ptr<input::GestureRecognizer>>& out) const = 0;
};

/// An element the mouse wheel scrolls (scroll views).
class WheelTarget {
public:
    virtual ~WheelTarget() = default;
    /// Scrolls by `points` (positive: on towards the end of the content), within the same
    /// bounds as a drag; false when this element does not scroll, so the wheel goes on to
    /// the element around it.
    virtual bool scrollByWheel(double points) const = 0;
};

} // namespace qv::platform::ui
