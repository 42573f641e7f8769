#include "platform/window/WindowLifecycle.hpp"

namespace qv::platform::window {

std::optional<ui::ScenePhase> WindowLifecycle::apply(Event event) {
    switch (event) {
    case Event::shown:
        shown_ = true;
        break;
    case Event::hidden:
        shown_ = false;
        break;
    case Event::minimized:
        minimized_ = true;
        break;
    case Event::restored:
        minimized_ = false;
        shown_ = true;
        break;
    case Event::focusGained:
        focused_ = true;
        break;
    case Event::focusLost:
        focused_ = false;
        break;
    }
    const ui::ScenePhase now = phase();
    if (now == reported_) {
        return std::nullopt;
    }
    reported_ = now;
    return now;
}

ui::ScenePhase WindowLifecycle::phase() const {
    if (!shown_ || minimized_) {
        return ui::ScenePhase::background;
    }
    return focused_ ? ui::ScenePhase::active : ui::ScenePhase::inactive;
}

} // namespace qv::platform::window
