#pragma once
// Windows of the X server $DISPLAY names, seen from another client, as a test looks at the
// app's window: found by title, and the pixels the server shows for them.

#include <X11/Xlib.h>
#include <cstdint>
#include <optional>
#include <string>

namespace qv::testing {

// The window named `title` at or under `window`, or 0.
Window findWindow(Display* display, Window window, const std::string& title);

// The colour the server shows at (x, y) of the top-level window named `title` (0xRRGGBB): the
// pixel there as the window's colormap turns it into a colour, as the screen shows it
// whenever that colormap is installed. Nothing when there is no display or no such window.
std::optional<std::uint32_t> shownPixel(const std::string& title, int x, int y);

// The pixel value the window named `title` holds at (x, y), before any colormap: on a
// window of 32 bits, its top byte is the alpha a compositing manager would blend with.
std::optional<std::uint32_t> pixelValue(const std::string& title, int x, int y);

// The class of the visual (TrueColor, DirectColor ...) of the window named `title`.
std::optional<int> visualClassOf(const std::string& title);

// The id of the visual of the window named `title`.
std::optional<VisualID> visualOf(const std::string& title);

// The id of a visual of class `visualClass` and `depth` bits on the default screen of
// $DISPLAY, or nothing.
std::optional<VisualID> visualIdOf(int visualClass, int depth);

} // namespace qv::testing
