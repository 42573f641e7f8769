#pragma once
// The notice of what changed in this version, a layer over the whole camera screen while
// the controller says it is due: the headline, the body in a scroll area (a long body
// scrolls; the headline and "OK" stay in place), and "OK", whose action records this
// version and ends the notice. There is no other way to close it.

#include "platform/ui/views/View.hpp"

#include <functional>

namespace qv {

struct WhatsNewView {
    std::function<void()> onConfirm; // "OK": the camera screen passes saveLastLaunchedVersion

    /// The button is tagged "whats new ok", the scroll area "whats new body".
    platform::ui::View body() const;
};

} // namespace qv
