#pragma once
// One setting of a shooting sequence on the settings screen: its label over a value line
// of minus, value and plus. The steppers move the setting one entry of its table and grey
// out at its ends; a tap on the value opens the setting's grid (when it has one). The row
// holds nothing: its host gives the value text and says what each tap does.

#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>

namespace qv {

struct SequenceSettingRow {
    std::string label; // a key of the strings table
    std::string value; // shown as it is
    bool monospacedDigits = false;
    bool canDecrease = true;
    bool canIncrease = true;
    std::function<void()> onDecrease;
    std::function<void()> onIncrease;
    std::function<void()> onOpen; // empty: the value opens nothing
    // The value line may grow up to 300 points high ("Interval Repetitions"); otherwise it
    // is 200 x 50.
    bool growingValueLine = false;

    /// Tagged "row <label>"; the value "value <label>", the steppers "minus <label>" and
    /// "plus <label>".
    platform::ui::View body() const;
};

} // namespace qv
