#pragma once
// What an alert shows: a box with its title, message and buttons in the middle of the
// screen, over a dimmed backdrop that takes every press. Internal to the UI layer.

#include "platform/state/Binding.hpp"
#include "platform/ui/views/AlertButton.hpp"
#include "platform/ui/views/View.hpp"

#include <string>
#include <vector>

namespace qv::platform::ui::detail {

struct AlertBox {
    std::string title;
    std::string message;
    std::vector<AlertButton> buttons; // none: one "OK"
    Binding<bool> isPresented;        // a button clears it, then runs its action
    View body() const;                // tagged "alert"
};

} // namespace qv::platform::ui::detail
