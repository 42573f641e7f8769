#pragma once
// The minus or plus beside a value of the settings screen: the symbol on black in a
// flexible square of 20 to 40 points (30 ideal), white while its step can act and dark
// gray at its limit. A tap runs the step; the step itself tests its limit, so a tap at the
// limit changes nothing.

#include "platform/ui/views/View.hpp"

#include <functional>
#include <string>

namespace qv {

struct StepperSymbol {
    std::string symbol; // "minus" or "plus"
    bool canStep = true;
    std::function<void()> onStep;
    std::string tag;

    platform::ui::View body() const;
};

} // namespace qv
