#pragma once
// The interface of elements that offer gestures to a press (gesture modifiers,
// scroll views); hit testing asks the elements a press reaches for them.

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

} // namespace qv::platform::ui
