#pragma once
// The X visual the window is made with. Left to itself, SDL makes its windows with a
// DirectColor visual wherever the screen offers one, and fills that visual's colour table
// itself; on a screen of 16 bits its table is a few levels off (black shows as a dark purple
// whenever the table is installed, as a window manager does for the focused window). A
// TrueColor visual has no table to get wrong: its pixel values are the colours, as for the
// other programs on the screen.

#include <string>

namespace qv::platform::window {

// The id of a TrueColor visual at the default depth of the default screen of $DISPLAY, as
// the text SDL's SDL_HINT_VIDEO_X11_WINDOW_VISUALID takes: the screen's default visual where
// it is TrueColor, else one of that class chosen by Xlib. Empty when no X server answers or
// the screen has no TrueColor visual at that depth.
std::string trueColorVisualId();

} // namespace qv::platform::window
