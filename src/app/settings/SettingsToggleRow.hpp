#pragma once
// One on-off row of the settings screen: its label, then "checkmark.square" when checked
// or "square", in a 200 x 50 frame set in 27 points; a tap on the label or the symbol runs
// its action (the gap between them takes no tap).
// The row decides nothing: its host says whether it counts as checked and what a tap does.

#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>

namespace qv {

struct SettingsToggleRow {
    std::string label; // a key of the strings table
    double fontSize = 20;
    bool isChecked = false;
    std::function<void()> onTap;

    /// Tagged "toggle <label>".
    platform::ui::View body() const;
};

} // namespace qv
