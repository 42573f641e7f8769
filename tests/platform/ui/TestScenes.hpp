#pragma once
// Scene options the view layer's tests share.

#include "platform/ui/ViewTree.hpp"

namespace qv::platform::ui::testing {

/// A square scene without safe-area insets: easy coordinates for input tests.
inline SceneOptions squareScene(double side = 400) {
    SceneOptions o;
    o.size = {side, side};
    return o;
}

} // namespace qv::platform::ui::testing
