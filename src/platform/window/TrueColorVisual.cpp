#include "platform/window/TrueColorVisual.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace qv::platform::window {

std::string trueColorVisualId() {
    // A connection of its own, before SDL makes the window: visual ids are the server's, the
    // same on SDL's connection.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return {};
    }
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    XVisualInfo chosen{};
    if (visual->c_class != TrueColor &&
        XMatchVisualInfo(display, screen, DefaultDepth(display, screen), TrueColor, &chosen) != 0) {
        visual = chosen.visual;
    }
    std::string id;
    if (visual->c_class == TrueColor) {
        id = std::to_string(XVisualIDFromVisual(visual));
    }
    XCloseDisplay(display);
    return id;
}

} // namespace qv::platform::window
