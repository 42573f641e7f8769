#pragma once

#include "platform/state/Binding.hpp"
#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/geometry/Geometry.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>

namespace qv {

// The app's own views that the camera screen lays out: the app makes them (they belong to
// the app shell, above the screen), the screen decides where and when they show. A slot
// left empty shows nothing.
struct CameraScreenShell {
    // The what's-new notice, over the whole screen while the controller says it is due.
    std::function<platform::ui::View()> whatsNew;
    // The settings screen in its full-screen cover: it closes itself through
    // `isPresented`, is laid out on the screen's safe size, and sizes and colours its close
    // button as the screen's icons (three layout units, the inactive colour).
    std::function<platform::ui::View(platform::Binding<bool> isPresented,
                                     platform::ui::Size safeScreenSize, double iconSize,
                                     platform::ui::Color inActiveColor)>
        settings;
    // The sequence-mode picker over the preview, open while `isShowing`, turned by
    // `rotation` (radians) with the phone.
    std::function<platform::ui::View(platform::Binding<bool> isShowing, double rotation)>
        sequenceModeSelector;
};

} // namespace qv
