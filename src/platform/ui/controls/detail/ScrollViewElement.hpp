#pragma once
// The element of a scroll view: the content seen through its frame, moved by a drag
// or a scroll request. Internal to the UI layer.

#include "platform/ui/views/elements/ElementKinds.hpp"

namespace qv::platform::ui::elements {

/// A vertical scroll view over `content`, with an indicator when `indicators`.
Ptr scrollView(Init init, Ptr content, bool indicators);

} // namespace qv::platform::ui::elements
