#pragma once
// Scene phase from what the window system says about the window.

#include "platform/ui/views/ScenePhase.hpp"

#include <optional>

namespace qv::platform::window {

/// Follows the window's visibility and focus and tells when the scene phase changes:
/// hidden or minimised is background, shown without the keyboard focus is inactive,
/// shown and focused is active.
class WindowLifecycle {
public:
    enum class Event { shown, hidden, minimized, restored, focusGained, focusLost };

    /// Applies one window event; returns the new phase when it differs from the last one.
    std::optional<ui::ScenePhase> apply(Event event);
    ui::ScenePhase phase() const;

private:
    bool shown_ = false;
    bool minimized_ = false;
    bool focused_ = false;
    ui::ScenePhase reported_ = ui::ScenePhase::background;
};

} // namespace qv::platform::window
