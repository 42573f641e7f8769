#pragma once
// The settings screen's close button: "xmark.circle" at 0.8 of the camera screen's icon
// size, in its inactive colour, with default padding; a tap sets `isPresented` to false
// within the default animation.

#include "platform/state/Binding.hpp"
#include "platform/ui/drawing/Color.hpp"
#include "platform/ui/views/View.hpp"

namespace qv {

struct SettingsCloseButton {
    platform::Binding<bool> isPresented;
    double iconSize = 0;
    platform::ui::Color color;

    /// Tagged "settings close".
    platform::ui::View body() const;
};

} // namespace qv
