#include "platform/window/WindowVisual.hpp"

#include "platform/formatting/QuotedText.hpp"
#include "platform/window/detail/XServerSocket.hpp"

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

namespace qv::platform::window {

namespace {

constexpr const char* kWhatTheAppNeeds =
    "it needs a TrueColor visual of 15 or 16 bits, or of 24 or 32 bits with 8 bits a channel";

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayConnection = std::unique_ptr<Display, DisplayCloser>;

struct VisualsFree {
    void operator()(XVisualInfo* visuals) const { XFree(visuals); }
};
using Visuals = std::unique_ptr<XVisualInfo, VisualsFree>;

// Whether SDL's window surface has a pixel format for windows of the TrueColor `visual`,
// derived as its X11 framebuffer derives it: the colour masks at the visual's depth in bits
// per pixel (at 24, the bits per pixel of the server's images of that depth), the bits of a
// 32-bit visual outside its colours as alpha.
bool surfaceTakes(Display* display, const XVisualInfo& visual) {
    int bitsPerPixel = visual.depth;
    if (visual.depth == 24) {
        int count = 0;
        if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
            for (int i = 0; i < count; ++i) {
                if (formats[i].depth == 24) {
                    bitsPerPixel = formats[i].bits_per_pixel;
                    break;
                }
            }
            XFree(formats);
        }
    }
    const auto colours =
        static_cast<Uint32>(visual.red_mask | visual.green_mask | visual.blue_mask);
    const Uint32 alpha = visual.depth == 32 ? ~colours : 0;
    return SDL_MasksToPixelFormatEnum(bitsPerPixel, static_cast<Uint32>(visual.red_mask),
                                      static_cast<Uint32>(visual.green_mask),
                                      static_cast<Uint32>(visual.blue_mask),
                                      alpha) != SDL_PIXELFORMAT_UNKNOWN;
}

// X's names of the visual classes, in the order of their values (StaticGray is 0).
const char* className(int visualClass) {
    static constexpr const char* kNames[] = {"StaticGray",  "GrayScale", "StaticColor",
                                             "PseudoColor", "TrueColor", "DirectColor"};
    return visualClass >= 0 && visualClass < 6 ? kNames[visualClass] : "unknown";
}

std::string screenOf(Display* display) {
    return "the screen of display " + quotedText(DisplayString(display));
}

// The variable naming the window's visual and its value, where the environment names one:
// SDL's window hint wins over its visual for the whole display, as in SDL.
std::optional<std::pair<std::string, std::string>> namedVisual() {
    for (const char* name : {"SDL_VIDEO_X11_WINDOW_VISUALID", "SDL_VIDEO_X11_VISUALID"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return std::pair<std::string, std::string>(name, value);
        }
    }
    return std::nullopt;
}

// Why the app cannot draw exactly in `visual`, or nothing where it can.
std::optional<std::string> whyNotDrawn(Display* display, const XVisualInfo& visual) {
    if (visual.c_class == DirectColor) {
        return "which the app cannot draw in exactly (its colours pass through a colour table)";
    }
    if (visual.c_class != TrueColor) {
        return "which the app cannot draw in (its pixels are indexes into a colour table)";
    }
    if (!surfaceTakes(display, visual)) {
        return "which the app cannot draw in";
    }
    return std::nullopt;
}

// The visual the environment names, left to SDL where the app draws in it exactly.
WindowVisual checkNamed(Display* display, const std::string& variable, const std::string& value) {
    const std::string named = variable + " names the visual " + quotedText(value);
    const std::string choose = "; unset it to let the app choose";
    XVisualInfo wanted{};
    // Read as SDL reads it: decimal, or hexadecimal after "0x".
    wanted.visualid = std::strtoul(value.c_str(), nullptr, 0);
    int count = 0;
    const Visuals found(XGetVisualInfo(display, VisualIDMask, &wanted, &count));
    if (!found || count == 0) {
        return {WindowVisual::Outcome::noVisual,
                {},
                named + ", which " + screenOf(display) + " does not offer" + choose};
    }
    if (const auto why = whyNotDrawn(display, *found)) {
        return {WindowVisual::Outcome::noVisual,
                {},
                named + ", a " + className(found->c_class) + " visual of " +
                    std::to_string(found->depth) + " bits, " + *why + ": " + kWhatTheAppNeeds +
                    choose};
    }
    return {};
}

// Lower is better: the default visual, then the default depth, 24 bits, 32, then the most
// bits left.
int preference(const XVisualInfo& visual, VisualID defaultVisual, int defaultDepth) {
    if (visual.visualid == defaultVisual) {
        return 0;
    }
    if (visual.depth == defaultDepth) {
        return 1;
    }
    if (visual.depth == 24) {
        return 2;
    }
    if (visual.depth == 32) {
        return 3;
    }
    return 4 + (32 - visual.depth);
}

WindowVisual chooseTrueColor(Display* display) {
    const int screen = DefaultScreen(display);
    XVisualInfo wanted{};
    wanted.screen = screen;
    wanted.c_class = TrueColor;
    int count = 0;
    const Visuals visuals(
        XGetVisualInfo(display, VisualScreenMask | VisualClassMask, &wanted, &count));
    const VisualID defaultVisual = XVisualIDFromVisual(DefaultVisual(display, screen));
    const int defaultDepth = DefaultDepth(display, screen);
    const XVisualInfo* best = nullptr;
    for (int i = 0; i < count; ++i) {
        const XVisualInfo& visual = visuals.get()[i];
        if (!whyNotDrawn(display, visual) &&
            (best == nullptr || preference(visual, defaultVisual, defaultDepth) <
                                    preference(*best, defaultVisual, defaultDepth))) {
            best = &visual;
        }
    }
    if (best == nullptr) {
        return {WindowVisual::Outcome::noVisual,
                {},
                screenOf(display) + " is " + std::to_string(defaultDepth) +
                    " bits deep and offers no visual the app can draw in: " + kWhatTheAppNeeds +
                    "; set the screen to 24 bits"};
    }
    return {WindowVisual::Outcome::chosen, std::to_string(best->visualid), {}};
}

// Why no connection to the display could be made: a refusal has a line; where nothing
// answers, the caller names the display among the others it tried.
WindowVisual noConnection() {
    const char* name = XDisplayName(nullptr);
    if (!detail::xServerListens(name)) {
        return {WindowVisual::Outcome::noServer, {}, {}};
    }
    return {WindowVisual::Outcome::refused,
            {},
            "the X server on display " + quotedText(name) +
                " (DISPLAY) refuses the connection; give the app its authorization "
                "(XAUTHORITY) or let it in (xhost)"};
}

} // namespace

WindowVisual chooseWindowVisual() {
    // A connection of its own, before SDL makes the window: visual ids are the server's, the
    // same on SDL's connection.
    const DisplayConnection display(XOpenDisplay(nullptr));
    if (!display) {
        return noConnection();
    }
    if (const auto named = namedVisual()) {
        return checkNamed(display.get(), named->first, named->second);
    }
    return chooseTrueColor(display.get());
}

} // namespace qv::platform::window
