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
// Only a TrueColor visual shows the frame's colours exactly: its pixel values are the
// colours, as for the other programs on the screen. A DirectColor visual's colours pass
// through a colour table that SDL fills and that the screen shows only while it is installed
// (as a window manager does for the focused window); on a screen of 16 bits SDL's table is a
// few levels off, and black shows as (8,0,8). Left to itself, SDL would take DirectColor
// wherever the screen offers it.

#include <string>

namespace qv::platform::window {

struct WindowVisual {
    enum class Outcome {
        chosen,   ///< `id` is the visual to make the window with
        noServer, ///< nothing takes connections at $DISPLAY
        refused,  ///< the X server there refuses the connection
        noVisual, ///< the screen has no visual the app draws in exactly, or the visual the
                  ///< environment names is not one
    };
    Outcome outcome = Outcome::chosen;
    /// The visual to hand SDL, as the text SDL_HINT_VIDEO_X11_WINDOW_VISUALID takes; empty to
    /// hand none (the environment names it).
    std::string id;
    /// For `refused` and `noVisual`: one line that says why and what the app needs.
    std::string error;
};

/// The window's visual on the default screen of $DISPLAY, through a connection of its own:
/// - a visual the environment names (SDL_VIDEO_X11_WINDOW_VISUALID, else SDL's visual for
///   the whole display, SDL_VIDEO_X11_VISUALID) is left to SDL where it is a TrueColor
///   visual the window's surface can take; one of another class (DirectColor, a colour
///   table), one the surface cannot take or one the server does not offer gives `noVisual`
///   and a line naming the variable, the visual, its class and depth;
/// - else the screen's default visual where it is TrueColor and the surface can take it;
///   else the TrueColor visual the surface can take of the default depth, or of 24 bits, or
///   of 32, or of the most bits left; where there is none, `noVisual` and a line naming the
///   screen's depth.
/// Where no connection can be made, `noServer` or `refused` (detail/XServerSocket.hpp);
/// only `refused` has a line.
WindowVisual chooseWindowVisual();

} // namespace qv::platform::window
