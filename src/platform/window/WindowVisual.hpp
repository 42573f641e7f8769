#pragma once
// The X visual the window is made with, and whether the app can draw on the screen at all.
//
// The frame reaches the window through SDL's window surface, which has a pixel format only
// for visuals whose pixel layout SDL knows: TrueColor or DirectColor of 15, 16 or 24 bits, or
// of 32 with 8 bits a channel. A visual of 30 bits (10 bits a channel, the setting for 10-bit
// monitors) has none, and neither has an 8-bit screen a visual the frame's colours can be
// converted into (its 8-bit TrueColor is laid out as SDL knows no format, its PseudoColor
// shows a colour table SDL leaves empty). A screen of 30 bits also offers visuals of 32 bits
// with 8 bits a channel: the window takes one of those.
//
// Left to itself, SDL makes its windows with a DirectColor visual wherever the screen offers
// one, and fills that visual's colour table itself; on a screen of 16 bits its table is a few
// levels off (black shows as a dark purple whenever the table is installed, as a window
// manager does for the focused window). A TrueColor visual has no table to get wrong: its
// pixel values are the colours, as for the other programs on the screen.

#include <string>

namespace qv::platform::window {

struct WindowVisual {
    /// The visual to hand SDL, as the text SDL_HINT_VIDEO_X11_WINDOW_VISUALID takes; empty to
    /// hand none (the environment names one, or no X server answers).
    std::string id;
    /// Set when the window cannot be drawn on this screen: one line that says why and what
    /// the app needs.
    std::string error;
};

/// The window's visual on the default screen of $DISPLAY:
/// - a visual the environment names (SDL_VIDEO_X11_WINDOW_VISUALID, else SDL's visual for
///   the whole display, SDL_VIDEO_X11_VISUALID) is left to SDL wherever the window's surface
///   can take it, whatever its class; one it cannot take, or that the server does not offer,
///   gives `error`;
/// - else the screen's default visual where it is TrueColor and the surface can take it;
///   else the TrueColor visual the surface can take of the default depth, or of 24 bits, or
///   of 32, or of the most bits left; where there is none, `error` names the screen's depth.
WindowVisual chooseWindowVisual();

} // namespace qv::platform::window
