#pragma once
// A page of the interface components on the phone's screen: the selector grid upright
// and turned a quarter, the progress ring at three fractions, the checkmark toggle
// styles and the invitation (drawn small), inside the base geometry reader. It is
// docs/components.png.

#include "platform/ui/views/View.hpp"

namespace qv::testing {

platform::ui::View componentsPage();

} // namespace qv::testing
