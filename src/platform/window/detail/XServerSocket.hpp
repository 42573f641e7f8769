#pragma once
// Whether an X server takes connections at a display, told apart from whether it lets a
// client in. Xlib's XOpenDisplay answers null both where no server runs and where one runs
// but refuses the client (an authorization it lacks, no more room for clients); only the
// socket tells the two apart.

#include <string>

namespace qv::platform::window::detail {

/// Whether something accepts connections at the socket of the X display `display` (as
/// DISPLAY names it: ":0", "unix:0", "host:10"): the server's local socket
/// (Linux's abstract one, then the one in /tmp/.X11-unix), or TCP port 6000 + N of another
/// host, waiting at most 2 s for it. False for a name that is not a display's.
bool xServerListens(const std::string& display);

} // namespace qv::platform::window::detail
