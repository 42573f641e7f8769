#pragma once
// A wrapper that measures the space offered to a screen when it comes on screen and
// writes it, as a BaseGeometry, through its binding (and to the console). Later changes
// of the offered size are not written; only a new appearance writes anew.
//
//     BaseGeometryReader{geometry.binding(), [] { return CameraScreen{}; }}.ignoresSafeArea()

#include "components/BaseGeometry.hpp"
#include "platform/state/Binding.hpp"
#include "platform/ui/views/View.hpp"

#include <functional>

namespace qv {

struct BaseGeometryReader {
    platform::Binding<BaseGeometry> baseGeometryProxy;
    std::function<platform::ui::View()> content; // built on every update
    platform::ui::View body() const;
};

} // namespace qv
