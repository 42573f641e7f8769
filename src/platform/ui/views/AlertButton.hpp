#pragma once
// A button of an alert (View::alert).

#include "platform/ui/views/ButtonRole.hpp"

#include <functional>
#include <string>

namespace qv::platform::ui {

struct AlertButton {
    std::string title;
    ButtonRole role = ButtonRole::none;
    /// Runs after the alert has closed.
    std::function<void()> action = [] {};
};

} // namespace qv::platform::ui
