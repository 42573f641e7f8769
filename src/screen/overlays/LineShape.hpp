#pragma once

#include "platform/ui/views/Views.hpp"

namespace qv {

// A straight line as a shape, its ends measured from the top-leading corner of the frame
// the shape is given (the overlays draw their marks in their own frame's coordinates).
platform::ui::ShapeView LineShape(platform::ui::Point from, platform::ui::Point to);

} // namespace qv
