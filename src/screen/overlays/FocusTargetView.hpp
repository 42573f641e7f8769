#pragma once

#include "platform/ui/views/View.hpp"

namespace qv {

// The marker drawn where the user tapped to focus, while the camera focuses there: three
// rings, a dot and four ticks like a sight, all in the inherited foreground colour. It is
// sized by the shorter side of its frame and centred in it: with m half that side, the
// rings have radii r = 0.75 m, 0.85 r and 0.5 r (the outer one stroked 2 x lw, the
// others lw, lw = 0.03 r), the dot 0.1 r, and the ticks run from 0.2 m to m out from the
// centre with round caps. The screen gives it 75 x 75 points and white at 60 %.
struct FocusTargetView {
    platform::ui::View body() const; // tagged "focus target"
};

} // namespace qv
