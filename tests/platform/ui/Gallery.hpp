#pragma once
// A page of the view layer's primitives and every symbol and drawn image, for
// looking at (the ui_gallery tool writes it as PNG) and for the drawing tests.

#include "platform/ui/views/View.hpp"

namespace qv::platform::ui::gallery {

/// The page, laid out for a 390 x 844 point screen.
View page();

} // namespace qv::platform::ui::gallery
