#pragma once
// Scene options the view layer's tests share.

#include "platform/ui/scene/ViewTree.hpp"

#include <cstdint>

namespace qv::platform::ui::testing {

/// Opaque colours as a rendered picture holds them (0xAARRGGBB).
inline constexpr std::uint32_t kRed = 0xffff0000u, kGreen = 0xff00ff00u, kBlue = 0xff0000ffu,
                               kWhite = 0xffffffffu;

/// A square scene without safe-area insets: easy coordinates for input tests.
inline SceneOptions squareScene(double side = 400) {
    SceneOptions o;
    o.size = {side, side};
    return o;
}

/// A scene of `width` x `height` points drawn at `scale` pixels per point.
inline SceneOptions scene(double width, double height, double scale) {
    SceneOptions o;
    o.size = {width, height};
    o.scale = scale;
    return o;
}

} // namespace qv::platform::ui::testing
