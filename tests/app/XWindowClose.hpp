#pragma once

#include <string>

namespace qv::testing {

// Asks the top-level window named `title` on $DISPLAY to close, as a window manager does
// (a WM_DELETE_WINDOW message). False when there is no display or no such window.
bool askWindowToClose(const std::string& title);

} // namespace qv::testing
