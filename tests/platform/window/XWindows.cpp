#include "XWindows.hpp"

#include <X11/Xutil.h>

namespace qv::testing {

Window findWindow(Display* display, Window window, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        const bool found = title == name;
        XFree(name);
        if (found) {
            return window;
        }
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
        return 0;
    }
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        found = findWindow(display, children[i], title);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

std::optional<std::uint32_t> shownPixel(const std::string& title, int x, int y) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> pixel;
    if (const Window window = findWindow(display, DefaultRootWindow(display), title)) {
        if (XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap)) {
            pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xffffffu;
            XDestroyImage(image);
        }
    }
    XCloseDisplay(display);
    return pixel;
}

} // namespace qv::testing
