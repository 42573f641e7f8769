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

namespace {

// Runs `look` on the window named `title` through a connection of its own; nothing when there
// is no display or no such window.
template <class Look>
auto lookAtWindow(const std::string& title, Look look) -> decltype(look(nullptr, Window())) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return std::nullopt;
    }
    decltype(look(nullptr, Window())) seen;
    if (const Window window = findWindow(display, DefaultRootWindow(display), title)) {
        seen = look(display, window);
    }
    XCloseDisplay(display);
    return seen;
}

} // namespace

std::optional<std::uint32_t> shownPixel(const std::string& title, int x, int y) {
    return lookAtWindow(title, [&](Display* display, Window window) {
        std::optional<std::uint32_t> shown;
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) == 0) {
            return shown;
        }
        if (XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap)) {
            XColor color{};
            color.pixel = XGetPixel(image, 0, 0);
            XDestroyImage(image);
            XQueryColor(display, attributes.colormap, &color);
            shown = std::uint32_t(color.red >> 8) << 16 | std::uint32_t(color.green >> 8) << 8 |
                    std::uint32_t(color.blue >> 8);
        }
        return shown;
    });
}

std::optional<std::uint32_t> pixelValue(const std::string& title, int x, int y) {
    return lookAtWindow(title, [&](Display* display, Window window) {
        std::optional<std::uint32_t> value;
        if (XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap)) {
            value = static_cast<std::uint32_t>(XGetPixel(image, 0, 0));
            XDestroyImage(image);
        }
        return value;
    });
}

std::optional<int> visualClassOf(const std::string& title) {
    return lookAtWindow(title, [](Display* display, Window window) {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(display, window, &attributes) != 0
                   ? std::optional<int>(attributes.visual->c_class)
                   : std::nullopt;
    });
}

std::optional<VisualID> visualOf(const std::string& title) {
    return lookAtWindow(title, [](Display* display, Window window) {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(display, window, &attributes) != 0
                   ? std::optional<VisualID>(XVisualIDFromVisual(attributes.visual))
                   : std::nullopt;
    });
}

std::optional<VisualID> visualIdOf(int visualClass, int depth) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return std::nullopt;
    }
    XVisualInfo found{};
    std::optional<VisualID> id;
    if (XMatchVisualInfo(display, DefaultScreen(display), depth, visualClass, &found) != 0) {
        id = found.visualid;
    }
    XCloseDisplay(display);
    return id;
}

} // namespace qv::testing
